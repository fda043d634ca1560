#include "unattendedrun.h"

#include "batchengine.h"
#include "batchtexts.h"
#include "conversionqueue.h"
#include "resultline.h"

#include <cstdio>

UnattendedRun::UnattendedRun(ConversionQueue &queue, BatchEngine &engine, QObject *parent)
    : QObject(parent), m_queue(queue), m_engine(engine)
{
    connect(&m_engine, &BatchEngine::itemFinished, this, [](const ItemResult &r) {
        const QString why = BatchTexts::lastLines(r.reason, 1);
        const bool failed = r.status == QLatin1String("Failed");
        if (r.outputs.isEmpty()) {
            ResultLine::print(r.status, r.input,
                              failed ? (why.isEmpty() ? QStringLiteral("the encoder failed") : why)
                                     : r.output);
        }
        // A file done in pieces has a line for each.
        for (const QString &piece : r.outputs)
            ResultLine::print(r.status, r.input, piece);
        // Beside the result lines, whose three fields scripts split.
        if (r.copied)
            std::fprintf(stderr, "copied\t%s\n", ResultLine::escapeField(r.input).constData());
    });
    connect(&m_engine, &BatchEngine::finished, this, &UnattendedRun::batchFinished);
}

void UnattendedRun::reportIgnored()
{
    const auto &ignored = m_queue.ignored();
    for (qsizetype i = m_ignoredShown; i < ignored.size(); ++i)
        ResultLine::print(QStringLiteral("Ignored"), ignored.at(i).first, ignored.at(i).second);
    m_ignoredShown = ignored.size();
}

void UnattendedRun::queueComplete()
{
    reportIgnored();
    if (m_signal != 0) {
        endAfterSignal();
        return;
    }
    if (m_queue.size() == 0) {
        end(1);
        return;
    }
    m_engine.start();
    // Refused (no output folder, say): nobody is there to fix it, so the run ends as failed.
    if (!m_engine.isRunning() && !m_ended)
        end(2);
}

void UnattendedRun::batchFinished()
{
    m_batchStarted = true;
    if (m_signal != 0)
        endAfterSignal();
    else
        end(m_engine.failedCount() + m_engine.stoppedCount() > 0 ? 2 : 0);
}

void UnattendedRun::stopForSignal(int signalNumber)
{
    if (m_signal != 0)
        return;
    m_signal = signalNumber;
    m_engine.stop();
    m_queue.stopScan();
    if (!m_engine.isRunning() && !m_queue.isScanning() && !m_queue.hasFoldersToScan())
        endAfterSignal();
}

void UnattendedRun::endAfterSignal()
{
    if (m_ended)
        return;
    // Files the batch never reached are reported too, so a script can account for every one.
    for (const QString &source : m_engine.waitingSources())
        ResultLine::print(QStringLiteral("Stopped"), source, QString());
    end(128 + m_signal);
}

void UnattendedRun::end(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    Q_EMIT ended(exitCode);
}
