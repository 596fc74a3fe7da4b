#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals that ask a program to stop (Ctrl+C's SIGINT, SIGTERM, SIGHUP)
// into the signal interrupted() on the thread that made the watch, through a pipe,
// since a signal handler may do next to nothing. One watch at a time; the former
// handling of each signal comes back when it goes.
class CInterruptWatch : public QObject {
    Q_OBJECT
public:
    explicit CInterruptWatch(QObject* parent = nullptr);
    ~CInterruptWatch() override;
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;

    bool IsWatching() const { return notifier != nullptr; }
    // The first signal caught, 0 before any: a wait cut short by a signal tells by it
    // whether the watch is about to report one.
    static int CaughtSignal();

signals:
    void interrupted(int signalNumber);

private:
    void OnReadable();

    int pipeFds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
};
