#pragma once

#include "exchange/CExchange.h"
#include "exchange/EditorMapping.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

// Records what the engine does to the world and stands in for the panel. Lists
// behave as the real ones do: an index past the end leaves no selection (-1).
class FakeExchangeHost : public CExchangeHost {
public:
    static constexpr const char* stamp = "12:34:56";

    QStringList log; // messages, after "HH:MM:SS - "
    std::vector<Telegram> written;
    QStringList progressCalls; // each bar shown, "position/maximum"
    int barMaximum = 100, barPos = 0;
    int askCount = 0;
    QStringList events; // "write", "log", "progress", in the order they happened
    QList<int> blocksStored;
    int operationsStarted = 0;
    QList<Outcome> outcomes;

    int objectNumberPos = 1, rightPos = 0, leftPos = 0;
    int objectState = 0, modeIndex = 0, periodIndex = 3, relayIndex = 0, backlightIndex = 1;
    int shownNumber = 0, shownVersion = 0;
    // The settings lists: what the console reported last, what the operator chose since.
    SetupShown reportedSetup;
    SetupChange setupChange;

    // What the panel's buttons take at the click, from the fake panel above.
    NumberOperands Number() const {
        return {uint16_t(objectNumberPos), uint8_t(rightPos), uint8_t(leftPos)};
    }
    SetupOperands Setup() const { return MergeSetup(reportedSetup, setupChange); }

    std::string TimeOfDay() override { return stamp; }
    void AppendLogLine(const std::string& line) override {
        const QString text = QString::fromStdString(line);
        const QString prefix = QString(stamp) + " - ";
        log << (text.startsWith(prefix) ? text.mid(prefix.size()) : "<unstamped> " + text);
        events << "log";
    }
    void WriteTelegram(const Telegram& telegram) override {
        written.push_back(telegram);
        events << "write";
    }

    void ShowProgress(int position, int maximum) override {
        progressCalls << QString("%1/%2").arg(position).arg(maximum);
        events << "progress";
        barPos = position;
        barMaximum = maximum;
    }

    void ShowObject(const ObjectShown& object) override {
        shownNumber = object.objectNumber;
        rightPos = object.transmitterByte1;
        leftPos = object.transmitterByte2;
        objectState = Select(object.stateIndex, 2);
    }
    void ShowSettings(const SetupShown& settings) override {
        modeIndex = Select(settings.modeCode, 3);
        periodIndex = PeriodIndexForCode(settings.periodCode);
        relayIndex = Select(settings.relayCode, 3);
        backlightIndex = Select(settings.backlightCode, 3);
        shownVersion = settings.versionMajor * 100 + settings.versionMinor;
        reportedSetup = settings;
        setupChange = {};
    }

    void AskOverwrite() override { ++askCount; }
    void BlockStored(int blockIndex) override { blocksStored << blockIndex; }
    void OperationStarted() override { ++operationsStarted; }
    void OperationEnded(Outcome outcome) override { outcomes << outcome; }

    QByteArray LastWritten() const {
        if (written.empty())
            return {};
        return QByteArray(reinterpret_cast<const char*>(written.back().data()), telegramSize);
    }

private:
    static int Select(int index, int items) { return index >= 0 && index < items ? index : -1; }
};

enum Button {
    ReadBaseButton,
    WriteBaseButton,
    ReadNumberButton,
    WriteNumberButton,
    ReadSetupButton,
    WriteSetupButton
};

// Clicks a button of the fake panel.
inline void PressButton(CExchange& exchange, const FakeExchangeHost& host, int button) {
    switch (button) {
    case ReadBaseButton:
        return exchange.OnReadBase();
    case WriteBaseButton:
        return exchange.OnWriteBase();
    case ReadNumberButton:
        return exchange.OnReadNumber(host.Number());
    case WriteNumberButton:
        return exchange.OnWriteNumber(host.Number());
    case ReadSetupButton:
        return exchange.OnReadSetup();
    default:
        return exchange.OnWriteSetup(host.Setup());
    }
}
