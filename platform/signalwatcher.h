#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>

class QSocketNotifier;

// Turns POSIX signals into calls on the main thread: the handler only writes the signal's number
// to a pipe, which the event loop reads. One watcher at a time.
class SignalWatcher : public QObject
{
public:
    using Handler = std::function<void(int signalNumber)>;

    SignalWatcher(std::initializer_list<int> signalNumbers, Handler handler, QObject *parent = nullptr);
    // Puts the signals' previous handling back.
    ~SignalWatcher() override;

private:
    void readSignals();

    Handler m_handler;
    QList<int> m_signals;
    int m_fds[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
