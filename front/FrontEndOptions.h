#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>

// What the window (kelvarin) and the command line (kelvarin-cli) say alike about
// their options, so that --help, --version and the shared options read the same.

QCommandLineOption LogFileOption();
QCommandLineOption TraceFileOption();

// Adds -h/--help and -V/-v/--version to parser.
void AddHelpAndVersion(QCommandLineParser& parser);

// After a successful parse: the text that --help or --version asks for ("<name>
// <version>" for --version), or an empty text when neither was given.
QString HelpOrVersionText(const QCommandLineParser& parser, const QString& versionName);

// Writes text to stream at once, UTF-8, a file name that is not UTF-8 as the bytes it
// is (see NativePath). False when the stream took it not all.
bool PrintTo(FILE* stream, const QString& text);

// The arguments as the platform gave them, program name first. A name that is not
// UTF-8 keeps its bytes (see NativePath), where QCoreApplication::arguments() would
// turn them into U+FFFD and so name a file that does not exist.
QStringList ArgumentsFromNative(int argc, char** argv);
