#include "front/CPortProbe.h"

#include "exchange/CExchange.h"
#include "link/CComPort.h"
#include "link/Telegram.h"

#include <QMetaObject>

#include <memory>
#include <vector>

static_assert(CPortProbe::answerTimeMs == firstRepeatTicks * exchangeTickMs);

CPortProbe::CPortProbe(QObject* parent) : QObject(parent) {
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &CPortProbe::EndAll);
}

CPortProbe::~CPortProbe() {
    for (const std::unique_ptr<Line>& line : lines) {
        if (line->port)
            line->port->Abandon();
    }
}

void CPortProbe::Start(QList<SerialPortEntry> toProbe) {
    entries = std::move(toProbe);
    Telegram request = BlankTelegram('E');
    FrameTelegram(request);
    for (int index = 0; index < entries.size(); ++index) {
        std::unique_ptr<CComPort> port = OpenForCheck(entries[index]);
        if (!port)
            continue;
        auto line = std::make_unique<Line>();
        line->entry = index;
        line->port = std::move(port);
        Line* asked = line.get();
        QSerialPort& serial = asked->port->Port();
        connect(&serial, &QSerialPort::readyRead, this, [this, asked] { OnReadyRead(*asked); });
        // A device that goes away mid-probe would report its error without end;
        // it is let go on the next turn, never inside the error's own signal.
        connect(&serial, &QSerialPort::errorOccurred, this,
                [this, asked](QSerialPort::SerialPortError error) {
                    if (error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                        error == QSerialPort::ResourceError)
                        QMetaObject::invokeMethod(
                            this, [this, asked] { EndLine(*asked, false); }, Qt::QueuedConnection);
                });
        asked->port->WriteTelegram(request);
        lines.push_back(std::move(line));
    }
    deadline.start(answerTimeMs);
    FinishWhenDone();
}

void CPortProbe::OnReadyRead(Line& line) {
    if (!line.port)
        return;
    const QByteArray bytes = line.port->Port().readAll();
    ProbeResult& probe = entries[line.entry].probe;
    std::vector<uint8_t> data;
    if (!line.breakSeen)
        line.breakSeen = line.unescaper.Decode(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                               std::size_t(bytes.size()), data);
    probe.bytesReceived += qint64(data.size());
    for (const uint8_t byte : data) {
        // Whatever else comes first (the console's own news, noise) is passed over.
        if (line.assembler.AssembleRxByte(byte) == RxResult::Accepted &&
            line.assembler.rxTelegram[1] == 'U') {
            probe.versionMajor = line.assembler.rxTelegram[6];
            probe.versionMinor = line.assembler.rxTelegram[7];
            EndLine(line, true);
            return;
        }
    }
}

void CPortProbe::EndLine(Line& line, bool answered) {
    if (!line.port)
        return;
    ProbeResult& probe = entries[line.entry].probe;
    if (answered) {
        probe.verdict = ProbeResult::Console;
        line.port->Close();
    } else {
        probe.verdict = probe.bytesReceived > 0 ? ProbeResult::NotAConsole : ProbeResult::NoAnswer;
        line.port->Abandon();
    }
    // The port's own signal may be what called this: it goes once that is over.
    QMetaObject::invokeMethod(
        this, [released = std::shared_ptr<CComPort>(std::move(line.port))] {},
        Qt::QueuedConnection);
    FinishWhenDone();
}

void CPortProbe::EndAll() {
    for (const std::unique_ptr<Line>& line : lines)
        EndLine(*line, false);
    FinishWhenDone();
}

void CPortProbe::FinishWhenDone() {
    if (done)
        return;
    for (const std::unique_ptr<Line>& line : lines) {
        if (line->port)
            return;
    }
    done = true;
    deadline.stop();
    QMetaObject::invokeMethod(this, &CPortProbe::finished, Qt::QueuedConnection);
}
