// Finishing a file: its outputs checked and put in place all or none, its status, the batch's counts,
// the time left and the end of the batch.
#include "batchengine.h"

#include "batchjob.h"
#include "batchtexts.h"
#include "conversionqueue.h"
#include "mp3infotag.h"
#include "outputfile.h"

#include "convert/pipeconvert.h"

#include <QDir>
#include <QFile>

using namespace BatchStatus;

QString BatchEngine::commitOutputs(Job &job)
{
    // Every piece is checked before any is renamed, so a failure leaves none of them behind.
    for (const Job::Output &o : job.outputs) {
        // Players would leave out the whole source's delay and padding at the ends of a copied piece.
        if (o.clearsMp3Padding)
            Mp3InfoTag::clearPaddingInFile(o.temporary);
        const QString problem = OutputFile::problemWith(o.temporary);
        if (!problem.isEmpty())
            return job.outputs.size() > 1 ? QStringLiteral("%1: %2").arg(o.planned.outfile, problem)
                                          : problem;
    }
    QString error;
    for (size_t i = 0; i < job.outputs.size(); ++i) {
        Job::Output &o = job.outputs[i];
        for (bool committed = false; !committed;) {
            switch (OutputFile::commit(o.temporary, o.planned.outfile, o.planned.replace, &error)) {
            case OutputFile::Commit::Done:
                committed = true;
                break;
            case OutputFile::Commit::Failed:
                // A source's pieces are kept all or none: those in place go back.
                for (size_t k = i; k-- > 0;)
                    OutputFile::undoCommit(job.outputs[k].temporary, job.outputs[k].planned.outfile);
                return error;
            case OutputFile::Commit::Taken:
                // Someone else wrote that name while this file converted: both are kept.
                o.planned.outfile =
                    freeNumberedName(o.planned.outfile, [this](const QString &p) { return isTaken(p); });
                m_batchOutputs.insert(o.planned.outfile);
                break;
            }
        }
    }
    return QString();
}

void BatchEngine::finishOutputs(Job &job, ItemResult *result)
{
    result->reason = commitOutputs(job);
    result->output = job.outputs.front().planned.outfile;
    if (!result->reason.isEmpty()) {
        result->status = statusFailed;
        result->copied = false;
        return;
    }
    QStringList notes;
    if (job.copied)
        notes << copiedNote;
    if (!job.note.isEmpty())
        notes << job.note;
    result->reason = notes.join(QLatin1Char('\n'));
    if (job.outputs.size() > 1 || !job.madeFolder.isEmpty()) {
        for (const Job::Output &o : job.outputs)
            result->outputs << o.planned.outfile;
    }
}

void BatchEngine::convertFinished(TPipeConvert *sender, bool failed)
{
    const auto it =
        std::find_if(m_jobs.begin(), m_jobs.end(), [sender](const Job &j) { return j.converter == sender; });
    if (it == m_jobs.end())
        return;
    Job job = *it;
    m_jobs.erase(it);
    if (m_tally.jobs == 1)
        m_percent = 0;

    // Only files cut by a stop are "Stopped"; a failure that came before it stays one.
    const bool stopped = failed && sender->failureText() == QLatin1String("Stopped");
    ItemResult result{job.id,
                      stopped  ? statusStopped
                      : failed ? statusFailed
                               : statusDone,
                      job.input,
                      job.outputs.front().planned.outfile,
                      failed && !stopped ? plainReason(BatchTexts::withoutClosingWords(sender->failureText()))
                                         : QString(),
                      job.copied && !failed};
    // The encoder's words name the outputs, not their temporary files.
    for (const Job::Output &o : job.outputs)
        result.reason.replace(o.temporary, o.planned.outfile);
    if (result.status == statusDone && !job.removed) {
        // The next file's encoder loads while this output is checked: the check costs the batch no time.
        if (!m_stop)
            startWaiting();
        finishOutputs(job, &result);
    }
    m_queue.setLog(job.id, (job.note.isEmpty() ? QString() : job.note + QStringLiteral("\n\n")) +
                               job.commandLine + QStringLiteral("\n\n") + sender->logText());
    // Whatever did not become an output goes; the files that were there before are untouched.
    for (const Job::Output &o : job.outputs)
        QFile::remove(o.temporary);
    if (result.status != statusDone && !job.madeFolder.isEmpty())
        QDir().rmdir(job.madeFolder);
    if (!job.removed) {
        m_tally.doneMedia += job.durationMs;
        finishItem(result);
    }
    if (!m_stop)
        startMore();
    else if (m_jobs.empty() && !m_starting)
        end();
    else
        showProgress();
}

void BatchEngine::finishItem(const ItemResult &result)
{
    m_queue.setStatus(result.id, result.status, result.reason);
    if (result.status == statusDone)
        ++m_tally.done;
    else if (result.status == statusSkipped)
        ++m_tally.skipped;
    else if (result.status == statusStopped)
        ++m_tally.stopped;
    else
        ++m_tally.failed;
    Q_EMIT itemFinished(result);
}

void BatchEngine::showProgress()
{
    const int finished = m_tally.done + m_tally.failed + m_tally.stopped + m_tally.skipped;
    const int waiting = qMax(0, m_queue.size() - nextPosition());
    const int total = finished + int(m_jobs.size()) + (m_stop ? 0 : waiting);

    qint64 runningMedia = 0;
    qint64 remainingMedia = 0;
    double runningFraction = 0;
    for (const Job &j : m_jobs) {
        runningFraction += j.position / 100.0;
        runningMedia += j.durationMs * j.position / 100;
        remainingMedia += j.durationMs - j.durationMs * j.position / 100;
    }
    if (m_tally.jobs > 1)
        m_percent = total > 0 ? int(100 * (finished + runningFraction) / total) : 0;
    else if (!m_jobs.empty())
        m_percent = m_jobs.front().position;

    if (!m_stop) {
        for (int i = qMax(0, nextPosition()); i < m_queue.size(); ++i)
            remainingMedia += qMax<qint64>(0, m_queue.at(i).durationMs);
    }
    QString text = QStringLiteral("%1 of %2 files done").arg(finished).arg(total);
    if (m_tally.failed > 0)
        text += QStringLiteral(", %1 failed").arg(m_tally.failed);
    // Media time converted per second of work so far; only a guess after a little work.
    const qint64 elapsed = m_tally.clock.elapsed();
    const qint64 converted = m_tally.doneMedia + runningMedia;
    if (elapsed >= estimateAfterMsecs && converted > 0)
        text += QStringLiteral(", %1 left").arg(clockText(remainingMedia * elapsed / converted));
    Q_EMIT progressChanged(m_percent, text);
}

void BatchEngine::end()
{
    QString summary = QStringLiteral("%1 converted, %2 failed").arg(m_tally.done).arg(m_tally.failed);
    if (m_tally.stopped > 0)
        summary += QStringLiteral(", %1 stopped").arg(m_tally.stopped);
    if (m_tally.skipped > 0)
        summary += QStringLiteral(", %1 skipped").arg(m_tally.skipped);
    m_percent = 0;
    m_running = false;
    m_summary = summary + QStringLiteral(" in ") + clockText(m_tally.clock.elapsed());
    Q_EMIT progressChanged(0, m_summary);
    Q_EMIT finished();
}
