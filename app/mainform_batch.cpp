// The batch: converts the list from its first row to its last, one file or several at a time.
#include "mainform.h"

#include "batch/batchtexts.h"
#include "batch/inputpaths.h"
#include "batch/outputfile.h"
#include "filelist.h"
#include "resultline.h"

#include "convert/pipeconvert.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/launcher.h"
#include "settings/options.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>

namespace {
const QString statusProcessing = QStringLiteral("Processing...");
const QString statusDone = QStringLiteral("Done!");
const QString statusFailed = QStringLiteral("Failed");
const QString statusStopped = QStringLiteral("Stopped");
const QString statusSkipped = QStringLiteral("Skipped");
constexpr int statusColumn = 4;
constexpr qint64 estimateAfterMsecs = 2000;

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

int Tmainform::rowIdOf(const QTreeWidgetItem *item)
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
    const int id = rowIdOf(item);
    if (m_busy && m_lastStarted.id != 0) {
        const int index = files->indexOfTopLevelItem(item);
        // The place of a deleted last-started row moves up with every row deleted above it.
        if (id == m_lastStarted.id)
            m_lastStarted.gonePosition = index;
        else if (index < m_lastStarted.gonePosition && !rowById(m_lastStarted.id))
            --m_lastStarted.gonePosition;
    }
    for (Running &job : m_running) {
        if (job.rowId == id && !job.removed) {
            // Nobody wants this file any more: its conversion ends, and it is not counted.
            job.removed = true;
            job.converter->Stop();
        }
    }
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
    if (m_busy) {
        Dialogs::message(this, QStringLiteral("Conversion already started"),
                         QStringLiteral("Operation in progress"), Dialogs::Icon::Warning);
        return;
    }
    m_busy = true;
    m_batchStop = false;
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
    std::vector<TPipeConvert *> all;
    if (converter)
        all.push_back(converter.get());
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

int Tmainform::rowsWaiting() const
{
    return qMax(0, files->topLevelItemCount() - nextPosition());
}

bool Tmainform::isSourceName(const QString &infile, const QString &outfile) const
{
    const QString real = InputPaths::canonicalName(outfile);
    return real == InputPaths::canonicalName(infile) || m_listed.contains(real);
}

std::optional<Tmainform::PlannedOutput>
Tmainform::askAboutExisting(int rowId, const QString &infile, const QString &outfile, const QString &outdir)
{
    // The question holds back this start only; running files go on meanwhile.
    const Dialogs::Answer answer = Dialogs::message(
        nullptr, QStringLiteral("This file already exists. Overwrite?"), QStringLiteral("Confirmation"),
        Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::Yes);
    QString chosen = outfile;
    if (answer == Dialogs::Answer::No && rowById(rowId) && !m_batchStop) {
        chosen =
            Dialogs::saveFile(nullptr, outdir, BatchTexts::saveFilterOf(cfg), BatchTexts::extensionOf(cfg));
    }
    // The row may have gone meanwhile, or the user stopped the batch.
    if (!rowById(rowId) || m_batchStop)
        return std::nullopt;
    if (chosen.isEmpty()) {
        // No to overwriting and no other name: the file there stays as it is.
        finishRow(rowId, statusSkipped, infile, outfile, QString());
        return std::nullopt;
    }
    // The save dialog has asked about replacing a file it was given.
    return PlannedOutput{chosen, OutputFile::entryExists(chosen)};
}

std::optional<Tmainform::PlannedOutput> Tmainform::planOutput(int rowId, const QString &infile)
{
    const BatchTexts::Target target = BatchTexts::outputFor(infile, cfg);
    // Made absolute without touching "..": with a link on the way, that would name another folder.
    PlannedOutput plan{InputPaths::absoluteName(target.outfile, QDir::currentPath()), false};
    const auto taken = [this](const QString &p) {
        return OutputFile::entryExists(p) || m_batchOutputs.contains(p);
    };
    if (m_batchOutputs.contains(plan.outfile)) {
        // Two sources of one name: the later one never replaces what this batch wrote.
        plan.outfile = freeNumberedName(plan.outfile, taken);
    } else if (OutputFile::entryExists(plan.outfile)) {
        // Nobody answers in an unattended run: a question left to a person counts as No, unless the
        // stored choice keeps both files.
        const bool askPerson = cfg.askoverwrite && !automate;
        const bool unansweredQuestion = cfg.askoverwrite && automate && !m_overrides.existing;
        const ExistingPolicy policy = unansweredQuestion && effectiveExisting() != ExistingPolicy::Rename
                                          ? ExistingPolicy::Skip
                                          : effectiveExisting();
        if (askPerson) {
            std::optional<PlannedOutput> answered =
                askAboutExisting(rowId, infile, plan.outfile, target.outdir);
            if (!answered)
                return std::nullopt;
            plan = *answered;
        } else if (policy == ExistingPolicy::Skip) {
            finishRow(rowId, statusSkipped, infile, plan.outfile, QString());
            return std::nullopt;
        } else if (policy == ExistingPolicy::Rename) {
            plan.outfile = freeNumberedName(plan.outfile, taken);
        } else {
            plan.replace = true;
        }
    }
    if (isSourceName(infile, plan.outfile)) {
        finishRow(rowId, statusFailed, infile, plan.outfile,
                  QStringLiteral("the output %1 is a source file").arg(plan.outfile));
        return std::nullopt;
    }
    return plan;
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
    // Names reach the encoder as files, never as options or protocols ("-y.avi", "pipe:0.avi").
    const QString infile = item->text(2);
    const std::optional<PlannedOutput> plan = planOutput(id, infile);
    if (!plan || !(item = rowById(id)))
        return;

    m_batchOutputs.insert(plan->outfile);
    const QString temporary = OutputFile::temporaryNameFor(plan->outfile, QCoreApplication::applicationPid());
    QFile::remove(temporary);
    item->setText(statusColumn, statusProcessing);
    item->setToolTip(statusColumn, QString());
    m_running.push_back(
        {conv, id, infile, *plan, temporary, 0, item->data(0, Qt::UserRole + 1).toLongLong()});
    conv->setStallTimeout(cfg.stalltimeout);
    const QString input = QDir::isAbsolutePath(infile) ? infile : QStringLiteral("file:") + infile;
    conv->Start(input, Environment::encoderPath(), BatchTexts::argumentText(cfg, temporary));
    // Left by runs that died; done while the encoder starts, and never touching a live run's file.
    OutputFile::removeStaleTemporaries(plan->outfile);
}

bool Tmainform::startWaiting()
{
    // Reports of running files can arrive while a question waits; the loop below picks them up.
    if (m_starting)
        return false;
    m_starting = true;
    while (!m_batchStop && int(m_running.size()) < m_batch.jobs) {
        const int next = nextPosition();
        if (next < 0 || next >= files->topLevelItemCount())
            break;
        ConvertItem(next);
    }
    m_starting = false;
    return true;
}

void Tmainform::startMore()
{
    if (!startWaiting())
        return;
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

QString Tmainform::commitOutput(Running &job)
{
    QString error;
    for (;;) {
        switch (OutputFile::commit(job.temporary, job.output.outfile, job.output.replace, &error)) {
        case OutputFile::Commit::Done:
            return QString();
        case OutputFile::Commit::Failed:
            return error;
        case OutputFile::Commit::Taken:
            // Someone else wrote that name while this file converted: both are kept.
            job.output.outfile = freeNumberedName(job.output.outfile, [this](const QString &p) {
                return OutputFile::entryExists(p) || m_batchOutputs.contains(p);
            });
            m_batchOutputs.insert(job.output.outfile);
            break;
        }
    }
}

void Tmainform::DoOnConvertFinished(TPipeConvert *sender, quint8 failed)
{
    const auto it = std::find_if(m_running.begin(), m_running.end(),
                                 [sender](const Running &r) { return r.converter == sender; });
    if (it == m_running.end())
        return;
    Running job = *it;
    m_running.erase(it);
    if (m_batch.jobs == 1)
        ProgressBar->setValue(0);

    // Only files cut by a stop are "Stopped"; a failure that came before it stays one.
    const bool stopped = failed && sender->failureText() == QLatin1String("Stopped");
    QString status = stopped ? statusStopped : failed ? statusFailed : statusDone;
    QString reason = status == statusFailed ? sender->failureText() : QString();
    if (status == statusDone && !job.removed) {
        // The next file's encoder loads while this output is checked: the check costs the batch no time.
        if (!m_batchStop)
            startWaiting();
        reason = OutputFile::problemWith(job.temporary);
        if (reason.isEmpty())
            reason = commitOutput(job);
        if (!reason.isEmpty())
            status = statusFailed;
    }
    // Whatever did not become the output goes; the file that was there before is untouched.
    QFile::remove(job.temporary);
    if (!job.removed) {
        m_batch.doneMedia += job.durationMs;
        finishRow(job.rowId, status, job.input, job.output.outfile, reason);
    }

    if (m_batchStop) {
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
        ResultLine::print(
            status, input,
            status == statusFailed ? (why.isEmpty() ? QStringLiteral("the encoder failed") : why) : output);
    }
}

void Tmainform::showBatchProgress()
{
    const int finished = m_batch.done + m_batch.failed + m_batch.stopped + m_batch.skipped;
    const int waiting = rowsWaiting();
    const int total = finished + int(m_running.size()) + (m_batchStop ? 0 : waiting);

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

    if (!m_batchStop) {
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
    m_batchStop = true;
    scanstop = true;
}

void Tmainform::OnThread()
{
    m_busy = false;
    if (m_signal != 0) {
        endAfterSignal();
        return;
    }
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

void Tmainform::stopForSignal(int signalNumber)
{
    if (m_signal != 0)
        return;
    m_signal = signalNumber;
    // A question on screen would hold the stop back until somebody answers it.
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    Cancel();
    if (!m_busy)
        endAfterSignal();
}

void Tmainform::endAfterSignal()
{
    if (m_busy)
        return;
    if (automate) {
        // Files the batch never reached are reported too, so a script can account for every one.
        for (int i = qMax(0, nextPosition()); i < files->topLevelItemCount(); ++i)
            ResultLine::print(statusStopped, files->topLevelItem(i)->text(2), QString());
    }
    m_automateExitCode = 128 + m_signal;
    close();
    endApplication(m_automateExitCode);
}
