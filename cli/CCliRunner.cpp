#include "cli/CCliRunner.h"

#include "cli/BackupCommand.h"
#include "exchange/EditorMapping.h"
#include "front/BaseFiles.h"
#include "front/PortTexts.h"
#include "link/CLogFile.h"

#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <cstring>

CCliRunner::CCliRunner(const CliOptions& options, const PortChoice& port, CObjectBase& objectBase,
                       CliTerminal terminal, CLogFile* logFile, QObject* parent)
    : QObject(parent), options(options), port(port), objectBase(objectBase),
      terminal(std::move(terminal)), logFile(logFile) {}

void CCliRunner::Start() {
    if (port.portName.isEmpty())
        emit openDeviceRequested(port.devicePath);
    else
        emit openPortRequested(port.portName);
}

void CCliRunner::OnPortOpened(const QString&, const QString&) {
    if (finished || portOpen)
        return;
    portOpen = true;
    StartOperation();
}

void CCliRunner::OnPortFailed(const QString& portName, const QString& devicePath,
                              const QString& reason) {
    // As the window's status bar says it.
    Fail(exitPortFailed, PortFailureText(portName, devicePath, reason));
}

void CCliRunner::OnDeviceLost(const QString& portName) {
    // Requests now go nowhere, and the session's give-up ends the operation.
    WriteErrLine(QStringLiteral("kelvarin-cli: %1: the device was lost").arg(portName));
}

void CCliRunner::StartOperation() {
    switch (options.command) {
    case CliCommand::ReadBase:
    case CliCommand::VerifyBase:
    case CliCommand::Backup:
        emit readBaseRequested();
        break;
    case CliCommand::WriteBase:
        emit writeBaseRequested();
        break;
    case CliCommand::ReadNumber:
    case CliCommand::WriteNumber: {
        const NumberOperands operands{options.objectNumber, options.transmitterByte1,
                                      options.transmitterByte2};
        if (options.command == CliCommand::ReadNumber)
            emit readNumberRequested(operands);
        else
            emit writeNumberRequested(operands);
        break;
    }
    case CliCommand::ReadSetup:
    case CliCommand::WriteSetup:
        emit readSetupRequested();
        break;
    default: // commands without a console
        break;
    }
}

void CCliRunner::OnLogLine(const QString& line) {
    if (logFile)
        logFile->Append(line);
    if (!options.quiet)
        WriteErrLine(line);
}

// A base operation's bar counts its blocks.
void CCliRunner::OnProgressShown(int position, int maximum) {
    if (maximum != blockCount || finished)
        return;
    progressPosition = position;
    blocksAnswered = std::max(blocksAnswered, position);
    ShowProgress();
}

void CCliRunner::OnObjectShown(const ObjectShown& object) {
    objectShown = object;
}

void CCliRunner::OnSettingsShown(const SetupShown& settings) {
    settingsShown = settings;
}

void CCliRunner::OnOverwriteAsked() {
    if (finished)
        return;
    bool overwrite = options.yes;
    if (!overwrite && terminal.hasTerminal) {
        ClearProgress();
        const std::optional<bool> answer = terminal.askYesNo(
            QStringLiteral(
                "ЗАПИСЫВАЕМЫЙ НОМЕР УЖЕ ОБУЧЕН В ПЦН\nOverwrite object %1 with %2? [y/N] ")
                .arg(options.objectNumber, 3, 10, QLatin1Char('0'))
                .arg(QString::fromStdString(
                    TransmitterText(options.transmitterByte1, options.transmitterByte2))));
        // A signal instead of an answer ends the program, not the write as declined;
        // the watch reports it next.
        if (!answer)
            return;
        overwrite = *answer;
    } else if (!overwrite) {
        WriteErrLine(QStringLiteral("kelvarin-cli: object %1 is learned already; with no terminal "
                                    "to ask, the write is cancelled (--yes overwrites)")
                         .arg(options.objectNumber, 3, 10, QLatin1Char('0')));
    }
    emit overwriteAnswered(overwrite);
}

void CCliRunner::OnFinished(Outcome outcome) {
    if (finished)
        return;
    switch (outcome) {
    case Outcome::NoAnswer: {
        QJsonObject fields;
        Fail(exitNoAnswer,
             NoAnswerText(port.portName, port.devicePath, port.mapping) + ObjectsTaken(fields),
             fields);
        return;
    }
    case Outcome::Declined:
        Fail(exitDeclined, QStringLiteral("object %1 was not overwritten")
                               .arg(options.objectNumber, 3, 10, QLatin1Char('0')));
        return;
    case Outcome::Shifted: {
        const QString consequence =
            options.command == CliCommand::WriteBase ? QStringLiteral("the write is not confirmed")
            : options.command == CliCommand::VerifyBase ? QStringLiteral("nothing was compared")
                                                        : QStringLiteral("nothing was saved");
        QJsonObject fields;
        Fail(exitNoAnswer,
             QStringLiteral("the console's answers did not pair with the requests (it answered "
                            "an earlier request, or one twice); ") +
                 consequence + ObjectsTaken(fields),
             fields);
        return;
    }
    case Outcome::Completed:
        Complete();
        return;
    }
}

