#include "exchange/CExchangeSession.h"

#include "exchange/ProgressStep.h"
#include "link/ProfileNames.h"

#include <QSettings>
#include <QTime>

#include <algorithm>

namespace {

constexpr int exchangeTickMs = 50;

QString PortName(int index) {
    return QStringLiteral("COM%1").arg(index + 1);
}

QSettings Profile() {
    return QSettings(profileOrganization, profileApplication);
}

} // namespace

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
            emit portSelectionShown(offPortIndex);
            emit portFailed(portName, devicePath, reason);
            emit statusMessage(
                tr("%1 (%2) cannot be opened: %3").arg(portName, devicePath, reason));
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

    connect(this, &CExchangeSession::statusMessage, this,
            [this](const QString& text) { lastStatusMessage = text; });
    connect(&timer, &QTimer::timeout, this, &CExchangeSession::ExchangeTick);
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

CExchangeSession::~CExchangeSession() {
    timer.stop();
    link.ClosePort();
}

void CExchangeSession::OpenStoredPort() {
    const int stored = Profile().value(numComPortKey, 0).toInt();
    if (stored == offPortIndex) {
        ClosePort();
        emit portSelectionShown(offPortIndex);
        AppendBareLine(QStringLiteral("Все порты закрыты"));
        return;
    }
    // Anything unknown falls back to COM1 but stays stored as it was.
    const int index = stored >= 0 && stored < offPortIndex ? stored : 0;
    OpenPort(PortName(index));
    // Even after a failed open the list shows the stored port at start-up.
    emit portSelectionShown(index);
}

void CExchangeSession::OnPortListChange(int index) {
    if (index < 0 || index > offPortIndex)
        return;
    if (index == offPortIndex) {
        ClosePort();
        AppendBareLine(QStringLiteral("Все порты закрыты"));
    } else {
        OpenPort(PortName(index));
    }
    // Stored whatever the outcome, so that the next start tries the same port.
    Profile().setValue(numComPortKey, index);
}

void CExchangeSession::OpenPortForRun(const QString& portName) {
    // Shown first: a failed open turns the list to "OFF" again.
    for (int index = 0; index < offPortIndex; ++index)
        if (PortName(index) == portName)
            emit portSelectionShown(index);
    OpenPort(portName);
}

bool CExchangeSession::OpenPort(const QString& portName) {
    return link.OpenPort(portName);
}

void CExchangeSession::ClosePort() {
    link.ClosePort();
}

void CExchangeSession::OnReadBase() {
    Run([&] { exchange.OnReadBase(); }, Outcome::Completed);
}

void CExchangeSession::OnWriteBase() {
    Run([&] { exchange.OnWriteBase(); }, Outcome::Completed);
}

void CExchangeSession::OnReadNumber(const NumberOperands& operands) {
    Run([&] { exchange.OnReadNumber(operands); }, Outcome::Completed);
}

void CExchangeSession::OnWriteNumber(const NumberOperands& operands) {
    Run([&] { exchange.OnWriteNumber(operands); }, Outcome::Completed);
}

void CExchangeSession::OnReadSetup() {
    Run([&] { exchange.OnReadSetup(); }, Outcome::Completed);
}

void CExchangeSession::OnWriteSetup(const SetupOperands& operands) {
    Run([&] { exchange.OnWriteSetup(operands); }, Outcome::Completed);
}

void CExchangeSession::AnswerOverwrite(bool overwrite) {
    if (!exchange.Vars().confirmOpen)
        return;
    // A cancel ends the operation here; an OK sends the write first, so that what
    // the link held meanwhile counts as read before it.
    Run([&] { exchange.AnswerOverwrite(overwrite); },
        overwrite ? Outcome::Completed : Outcome::Declined);
    link.ReleaseReceived();
}

void CExchangeSession::ExchangeTick() {
    // The tick ends an operation only by giving up.
    Run([&] { exchange.ExchangeTick(); }, Outcome::NoAnswer);
}

void CExchangeSession::OnBytesReceived(const QByteArray& bytes, quint32 unsentWrites) {
    Run(
        [&] {
            exchange.ReceiveBytes(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size()), unsentWrites);
        },
        Outcome::Completed);
}

template <typename Call> void CExchangeSession::Run(Call call, Outcome endedAs) {
    const bool reading = exchange.Vars().exchangeState == ExchangeState::ReadBase;
    const int firstBlock = exchange.Vars().blockIndex;
    call();
    // Only replies store blocks, and a read that takes its last one ends at block 60.
    if (reading)
        for (int block = firstBlock; block < exchange.Vars().blockIndex; ++block)
            emit blockStored(block);
    const bool idle = exchange.IsIdle();
    if (idle == wasIdle)
        return;
    wasIdle = idle;
    emit idleChanged(idle);
    if (idle)
        emit finished(endedAs);
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

// The bar is kept here as a progress bar control keeps it, so that a step knows
// where it starts from whoever shows it.
void CExchangeSession::SetProgressRange(int minimum, int maximum) {
    progressMinimum = minimum;
    progressMaximum = std::max(minimum, maximum);
    // A bar whose position falls outside its new range is reset, and shows empty.
    if (progressPosition < progressMinimum - 1 || progressPosition > progressMaximum)
        progressPosition = progressMinimum - 1;
    emit progressRange(progressMinimum, progressMaximum);
}

void CExchangeSession::SetProgressStep(int step) {
    progressStep = step;
}

void CExchangeSession::SetProgressPos(int position) {
    progressPosition = std::clamp(position, progressMinimum, progressMaximum);
    emit progressPos(progressPosition);
}

void CExchangeSession::StepProgress() {
    int position = progressPosition + progressStep;
    if (position > progressMaximum && progressMaximum > progressMinimum)
        position =
            (position - progressMinimum) % (progressMaximum - progressMinimum) + progressMinimum;
    SetProgressPos(position);
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
