#include "cli/CCliRunner.h"

#include "cli/BaseFiles.h"
#include "exchange/EditorMapping.h"
#include "link/CLogFile.h"

#include <QMetaObject>

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
    case CliCommand::Show:
    case CliCommand::Diff:
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
    if (!overwrite && terminal.inputIsTerminal) {
        ClearProgress();
        const std::optional<bool> answer = terminal.askYesNo(
            QStringLiteral(
                "ЗАПИСЫВАЕМЫЙ НОМЕР УЖЕ ОБУЧЕН В ПЦН\nOverwrite object %1 with %2? [y/N] ")
                .arg(options.objectNumber, 3, 10, QLatin1Char('0'))
                .arg(QString::fromStdString(
                    TransmitterText(options.transmitterByte1, options.transmitterByte2))));
        // Ctrl+C instead of an answer ends the program, not the write as declined.
        if (!answer) {
            OnInterrupted();
            return;
        }
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
    case Outcome::NoAnswer:
        Fail(exitNoAnswer, QStringLiteral("the console did not answer"));
        return;
    case Outcome::Declined:
        Fail(exitDeclined, QStringLiteral("object %1 was not overwritten")
                               .arg(options.objectNumber, 3, 10, QLatin1Char('0')));
        return;
    case Outcome::Shifted: {
        const QString consequence =
            options.command == CliCommand::WriteBase ? QStringLiteral("the write is not confirmed")
            : options.command == CliCommand::VerifyBase ? QStringLiteral("nothing was compared")
                                                        : QStringLiteral("nothing was saved");
        Fail(exitNoAnswer, QStringLiteral("the console's answers did not pair with the requests "
                                          "(it answered an earlier request, or one twice); ") +
                               consequence);
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
    case CliCommand::ReadBase: {
        QString error;
        if (!SaveBaseFile(file, objectBase, options.force, error)) {
            Fail(exitFileError, error);
            return;
        }
        PrintBaseResult(QStringLiteral("saved %1 objects (%2 learned) to %3\n"),
                        objectBase.deviceTable, file);
        Finish(exitDone);
        return;
    }
    case CliCommand::WriteBase: {
        PrintBaseResult(QStringLiteral("wrote %1 objects (%2 learned) from %3\n"),
                        objectBase.fileTable, file);
        Finish(exitDone);
        return;
    }
    case CliCommand::VerifyBase: {
        if (objectBase.deviceBaseComplete != 1) {
            Fail(exitNoAnswer, QStringLiteral("the console's base was not read completely"));
            return;
        }
        const std::vector<int> objects =
            DifferingObjects(objectBase.deviceTable, objectBase.fileTable);
        PrintResult(DifferenceLines(objects, objectBase.deviceTable, objectBase.fileTable),
                    {{QStringLiteral("command"), options.commandName},
                     {QStringLiteral("file"), file},
                     {QStringLiteral("differences"),
                      DifferencesJson(objects, objectBase.deviceTable, QStringLiteral("console"),
                                      objectBase.fileTable, QStringLiteral("file"))}});
        Finish(objects.empty() ? exitDone : exitDifferences);
        return;
    }
    case CliCommand::ReadNumber:
    case CliCommand::WriteNumber: {
        // Never a made-up result: only what the console's reply showed.
        if (!objectShown) {
            Fail(exitNoAnswer, QStringLiteral("no object was shown from the console's reply"));
            return;
        }
        const auto byte1 = LineByte(objectShown->transmitterByte1);
        const auto byte2 = LineByte(objectShown->transmitterByte2);
        PrintResult(ObjectLine(objectShown->objectNumber, byte1, byte2) + '\n',
                    ObjectJson(options.commandName, objectShown->objectNumber, byte1, byte2));
        Finish(exitDone);
        return;
    }
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
        PrintResult(SetupLines(*settingsShown), SetupJson(options.commandName, *settingsShown));
        Finish(exitDone);
        return;
    case CliCommand::Show:
    case CliCommand::Diff:
        return;
    }
}

void CCliRunner::OnInterrupted() {
    if (finished)
        return;
    Fail(exitInterrupted, QStringLiteral("interrupted; nothing was saved"));
}

// A whole base read into a file or written from one: how many objects, how many learned.
void CCliRunner::PrintBaseResult(const QString& format, const ObjectTable& table,
                                 const QString& file) {
    const int learned = LearnedCount(table);
    PrintResult(format.arg(objectCount).arg(learned).arg(file),
                {{QStringLiteral("command"), options.commandName},
                 {QStringLiteral("file"), file},
                 {QStringLiteral("objects"), objectCount},
                 {QStringLiteral("learned"), learned}});
}

void CCliRunner::PrintResult(const QString& text, const QJsonObject& json) {
    terminal.writeOut(options.json ? JsonLine(json) : text);
}

void CCliRunner::Fail(int code, const QString& why) {
    WriteErrLine(QStringLiteral("kelvarin-cli: ") + why);
    Finish(code);
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
