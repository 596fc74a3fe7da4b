#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

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

// Writes UTF-8 text to stream at once.
void PrintTo(FILE* stream, const QString& text);
