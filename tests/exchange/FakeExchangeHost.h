#pragma once

#include "exchange/CExchange.h"
#include "exchange/ProgressStep.h"

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
    QStringList progressCalls; // "range 0 60", "step 1", "pos 0", "stepit"
    int barMinimum = 0, barMaximum = 100, barStep = 10, barPos = 0;
    int askCount = 0;
    QStringList events; // "write", "log", "stepit", in the order they happened

    int objectNumberPos = 1, rightPos = 0, leftPos = 0;
    int objectState = 0, modeIndex = 0, periodIndex = 3, relayIndex = 0, backlightIndex = 1;

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

    void SetProgressRange(int minimum, int maximum) override {
        progressCalls << QString("range %1 %2").arg(minimum).arg(maximum);
        barMinimum = minimum;
        barMaximum = maximum;
    }
    void SetProgressStep(int step) override {
        progressCalls << QString("step %1").arg(step);
        barStep = step;
    }
    void SetProgressPos(int position) override {
        progressCalls << QString("pos %1").arg(position);
        barPos = position;
    }
    void StepProgress() override {
        progressCalls << "stepit";
        events << "stepit";
        barPos = SteppedProgress(barPos, barStep, barMinimum, barMaximum);
    }

    int ObjectNumberPos() override { return objectNumberPos; }
    int RightTransmitterPos() override { return rightPos; }
    int LeftTransmitterPos() override { return leftPos; }
    int ModeIndex() override { return modeIndex; }
    int PeriodIndex() override { return periodIndex; }
    int RelayIndex() override { return relayIndex; }
    int BacklightIndex() override { return backlightIndex; }

    void SetRightTransmitterPos(int value) override { rightPos = value; }
    void SetLeftTransmitterPos(int value) override { leftPos = value; }
    void SelectObjectState(int index) override { objectState = Select(index, 2); }
    void SelectMode(int index) override { modeIndex = Select(index, 3); }
    void SelectPeriod(int index) override { periodIndex = Select(index, 10); }
    void SelectRelay(int index) override { relayIndex = Select(index, 3); }
    void SelectBacklight(int index) override { backlightIndex = Select(index, 3); }

    void AskOverwrite() override { ++askCount; }

    QByteArray LastWritten() const {
        if (written.empty())
            return {};
        return QByteArray(reinterpret_cast<const char*>(written.back().data()), telegramSize);
    }

private:
    static int Select(int index, int items) { return index >= 0 && index < items ? index : -1; }
};
