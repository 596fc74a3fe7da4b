#include "exchange/CExchangeSession.h"

#include <QTime>

QString PortFailureText(const QString& portName, const QString& devicePath, const QString& reason) {
    if (portName.isEmpty() || portName == devicePath)
        return QStringLiteral("%1 cannot be opened: %2").arg(devicePath, reason);
    return QStringLiteral("%1 (%2) cannot be opened: %3").arg(portName, devicePath, reason);
}

CExchangeSession::CExchangeSession(CObjectBase& objectBase, CPortMapping mapping, QObject* parent)
    : QObject(parent), exchange(*this, objectBase), link(std::move(mapping), this) {
    connect(&link, &CSerialLink::bytesReceived, this, &CExchangeSession::OnBytesReceived);
    // Whatever is on the line after a port change may be another console.
    connect(&link, &CSerialLink::portOpened, this, [this] { exchange.OnPortChanged(); });
    connect(&link, &CSerialLink::portClosed, this, [this] { exchange.OnPortChanged(); });
    connect(&link, &CSerialLink::portOpened, this,
            [this](const QString& portName, const QString& devicePath) {
                openPortName = portName;
                openDevicePath = devicePath;
                TracePortOpened();
                AppendBareLine(QStringLiteral("Подключен порт %1").arg(portName));
                emit portOpened(portName, devicePath);
                emit statusMessage(tr("%1 connected (%2)").arg(portName, devicePath));
            });
    connect(
        &link, &CSerialLink::portFailed, this,
        [this](const QString& portName, const QString& devicePath, const QString& reason) {
            AppendBareLine(
                QStringLiteral("Порт %1 занят другим приложением или отсутствует").arg(portName));
            emit portFailed(portName, devicePath, reason);
            emit statusMessage(PortFailureText(portName, devicePath, reason));
        });
    connect(&link, &CSerialLink::portClosed, this, [this](const QString& portName) {
        openPortName.clear();
        if (trace)
            trace->PortClosed();
        emit portClosed(portName);
    });
    connect(&link, &CSerialLink::deviceLost, this, [this](const QString& portName) {
        emit deviceLost(portName);
        emit statusMessage(
            tr("%1: the device was lost; pick the port again to reconnect").arg(portName));
    });
    connect(&link, &CSerialLink::breakReceived, this, [this](const QString& portName) {
        emit statusMessage(
            tr("%1: break received; nothing more is read until the port is picked again")
                .arg(portName));
    });
    connect(&timer, &QTimer::timeout, this, &CExchangeSession::ExchangeTick);
}

CExchangeSession::~CExchangeSession() {
    timer.stop();
    link.ClosePort();
}

void CExchangeSession::SetTrace(CLineTrace* lineTrace) {
    trace = lineTrace;
    exchange.SetTrace(lineTrace);
    if (!openPortName.isEmpty())
        TracePortOpened();
}

void CExchangeSession::TracePortOpened() {
    if (!trace)
        return;
    // A device opened by its path goes by that path alone.
    trace->PortOpened(openPortName == openDevicePath ? std::string() : openPortName.toStdString(),
                      openDevicePath.toStdString());
}

void CExchangeSession::StartTimer() {
    timer.start(exchangeTickMs);
}

bool CExchangeSession::OpenPort(const QString& portName) {
    return link.OpenPort(portName);
}

void CExchangeSession::ClosePort() {
    link.ClosePort();
}

void CExchangeSession::TurnPortOff() {
    ClosePort();
    AppendBareLine(QStringLiteral("Все порты закрыты"));
}

void CExchangeSession::OnReadBase() {
    exchange.OnReadBase();
}

void CExchangeSession::OnWriteBase() {
    exchange.OnWriteBase();
}

void CExchangeSession::OnReadNumber(const NumberOperands& operands) {
    exchange.OnReadNumber(operands);
}

void CExchangeSession::OnWriteNumber(const NumberOperands& operands) {
    exchange.OnWriteNumber(operands);
}

void CExchangeSession::OnReadSetup() {
    exchange.OnReadSetup();
}

void CExchangeSession::OnWriteSetup(const SetupOperands& operands) {
    exchange.OnWriteSetup(operands);
}

void CExchangeSession::AnswerOverwrite(bool overwrite) {
    if (!exchange.Vars().confirmOpen)
        return;
    // What the link held meanwhile joins what the engine holds, to be handled before
    // anything the answer writes: it was on the line before that.
    link.ReleaseReceived();
    exchange.AnswerOverwrite(overwrite);
}

void CExchangeSession::ExchangeTick() {
    exchange.ExchangeTick();
}

void CExchangeSession::OnBytesReceived(const QByteArray& bytes, quint32 unsentWrites) {
    exchange.ReceiveBytes(reinterpret_cast<const uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), unsentWrites);
}

std::string CExchangeSession::TimeOfDay() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
}

void CExchangeSession::AppendLogLine(const std::string& line) {
    emit logLine(QString::fromStdString(line));
}

void CExchangeSession::AppendBareLine(const QString& line) {
    emit logLine(line);
}

void CExchangeSession::WriteTelegram(const Telegram& telegram) {
    link.WriteTelegram(telegram);
    if (trace)
        trace->TelegramWritten(telegram);
}

void CExchangeSession::ShowProgress(int position, int maximum) {
    emit progressShown(position, maximum);
}

void CExchangeSession::ShowObject(const ObjectShown& object) {
    emit objectShown(object);
}

void CExchangeSession::ShowSettings(const SetupShown& settings) {
    emit settingsShown(settings);
}

void CExchangeSession::AskOverwrite() {
    // While the operator decides, the engine would only keep what the console
    // sends; the link keeps it instead, bounded, and the kernel the rest. The
    // engine holds no more than the rest of the read that carried the question.
    link.HoldReceived();
    emit overwriteAsked();
}

void CExchangeSession::BlockStored(int blockIndex) {
    emit blockStored(blockIndex);
}

void CExchangeSession::OperationStarted() {
    emit idleChanged(false);
}

void CExchangeSession::OperationEnded(Outcome outcome) {
    emit idleChanged(true);
    emit finished(outcome);
}
