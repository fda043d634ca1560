#pragma once

#include <QPointer>
#include <QString>
#include <functional>

class TConvertThread;

// Converts one file at a time on a worker thread. All events arrive on the main thread: zero or more
// OnStatus, then exactly one of OnError or OnFinished per Start.
class TPipeConvert
{
public:
    using ErrorEvent = std::function<void(TPipeConvert *Sender)>;
    using FinishedEvent = std::function<void(TPipeConvert *Sender, quint8 Failed)>;
    using StatusEvent =
        std::function<void(TPipeConvert *Sender, quint8 Kind, qint32 Min, qint32 Max, qint32 Position)>;

    static constexpr quint8 ProgressKind = 6;

    TPipeConvert();
    // Stops a conversion still running and lets its worker end without raising any more events.
    ~TPipeConvert();
    TPipeConvert(const TPipeConvert &) = delete;
    TPipeConvert &operator=(const TPipeConvert &) = delete;

    // A failed file; when unassigned, failures go to OnFinished with Failed 1.
    ErrorEvent OnError;
    FinishedEvent OnFinished;
    StatusEvent OnStatus;
    // Checks the output of a file whose encoder ended well: an empty text means it is good, any other
    // text fails the file with that text as its failure text. Called on the worker thread, after the
    // encoder has ended and before the end report. Each Start hands a copy to its worker, which may
    // still call it after this converter is gone: set it for that file before Start, and let it hold
    // copies of what it needs rather than widgets. Unset: the encoder's word is final.
    std::function<QString()> Verify;
    // Kept for the caller: the list entry being converted.
    qint32 ListIndex = 0;

    // Seconds an encoder may go without a sign of life (output other than a progress line, or a
    // progress line that advanced) before it is killed and its file fails with "the encoder stopped
    // responding"; 0: no limit, the default. Each Start hands the value of that moment to its worker.
    void setStallTimeout(int seconds) { m_stallTimeout = seconds; }
    int stallTimeout() const { return m_stallTimeout; }

    // Runs the encoder for one file and returns at once. May be called again from inside OnFinished
    // or OnError; a Start while a file is still converting throws Exception.
    void Start(const QString &InputFile, const QString &EncoderPath, const QString &Arguments);
    // Asks the running conversion to end; a file whose encoder had to be killed is reported as failed.
    // Nothing when none runs.
    void Stop();
    bool isConverting() const;

    // Why the last file failed, in the runner's or the encoder's words (its last line says most);
    // empty after a success. Valid from the end report on.
    const QString &failureText() const { return m_failureText; }
    // The last 64 KiB of the encoder's output of the last file. Valid from the end report on.
    const QString &logText() const { return m_logText; }

    qint32 LastMin() const { return m_lastMin; }
    qint32 LastMax() const { return m_lastMax; }
    qint32 LastPosition() const { return m_lastPosition; }

private:
    void DoProgress(qint32 Min, qint32 Max, qint32 Position);
    void DoFinish(TConvertThread *worker, quint8 Failed);

    QPointer<TConvertThread> m_worker;
    qint32 m_lastMin = 0, m_lastMax = 0, m_lastPosition = 0;
    int m_stallTimeout = 0;
    QString m_failureText;
    QString m_logText;
};
