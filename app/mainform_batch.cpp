// The batch: converts the list from its first row to its last, one file or several at a time.
#include "mainform.h"

#include "batchtexts.h"
#include "filelist.h"

#include "convert/pipeconvert.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/launcher.h"
#include "settings/options.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextStream>

namespace {
const QString statusProcessing = QStringLiteral("Processing...");
const QString statusDone = QStringLiteral("Done!");
const QString statusFailed = QStringLiteral("Failed");
const QString statusStopped = QStringLiteral("Stopped");
const QString statusSkipped = QStringLiteral("Skipped");
constexpr int statusColumn = 4;
constexpr qint64 estimateAfterMsecs = 2000;

// Enough of a file's identity to tell whether a conversion wrote it.
Tmainform::FileStamp stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.lastModified().toMSecsSinceEpoch(), info.size()};
}

// The encoder's last words, which say why it gave up; its banner before them does not.
QString lastLines(const QString &text, int count)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    return lines.mid(qMax(0, lines.size() - count)).join(QLatin1Char('\n')).trimmed();
}

QString clockText(qint64 msecs)
{
    const qint64 seconds = (msecs + 500) / 1000;
    if (seconds >= 3600)
        return QString::asprintf("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
}
} // namespace

int Tmainform::rowIdOf(QTreeWidgetItem *item)
{
    return item->data(0, Qt::UserRole).toInt();
}

QTreeWidgetItem *Tmainform::rowById(int id) const
{
    for (int i = 0, n = files->topLevelItemCount(); i < n; ++i) {
        QTreeWidgetItem *item = files->topLevelItem(i);
        if (rowIdOf(item) == id)
            return item;
    }
    return nullptr;
}

void Tmainform::rowLeaving(QTreeWidgetItem *item)
{
    if (busy && m_lastStarted.id != 0 && rowIdOf(item) == m_lastStarted.id)
        m_lastStarted.gonePosition = files->indexOfTopLevelItem(item);
}

int Tmainform::effectiveJobs() const
{
    return m_overrides.jobs > 0 ? m_overrides.jobs : Options::jobsOrDefault(cfg.jobs);
}

ExistingPolicy Tmainform::effectiveExisting() const
{
    if (m_overrides.existing)
        return *m_overrides.existing;
    return cfg.existing >= 0 && cfg.existing <= 2 ? ExistingPolicy(cfg.existing) : ExistingPolicy::Overwrite;
}

void Tmainform::Convert()
{
    // The standard music folder is the default output; a desktop makes it at login, a bare system
    // may not have it yet.
    if (!cfg.samefolder && !cfg.output.isEmpty() && cfg.output == GetMusicFolder())
        QDir().mkpath(cfg.output);
    if (!QFileInfo(cfg.output).isDir() && !cfg.samefolder) {
        Dialogs::message(nullptr,
                         QStringLiteral("Output folder does not exists! Please select another folder."),
                         QStringLiteral("Error!"), Dialogs::Icon::Error);
        return;
    }
    if (files->topLevelItemCount() == 0) {
        Dialogs::message(
            nullptr, QStringLiteral("Conversion list is empty. Please add files before start conversion."),
            QStringLiteral("Warning!"), Dialogs::Icon::Warning);
        return;
    }
    if (busy) {
        Dialogs::message(this, QStringLiteral("Conversion already started"),
                         QStringLiteral("Operation in progress"), Dialogs::Icon::Warning);
        return;
    }
    busy = true;
    batchstop = false;
    m_batch = {};
    m_batch.jobs = effectiveJobs();
    m_batch.clock.start();
    m_lastStarted = {};
    m_batchOutputs.clear();
    // Parallel runs need more converters than the one the window keeps; they all report alike.
    while (int(m_extraConverters.size()) < m_batch.jobs - 1)
        m_extraConverters.push_back(std::make_unique<TPipeConvert>());
    for (TPipeConvert *c : allConverters()) {
        c->OnError = [this](TPipeConvert *sender) { DoOnConvertError(sender); };
        c->OnFinished = [this](TPipeConvert *sender, quint8 failed) { DoOnConvertFinished(sender, failed); };
        c->OnStatus = [this](TPipeConvert *sender, quint8 kind, int min, int max, int position) {
            DoOnConvertStatus(sender, kind, min, max, position);
        };
    }
    startMore();
}

std::vector<TPipeConvert *> Tmainform::allConverters() const
{
    std::vector<TPipeConvert *> all{converter.get()};
    for (const auto &c : m_extraConverters)
        all.push_back(c.get());
    return all;
}