void CCliRunner::Complete() {
    ClearProgress();
    const QString& file = options.files.value(0);
    switch (options.command) {
    case CliCommand::ReadBase:
    case CliCommand::Backup: {
        // backup: DIR, then the file in it.
        const QString target = options.files.value(options.command == CliCommand::Backup ? 1 : 0);
        const QList<RunFile> runFiles = RunFilesOf(options.logFilePath, options.traceFilePath);
        QString error;
        if (!SaveBaseFile(target, objectBase, options.force, runFiles, error)) {
            Fail(exitFileError, QStringLiteral("%1: %2").arg(target, error));
            return;
        }
        if (options.command == CliCommand::ReadBase) {
            PrintBaseResult(QStringLiteral("saved %1 objects (%2 learned) to %3\n"),
                            objectBase.deviceTable, target);
            return;
        }
        const BackupReport report = ReportBackup(file, target, objectBase.deviceTable, runFiles);
        Conclude(report.exitCode, report.text, report.fields, report.why);
        return;
    }
    case CliCommand::WriteBase:
        PrintBaseResult(QStringLiteral("wrote %1 objects (%2 learned) from %3\n"),
                        objectBase.fileTable, file);
        return;
    case CliCommand::VerifyBase: {
        if (objectBase.deviceBaseComplete != 1) {
            Fail(exitNoAnswer, QStringLiteral("the console's base was not read completely"));
            return;
        }
        const std::vector<int> objects =
            DifferingObjects(objectBase.deviceTable, objectBase.fileTable);
        Conclude(objects.empty() ? exitDone : exitDifferences,
                 DifferenceLines(objects, objectBase.deviceTable, objectBase.fileTable),
                 {{QStringLiteral("file"), file},
                  {QStringLiteral("differences"),
                   DifferencesJson(objects, objectBase.deviceTable, QStringLiteral("console"),
                                   objectBase.fileTable, QStringLiteral("file"))}});
        return;
    }
    case CliCommand::ReadNumber:
    case CliCommand::WriteNumber:
        CompleteNumber();
        return;
    case CliCommand::ReadSetup:
    case CliCommand::WriteSetup:
        if (!settingsShown) {
            Fail(exitNoAnswer, QStringLiteral("no settings were shown from the console's reply"));
            return;
        }
        if (options.command == CliCommand::WriteSetup && !settingsWritten) {
            settingsWritten = true;
            const SetupOperands operands = MergeSetup(*settingsShown, options.setupChange);
            settingsShown.reset();
            // Not from inside the engine's handling of the read's reply: the write
            // starts once that is over.
            QMetaObject::invokeMethod(
                this,
                [this, operands] {
                    if (!finished)
                        emit writeSetupRequested(operands);
                },
                Qt::QueuedConnection);
            return;
        }
        Conclude(exitDone, SetupLines(*settingsShown), SetupJson(*settingsShown));
        return;
    default: // commands without a console
        return;
    }
}

// Never a made-up result: only what the console's reply showed. After a write, that
// reply is the console's word on what it stored.
void CCliRunner::CompleteNumber() {
    if (!objectShown) {
        Fail(exitNoAnswer, QStringLiteral("no object was shown from the console's reply"));
        return;
    }
    const auto byte1 = LineByte(objectShown->transmitterByte1);
    const auto byte2 = LineByte(objectShown->transmitterByte2);
    const int object = objectShown->objectNumber;
    const QString line = ObjectLine(object, byte1, byte2) + '\n';
    const QJsonObject fields = ObjectJson(object, byte1, byte2);
    const bool stored = object == options.objectNumber && byte1 == options.transmitterByte1 &&
                        byte2 == options.transmitterByte2;
    if (options.command == CliCommand::ReadNumber || stored) {
        Conclude(exitDone, line, fields);
        return;
    }
    Conclude(exitNotStored, line, fields,
             QStringLiteral("the console reports object %1 as %2, not %3 as written")
                 .arg(object, 3, 10, QLatin1Char('0'))
                 .arg(QString::fromStdString(TransmitterText(byte1, byte2)),
                      QString::fromStdString(
                          TransmitterText(options.transmitterByte1, options.transmitterByte2))));
}

void CCliRunner::OnInterrupted(int signalNumber) {
    if (finished)
        return;
    QJsonObject fields;
    QString why = QStringLiteral("interrupted");
    if (options.command == CliCommand::ReadBase || options.command == CliCommand::Backup)
        why += QStringLiteral("; nothing was saved");
    why += ObjectsTaken(fields);
    Fail(ExitForSignal(signalNumber), why, fields);
}

