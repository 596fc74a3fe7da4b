#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) into the signal interrupted() on the thread that made
// the watch, through a pipe, since a signal handler may do next to nothing. One
// watch at a time; the former handling of SIGINT comes back when it goes.
class CInterruptWatch : public QObject {
    Q_OBJECT
public:
    explicit CInterruptWatch(QObject* parent = nullptr);
    ~CInterruptWatch() override;
    CInterruptWatch(const CInterruptWatch&) = delete;
    CInterruptWatch& operator=(const CInterruptWatch&) = delete;

    bool IsWatching() const { return notifier != nullptr; }

signals:
    void interrupted();

private:
    void OnReadable();

    int pipeFds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
};
