#include "convertthread.h"

#include "commandline.h"
#include "encoderoutput.h"
#include "process.h"

#include <QCoreApplication>
#include <memory>

namespace {

constexpr qint32 BufferSize = 1024;
constexpr unsigned long SettleMsecs = 100;
// After the encoder has ended, its output is in the pipe already; this only guards against a
// descendant that keeps the pipe open.
constexpr int DrainWaitMsecs = 1000;
// Pause when the pipe is at its end but the encoder has not yet been seen to end.
constexpr unsigned long EndOfDataPauseMsecs = 10;

const QByteArray OutputBufferTooSmall = QByteArrayLiteral("output buffer too small");
// Enough for the encoder's last few messages, which say why it gave up.
constexpr qsizetype TailSize = 4096;

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
    auto process = std::make_unique<TProcess>();
    bool success = false;
    try {
        process->setCommandLine(encoderCommandLine(m_encoderPath, m_inputFile, m_arguments));
        process->setOptions(poUsePipes | poStderrToOutPut | poNoConsole);
        try {
            process->Execute();
        } catch (const EProcess &e) {
            // A missing or unstartable encoder is just a failed file.
            m_failureText = e.message();
            reportFinish(false);
            return;
        }
        success = convert(*process);
    } catch (const std::exception &e) {
        // Reading or parsing went wrong: the encoder is not left running behind the next file.
        if (process->Terminate(1))
            process->WaitOnExit();
        process.reset();
        const auto *own = dynamic_cast<const Exception *>(&e);
        m_failureText = own ? own->message() : QString::fromLocal8Bit(e.what());
        reportFinish(false);
        return;
    }
    reportFinish(success);
}

bool TConvertThread::convert(TProcess &process)
{
    TInputPipeStream *output = process.Output();
    char buffer[BufferSize];
    OutputBlocks blocks;
    QByteArray lastBlock;
    const auto examine = [&](const QByteArray &block) {
        lastBlock = block;
        keepTail(block);
        ParseOutput(block);
    };
    const auto take = [&](qint32 count) {
        for (const QByteArray &block : blocks.add(QByteArray(buffer, count)))
            examine(block);
    };

    bool stopped = false;
    while (process.Running()) {
        if (output->waitForReadyRead(StopCheckMsecs)) {
            const qint32 n = output->Read(buffer, BufferSize);
            if (n > 0)
                take(n);
            else
                msleep(EndOfDataPauseMsecs);
        }
        if (isInterruptionRequested() && process.Terminate(0))
            stopped = true;
    }

    msleep(SettleMsecs);
    while (output->waitForReadyRead(DrainWaitMsecs)) {
        const qint32 n = output->Read(buffer, BufferSize);
        if (n <= 0)
            break;
        take(n);
    }
    if (const QByteArray rest = blocks.takeRest(); !rest.isEmpty())
        examine(rest);

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

void TConvertThread::ParseOutput(const QByteArray &Block)
{
    const std::optional<qint32> position = ::ParseOutput(Block, m_duration);
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
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, call, Qt::BlockingQueuedConnection);
}