QString CCliRunner::ObjectsTaken(QJsonObject& fields) const {
    if (options.command != CliCommand::WriteBase)
        return {};
    const int objects = blocksAnswered * objectsPerBlock;
    fields[QStringLiteral("objects")] = objects;
    return QStringLiteral("; the console took %1 of the %2 objects, its other objects are as they "
                          "were")
        .arg(objects)
        .arg(objectCount);
}

// A whole base read into a file or written from one: how many objects, how many learned.
void CCliRunner::PrintBaseResult(const QString& format, const ObjectTable& table,
                                 const QString& file) {
    const int learned = LearnedCount(table);
    Conclude(exitDone, format.arg(objectCount).arg(learned).arg(file),
             {{QStringLiteral("file"), file},
              {QStringLiteral("objects"), objectCount},
              {QStringLiteral("learned"), learned}});
}

void CCliRunner::Conclude(int code, const QString& text, const QJsonObject& fields,
                          const QString& why) {
    if (finished)
        return;
    const CliResult result = CommandOutcome(options, code, text, fields, why);
    if (!result.err.isEmpty())
        WriteErrLine(result.err.chopped(1));
    if (!terminal.writeOut(result.out)) {
        const int error = errno;
        WriteErrLine(QStringLiteral("kelvarin-cli: the result could not be written to standard "
                                    "output: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(error))));
        if (code == exitDone)
            code = exitFileError;
    }
    Finish(code);
}

void CCliRunner::Fail(int code, const QString& why, const QJsonObject& fields) {
    Conclude(code, {}, fields, why);
}

void CCliRunner::Finish(int code) {
    if (finished)
        return;
    ClearProgress();
    finished = true;
    exitCode = code;
    if (portOpen) {
        portOpen = false;
        emit closePortRequested();
    }
    emit done(code);
}

void CCliRunner::WriteErrLine(const QString& line) {
    const bool redraw = progressOnScreen;
    ClearProgress();
    terminal.writeErr(line + '\n');
    if (redraw)
        ShowProgress();
}

void CCliRunner::ShowProgress() {
    if (!terminal.errorIsTerminal || options.quiet)
        return;
    terminal.writeErr(QLatin1Char('\r') + ProgressLine(progressPosition));
    progressOnScreen = true;
}

void CCliRunner::ClearProgress() {
    if (!progressOnScreen)
        return;
    // Back to the start of the line and erase it, so the next text starts clean.
    terminal.writeErr(QStringLiteral("\r\x1b[K"));
    progressOnScreen = false;
}

void ConnectSession(CCliRunner& runner, CExchangeSession& session) {
    using Session = CExchangeSession;
    QObject::connect(&runner, &CCliRunner::openPortRequested, &session, &Session::OpenPort);
    QObject::connect(&runner, &CCliRunner::openDeviceRequested, &session, &Session::OpenPort);
    QObject::connect(&runner, &CCliRunner::closePortRequested, &session, &Session::ClosePort);
    QObject::connect(&runner, &CCliRunner::readBaseRequested, &session, &Session::OnReadBase);
    QObject::connect(&runner, &CCliRunner::writeBaseRequested, &session, &Session::OnWriteBase);
    QObject::connect(&runner, &CCliRunner::readSetupRequested, &session, &Session::OnReadSetup);
    QObject::connect(&runner, &CCliRunner::readNumberRequested, &session, &Session::OnReadNumber);
    QObject::connect(&runner, &CCliRunner::writeNumberRequested, &session, &Session::OnWriteNumber);
    QObject::connect(&runner, &CCliRunner::writeSetupRequested, &session, &Session::OnWriteSetup);
    // Queued: the question is asked from inside the engine's handling of a reply,
    // and the answer is to reach it once that is over, as the window's does.
    QObject::connect(&runner, &CCliRunner::overwriteAnswered, &session, &Session::AnswerOverwrite,
                     Qt::QueuedConnection);

    QObject::connect(&session, &Session::logLine, &runner, &CCliRunner::OnLogLine);
    QObject::connect(&session, &Session::progressShown, &runner, &CCliRunner::OnProgressShown);
    QObject::connect(&session, &Session::objectShown, &runner, &CCliRunner::OnObjectShown);
    QObject::connect(&session, &Session::settingsShown, &runner, &CCliRunner::OnSettingsShown);
    QObject::connect(&session, &Session::overwriteAsked, &runner, &CCliRunner::OnOverwriteAsked);
    QObject::connect(&session, &Session::finished, &runner, &CCliRunner::OnFinished);
    QObject::connect(&session, &Session::portOpened, &runner, &CCliRunner::OnPortOpened);
    QObject::connect(&session, &Session::portFailed, &runner, &CCliRunner::OnPortFailed);
    QObject::connect(&session, &Session::deviceLost, &runner, &CCliRunner::OnDeviceLost);
}