TPipeConvert *Tmainform::idleConverter() const
{
    for (TPipeConvert *c : allConverters()) {
        const bool inUse = std::any_of(m_running.cbegin(), m_running.cend(),
                                       [c](const Running &r) { return r.converter == c; });
        if (!inUse)
            return c;
    }
    return nullptr;
}

Tmainform::Running *Tmainform::runningFor(TPipeConvert *converterOfJob)
{
    for (Running &r : m_running) {
        if (r.converter == converterOfJob)
            return &r;
    }
    return nullptr;
}

int Tmainform::nextPosition() const
{
    if (m_lastStarted.id == 0)
        return 0;
    if (QTreeWidgetItem *last = rowById(m_lastStarted.id))
        return files->indexOfTopLevelItem(last) + 1;
    return m_lastStarted.gonePosition;
}

void Tmainform::ConvertItem(int i)
{
    TPipeConvert *conv = idleConverter();
    QTreeWidgetItem *item = files->topLevelItem(i);
    if (!conv || !item)
        return;
    conv->ListIndex = i;
    const int id = rowIdOf(item);
    m_lastStarted = {id, -1};
    const QString infile = item->text(2);
    BatchTexts::Target target = BatchTexts::outputFor(infile, cfg);
    const auto taken = [this](const QString &p) {
        return QFileInfo::exists(p) || m_batchOutputs.contains(p);
    };

    if (m_batchOutputs.contains(target.outfile)) {
        // Two sources of one name: the later one never replaces what this batch wrote.
        target.outfile = freeNumberedName(target.outfile, taken);
    } else if (QFileInfo::exists(target.outfile)) {
        if (cfg.askoverwrite && !automate) {
            // The question holds back this start only; running files go on meanwhile.
            const Dialogs::Answer answer =
                Dialogs::message(nullptr, QStringLiteral("This file already exists. Overwrite?"),
                                 QStringLiteral("Confirmation"), Dialogs::Icon::Question,
                                 Dialogs::Buttons::YesNo, Dialogs::Answer::Yes);
            if (answer == Dialogs::Answer::No) {
                const QString chosen = Dialogs::saveFile(
                    nullptr, target.outdir, BatchTexts::saveFilterOf(cfg), BatchTexts::extensionOf(cfg));
                if (!chosen.isEmpty())
                    target.outfile = chosen;
            }
            // The row may have gone meanwhile, or the user stopped the batch.
            item = rowById(id);
            if (!item || batchstop)
                return;
        } else {
            switch (effectiveExisting()) {
            case ExistingPolicy::Overwrite:
                break;
            case ExistingPolicy::Skip:
                finishRow(id, statusSkipped, infile, target.outfile, QString());
                return;
            case ExistingPolicy::Rename:
                target.outfile = freeNumberedName(target.outfile, taken);
                break;
            }
        }
    }

    m_batchOutputs.insert(target.outfile);
    item->setText(statusColumn, statusProcessing);
    item->setToolTip(statusColumn, QString());
    m_running.push_back({conv, id, infile, target.outfile, stampOf(target.outfile), 0,
                         item->data(0, Qt::UserRole + 1).toLongLong()});
    conv->Start(infile, Environment::encoderPath(), BatchTexts::argumentText(cfg, target.outfile));
}

void Tmainform::startMore()
{
    // Reports of running files can arrive while a question waits; the loop below picks them up.
    if (m_starting)
        return;
    m_starting = true;
    while (!batchstop && int(m_running.size()) < m_batch.jobs) {
        const int next = nextPosition();
        if (next < 0 || next >= files->topLevelItemCount())
            break;
        ConvertItem(next);
    }
    m_starting = false;
    if (m_running.empty())
        endBatch();
    else
        showBatchProgress();
}

void Tmainform::DoOnConvertStatus(TPipeConvert *sender, quint8, int, int, int position)
{
    Running *job = runningFor(sender);
    if (!job)
        return;
    job->position = qBound(0, position, 100);
    if (m_batch.jobs > 1) {
        if (QTreeWidgetItem *item = rowById(job->rowId))
            item->setText(statusColumn, QStringLiteral("Processing... %1%").arg(job->position));
    }
    showBatchProgress();
}

