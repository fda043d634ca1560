#pragma once

#include <QObject>

class BatchEngine;
class ConversionQueue;

// A run nobody watches: every file's end and everything left out is printed as a result line, the
// queue is converted once it is complete, and the run ends with an exit code a script can act on.
class UnattendedRun : public QObject
{
    Q_OBJECT
public:
    UnattendedRun(ConversionQueue &queue, BatchEngine &engine, QObject *parent = nullptr);

    // Prints what the ways in left out since the last call.
    void reportIgnored();
    // The queue is complete: converts it, or ends at once when there is nothing to convert.
    void queueComplete();
    // The batch stops as with Stop; then the run ends with 128 + the signal's number, after reporting
    // the files it never reached.
    void stopForSignal(int signalNumber);
    // The run ended after a batch or a signal: the program closes as when a person closes it, saving
    // its settings. With nothing to convert, or a batch refused, it just ends.
    bool endsByClosing() const { return m_batchStarted || m_signal != 0; }

Q_SIGNALS:
    // 0: all converted or skipped; 1: nothing to convert; 2: a file failed or was stopped, or the batch
    // could not start; 128 + N: signal N.
    void ended(int exitCode);

private:
    void batchFinished();
    void endAfterSignal();
    void end(int exitCode);

    ConversionQueue &m_queue;
    BatchEngine &m_engine;
    qsizetype m_ignoredShown = 0;
    int m_signal = 0;
    bool m_ended = false;
    bool m_batchStarted = false;
};
