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
const QByteArray OutputFileIsEmpty = QByteArrayLiteral("Output file is empty, nothing was encoded");
const QString NoAudioText = QStringLiteral("the encoder wrote no audio");
const QString StalledText = QStringLiteral("the encoder stopped responding");
// Enough for the encoder's last few messages, which say why it gave up.
constexpr qsizetype TailSize = 4096;
// What a person may read of the encoder's output, apart from what the parser needs.
constexpr qsizetype LogSize = 64 * 1024;

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
    // With the encoder gone the output is complete and may be read as a whole.
    if (success)
        success = verify();
    reportFinish(success);
}

bool TConvertThread::verify()
{
    if (!Verify)
        return true;
    try {
        m_failureText = Verify();
    } catch (...) {
        m_failureText = failureOf(std::current_exception());
        return false;
    }
    return m_failureText.isEmpty();
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
    StallWatch stallWatch;
    QElapsedTimer sinceLife;
    sinceLife.start();
    const qint64 stallMsecs = qint64(m_stallTimeout) * 1000;
    enum class Ending
    {
        ByItself,
        Stopped,
        Stalled
    } ending = Ending::ByItself;
    const auto checkEnd = [&] {
        if (ending != Ending::ByItself)
            return;
        const Ending wanted = isInterruptionRequested()                            ? Ending::Stopped
                              : stallMsecs > 0 && sinceLife.hasExpired(stallMsecs) ? Ending::Stalled
                                                                                   : Ending::ByItself;
        if (wanted != Ending::ByItself && process.Terminate(0))
            ending = wanted;
    };

    // Everything the encoder wrote is read up to the end of the pipe, which comes with its end. The
    // stall clock is read only after what is waiting has been read: a late reader is no stalled encoder.
    for (;;) {
        if (!output->waitForReadyRead(StopCheckMsecs)) {
            checkEnd();
            // Silent and ended: what it wrote is all read, though something it started may hold the
            // pipe open.
            if (!process.Running())
                break;
            continue;
        }
        const qint32 n = output->Read(buffer, BufferSize);
        if (n <= 0)
            break;
        const QByteArray bytes(buffer, n);
        if (stallWatch.add(bytes))
            sinceLife.restart();
        const QByteArray block = blocks.add(bytes);
        if (!block.isEmpty()) {
            lastBlock = block;
            keepTail(block);
            ParseOutput(block, blocks.startsLine());
        }
        checkEnd();
    }
    // An encoder that closed its output may still be at work; a stop request or the stall limit
    // reaches it there too.
    while (!process.waitForExit(StopCheckMsecs))
        checkEnd();

    // A killed encoder leaves a cut-short file: that is not a success, whatever its exit status says.
    if (ending == Ending::Stopped) {
        m_failureText = QStringLiteral("Stopped");
        return false;
    }
    if (ending == Ending::Stalled) {
        m_failureText = StalledText;
        return false;
    }
    const quint32 status = process.ExitStatus();
    // The encoder's own word that it had nothing to write: its output holds no sound, whatever a
    // probe of its headers may say.
    if (status == 0 && m_tail.contains(OutputFileIsEmpty)) {
        m_failureText = NoAudioText;
        return false;
    }
    if (status == 0 || lastBlock.contains(OutputBufferTooSmall))
        return true;
    m_failureText = decodeOutputText(m_tail).trimmed();
    if (m_failureText.isEmpty())
        m_failureText = QStringLiteral("The encoder ended with exit status %1").arg(status);
    return false;
}

namespace {
void keepLast(QByteArray &tail, const QByteArray &block, qsizetype size)
{
    tail += block;
    if (tail.size() <= size)
        return;
    qsizetype cut = tail.size() - size;
    // Not inside a character, whose first bytes would be gone.
    for (int k = 0; k < 3 && cut < tail.size() && (uchar(tail.at(cut)) & 0xC0) == 0x80; ++k)
        ++cut;
    tail.remove(0, cut);
}
} // namespace

void TConvertThread::keepTail(const QByteArray &block)
{
    keepLast(m_tail, block, TailSize);
    keepLast(m_log, block, LogSize);
}

QString TConvertThread::LogText() const
{
    return decodeOutputText(m_log);
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