void Tmainform::DoOnConvertFinished(TPipeConvert *sender, quint8 failed)
{
    const auto it = std::find_if(m_running.begin(), m_running.end(),
                                 [sender](const Running &r) { return r.converter == sender; });
    if (it == m_running.end())
        return;
    const Running job = *it;
    m_running.erase(it);
    if (m_batch.jobs == 1)
        ProgressBar->setValue(0);

    // A stopped encoder reports a failure; one that ended well just before the stop still counts.
    const bool stopped = batchstop && failed;
    const QString status = stopped ? statusStopped : failed ? statusFailed : statusDone;
    if (status != statusDone) {
        // Nothing broken is left behind, but only what this conversion wrote goes.
        const FileStamp after = stampOf(job.output);
        if (after.exists &&
            !(job.before.exists && after.modified == job.before.modified && after.size == job.before.size))
            QFile::remove(job.output);
    }
    m_batch.doneMedia += job.durationMs;
    finishRow(job.rowId, status, job.input, job.output,
              status == statusFailed ? sender->failureText() : QString());

    if (batchstop) {
        if (m_running.empty() && !m_starting)
            endBatch();
        else
            showBatchProgress();
        return;
    }
    startMore();
}

void Tmainform::DoOnConvertError(TPipeConvert *sender)
{
    DoOnConvertFinished(sender, 1);
}

void Tmainform::finishRow(int rowId, const QString &status, const QString &input, const QString &output,
                          const QString &reason)
{
    if (QTreeWidgetItem *item = rowById(rowId)) {
        item->setText(statusColumn, status);
        item->setToolTip(statusColumn, lastLines(reason, 6));
    }
    if (status == statusDone)
        ++m_batch.done;
    else if (status == statusSkipped)
        ++m_batch.skipped;
    else if (status == statusStopped)
        ++m_batch.stopped;
    else
        ++m_batch.failed;
    if (automate) {
        const QString why = lastLines(reason, 1);
        QTextStream out(stdout);
        out << status << '\t' << input << '\t'
            << (status == statusFailed ? (why.isEmpty() ? QStringLiteral("the encoder failed") : why)
                                       : output)
            << Qt::endl;
    }
}

void Tmainform::showBatchProgress()
{
    const int finished = m_batch.done + m_batch.failed + m_batch.stopped + m_batch.skipped;
    const int waiting = qMax(0, files->topLevelItemCount() - nextPosition());
    const int total = finished + int(m_running.size()) + (batchstop ? 0 : waiting);

    qint64 runningMedia = 0;
    qint64 remainingMedia = 0;
    double runningFraction = 0;
    for (const Running &r : m_running) {
        runningFraction += r.position / 100.0;
        runningMedia += r.durationMs * r.position / 100;
        remainingMedia += r.durationMs - r.durationMs * r.position / 100;
    }
    if (m_batch.jobs > 1)
        ProgressBar->setValue(total > 0 ? int(100 * (finished + runningFraction) / total) : 0);
    else if (!m_running.empty())
        ProgressBar->setValue(m_running.front().position);

    if (!batchstop) {
        for (int i = qMax(0, nextPosition()); i < files->topLevelItemCount(); ++i)
            remainingMedia += files->topLevelItem(i)->data(0, Qt::UserRole + 1).toLongLong();
    }
    QString text = QStringLiteral("%1 of %2 files done").arg(finished).arg(total);
    if (m_batch.failed > 0)
        text += QStringLiteral(", %1 failed").arg(m_batch.failed);
    // Media time converted per second of work so far; only a guess after a little work.
    const qint64 elapsed = m_batch.clock.elapsed();
    const qint64 converted = m_batch.doneMedia + runningMedia;
    if (elapsed >= estimateAfterMsecs && converted > 0)
        text += QStringLiteral(", %1 left").arg(clockText(remainingMedia * elapsed / converted));
    statusBar()->showMessage(text);
}

void Tmainform::endBatch()
{
    m_lastStarted = {};
    QString summary = QStringLiteral("%1 converted, %2 failed").arg(m_batch.done).arg(m_batch.failed);
    if (m_batch.stopped > 0)
        summary += QStringLiteral(", %1 stopped").arg(m_batch.stopped);
    if (m_batch.skipped > 0)
        summary += QStringLiteral(", %1 skipped").arg(m_batch.skipped);
    statusBar()->showMessage(summary + QStringLiteral(" in ") + clockText(m_batch.clock.elapsed()));
    ProgressBar->setValue(0);
    OnThread();
}

void Tmainform::Cancel()
{
    for (TPipeConvert *c : allConverters())
        c->Stop();
    batchstop = true;
    scanstop = true;
}

void Tmainform::OnThread()
{
    busy = false;
    if (automate) {
        // Closed normally so the settings are saved; the run ends even if the window was never
        // shown, or is still being created when the batch ends at once (every file skipped).
        m_automateExitCode = m_batch.failed + m_batch.stopped > 0 ? 2 : 0;
        close();
        endApplication(m_automateExitCode);
        return;
    }
    if (cfg.openfolder && !cfg.samefolder)
        Launcher::open(cfg.output);
}
