#pragma once

#include <QByteArray>
#include <QThread>
#include <exception>
#include <functional>

class TProcess;

// Converts one file: runs the encoder with its output and error merged into one pipe, follows its
// progress, and hands progress and the result to the main thread, waiting each time until they have
// been handled there. Frees itself when done.
class TConvertThread : public QThread
{
public:
    using ProgressEvent =
        std::function<void(TConvertThread *Sender, qint32 Min, qint32 Max, qint32 Position)>;
    using FinishEvent = std::function<void(TConvertThread *Sender, quint8 Failed)>;
    // Empty when the output is good, otherwise why it is not.
    using VerifyEvent = std::function<QString()>;

    // Created not yet running; start() lets it run.
    TConvertThread(const QString &InputFile, const QString &EncoderPath, const QString &Arguments);

    const QString &InputFile() const { return m_inputFile; }
    const QString &EncoderPath() const { return m_encoderPath; }
    const QString &Arguments() const { return m_arguments; }
    double Duration() const { return m_duration; }
    quint8 Failed() const { return m_failed; }
    qint32 Min() const { return m_min; }
    qint32 Max() const { return m_max; }
    qint32 Position() const { return m_position; }
    // Why the file failed, in the runner's or the encoder's own words; empty after a success.
    const QString &FailureText() const { return m_failureText; }
    // The last 64 KiB of the encoder's output, for people. Valid from the finish report on.
    QString LogText() const;

    // Called on the main thread; set them before start(), change them only on the main thread.
    ProgressEvent OnProgress;
    FinishEvent OnFinish;
    // Called on this thread once the encoder has ended well, before the finish report; a text fails
    // the file with that text. Unset: the encoder's word is final. Set it before start().
    VerifyEvent Verify;

    // Seconds the encoder may show no sign of life (see StallWatch) before it is killed and the file
    // fails; 0: no limit. Set it before start().
    int stallTimeout() const { return m_stallTimeout; }
    void setStallTimeout(int seconds) { m_stallTimeout = seconds; }

    // How often a silent encoder is checked for a stop request or a stall.
    static constexpr int StopCheckMsecs = 200;

    // The longest any worker has waited for the main thread to take a report, in microseconds:
    // while it waits it does not read its encoder's output.
    static qint64 longestHandOverWaitUsecs();
    static void resetHandOverWait();

protected:
    void run() override;
    // The thread's body.
    virtual void Execute();

private:
    bool convert(TProcess &process);
    bool verify();
    void ParseOutput(const QByteArray &Block, bool startsLine);
    static QString failureOf(const std::exception_ptr &error);
    void Synchronize(const std::function<void()> &call);
    void reportFinish(bool success);
    void keepTail(const QByteArray &block);

    QString m_inputFile;
    QString m_encoderPath;
    QString m_arguments;
    double m_duration = 0;
    quint8 m_failed = 0;
    qint32 m_min = 0, m_max = 0, m_position = 0;
    QString m_failureText;
    int m_stallTimeout = 0;
    QByteArray m_tail; // the end of the encoder's output, for the failure text
    QByteArray m_log;  // a longer end of it, for people
};
