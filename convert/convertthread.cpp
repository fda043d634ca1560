#include "convertthread.h"

#include "commandline.h"
#include "encoderoutput.h"
#include "process.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <exception>

namespace {

constexpr qint32 BufferSize = 1024;

const QByteArray OutputBufferTooSmall = QByteArrayLiteral("output buffer too small");
// Enough for the encoder's last few messages, which say why it gave up.
constexpr qsizetype TailSize = 4096;

std::atomic<qint64> longestHandOverWait{0};

} // namespace

TConvertThread::TConvertThread(const QString &InputFile, const QString &EncoderPath, const QString &Arguments)
    : m_inputFile(InputFile), m_encoderPath(EncoderPath), m_arguments(Arguments)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TConvertThread::run()
{
    Execute();
}

void TConvertThread::Execute()
{
    bool success = false;
    {
        // Released before the report: once it arrives, nothing of this file is left open or running.
        TProcess process;
        try {
            process.setCommandLine(encoderCommandLine(m_encoderPath, m_inputFile, m_arguments));
            process.setOptions(poUsePipes | poStderrToOutPut | poNoConsole);
            // A missing or unstartable encoder is just a failed file.
            process.Execute();
            success = convert(process);
        } catch (...) {
            // Giving up on the file: its encoder is not left running behind the next one.
            if (process.Terminate(1))
                process.WaitOnExit();
            m_failureText = failureOf(std::current_exception());
        }
    }
    reportFinish(success);
}

QString TConvertThread::failureOf(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

bool TConvertThread::convert(TProcess &process)
{
    TInputPipeStream *output = process.Output();
    char buffer[BufferSize];
    OutputBlocks blocks;
    QByteArray lastBlock;
    bool stopped = false;
    const auto checkStop = [&] {
        if (!stopped && isInterruptionRequested())
            stopped = process.Terminate(0);
    };

    // Everything the encoder wrote is read up to the end of the pipe, which comes with its end.
    for (;;) {
        checkStop();
        if (!output->waitForReadyRead(StopCheckMsecs)) {
            // Silent and ended: what it wrote is all read, though something it started may hold the
            // pipe open.
            if (!process.Running())
                break;
            continue;
        }
        const qint32 n = output->Read(buffer, BufferSize);
        if (n <= 0)
            break;
        const QByteArray block = blocks.add(QByteArray(buffer, n));
        if (block.isEmpty())
            continue;
        lastBlock = block;
        keepTail(block);
        ParseOutput(block, blocks.startsLine());
    }
    // An encoder that closed its output may still be at work; a stop request reaches it there too.
    while (!process.waitForExit(StopCheckMsecs))
        checkStop();

    // A killed encoder leaves a cut-short file: that is not a success, whatever its exit status says.
    if (stopped) {
        m_failureText = QStringLiteral("Stopped");
        return false;
    }
    const quint32 status = process.ExitStatus();
    if (status == 0 || lastBlock.contains(OutputBufferTooSmall))
        return true;
    m_failureText = QString::fromLocal8Bit(m_tail).trimmed();
    if (m_failureText.isEmpty())
        m_failureText = QStringLiteral("The encoder ended with exit status %1").arg(status);
    return false;
}

void TConvertThread::keepTail(const QByteArray &block)
{
    m_tail += block;
    if (m_tail.size() > TailSize)
        m_tail.remove(0, m_tail.size() - TailSize);
}

void TConvertThread::ParseOutput(const QByteArray &Block, bool startsLine)
{
    const std::optional<qint32> position = ::ParseOutput(Block, m_duration, startsLine);
    if (!position)
        return;
    m_min = 0;
    m_max = 100;
    m_position = *position;
    Synchronize([this] {
        if (OnProgress)
            OnProgress(this, m_min, m_max, m_position);
    });
}

void TConvertThread::reportFinish(bool success)
{
    m_failed = success ? 0 : 1;
    if (success)
        m_failureText.clear();
    Synchronize([this] {
        if (OnFinish)
            OnFinish(this, m_failed);
    });
}

void TConvertThread::Synchronize(const std::function<void()> &call)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QElapsedTimer posted;
    posted.start();
    QMetaObject::invokeMethod(
        app,
        [&] {
            const qint64 waited = posted.nsecsElapsed() / 1000;
            qint64 longest = longestHandOverWait.load();
            while (waited > longest && !longestHandOverWait.compare_exchange_weak(longest, waited)) {
            }
            call();
        },
        Qt::BlockingQueuedConnection);
}

qint64 TConvertThread::longestHandOverWaitUsecs()
{
    return longestHandOverWait.load();
}

void TConvertThread::resetHandOverWait()
{
    longestHandOverWait = 0;
}
