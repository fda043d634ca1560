// The batch: converts the list from its first row to its last.
#include "mainform.h"

#include "batchtexts.h"
#include "filelist.h"

#include "convert/pipeconvert.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTextStream>

namespace {
const QString statusReady = QStringLiteral("Ready");
const QString statusProcessing = QStringLiteral("Processing...");
const QString statusDone = QStringLiteral("Done!");
const QString statusFailed = QStringLiteral("Failed");
const QString statusStopped = QStringLiteral("Stopped");
constexpr int statusColumn = 4;

// Enough of a file's identity to tell whether a conversion wrote it.
Tmainform::FileStamp stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.lastModified().toMSecsSinceEpoch(), info.size()};
}

QString oneLine(const QString &text)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast().trimmed();
}
} // namespace

QString Tmainform::failureReason(TPipeConvert *)
{
    return QString();
}

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

void Tmainform::Convert()
{
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
    converter->OnError = [this](TPipeConvert *sender) { DoOnConvertError(sender); };
    converter->OnFinished = [this](TPipeConvert *sender, quint8 failed) {
        DoOnConvertFinished(sender, failed);
    };
    converter->OnStatus = [this](TPipeConvert *sender, quint8 kind, int min, int max, int position) {
        DoOnConvertStatus(sender, kind, min, max, position);
    };
    ConvertItem(0);
}

void Tmainform::ConvertItem(int i)
{
    converter->ListIndex = i;
    QTreeWidgetItem *item = files->topLevelItem(i);
    const QString infile = item->text(2);
    BatchTexts::Target target = BatchTexts::outputFor(infile, cfg);

    if (QFileInfo::exists(target.outfile) && cfg.askoverwrite) {
        const Dialogs::Answer answer = Dialogs::message(
            nullptr, QStringLiteral("This file already exists. Overwrite?"), QStringLiteral("Confirmation"),
            Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::Yes);
        if (answer == Dialogs::Answer::No) {
            const QString chosen = Dialogs::saveFile(nullptr, target.outdir, BatchTexts::saveFilterOf(cfg),
                                                     BatchTexts::extensionOf(cfg));
            if (!chosen.isEmpty())
                target.outfile = chosen;
        }
        // The question may have taken a while: the row can be gone or moved by now.
        item = rowById(rowIdOf(item));
        if (!item) {
            advanceBatch(i);
            return;
        }
    }

    item->setText(statusColumn, statusProcessing);
    item->setToolTip(statusColumn, QString());
    m_lastStarted = {rowIdOf(item), -1};
    m_current = {rowIdOf(item), infile, target.outfile, stampOf(target.outfile)};
    converter->Start(infile, Environment::encoderPath(), BatchTexts::argumentText(cfg, target.outfile));
}

void Tmainform::DoOnConvertStatus(TPipeConvert *, quint8, int, int, int position)
{
    ProgressBar->setValue(qBound(0, position, 100));
}

void Tmainform::DoOnConvertFinished(TPipeConvert *sender, quint8 failed)
{
    ProgressBar->setValue(0);
    // A stopped encoder reports a failure; one that ended well just before the stop still counts.
    const bool stopped = batchstop && failed;
    const QString status = stopped ? statusStopped : failed ? statusFailed : statusDone;
    QString reason;
    if (failed && !stopped)
        reason = failureReason(sender);

    // A failed or stopped file leaves nothing broken behind, but only what this conversion wrote goes.
    if (status != statusDone) {
        const FileStamp after = stampOf(m_current.output);
        if (after.exists && !(m_current.before.exists && after.modified == m_current.before.modified &&
                              after.size == m_current.before.size))
            QFile::remove(m_current.output);
    }

    if (QTreeWidgetItem *item = rowById(m_current.rowId)) {
        item->setText(statusColumn, status);
        item->setToolTip(statusColumn, reason);
    }
    if (status == statusDone)
        ++m_batch.done;
    else
        ++m_batch.failed;
    if (automate) {
        QTextStream out(stdout);
        out << status << '\t' << m_current.input << '\t'
            << (status == statusFailed
                    ? (reason.isEmpty() ? QStringLiteral("encoder failed") : oneLine(reason))
                    : m_current.output)
            << Qt::endl;
    }
    m_current = {};

    if (batchstop) {
        endBatch();
        return;
    }
    advanceBatch(-1);
}

void Tmainform::DoOnConvertError(TPipeConvert *sender)
{
    DoOnConvertFinished(sender, 1);
}

void Tmainform::advanceBatch(int fallbackPosition)
{
    int next = fallbackPosition + 1;
    if (fallbackPosition < 0) {
        QTreeWidgetItem *last = rowById(m_lastStarted.id);
        next = last ? files->indexOfTopLevelItem(last) + 1 : m_lastStarted.gonePosition;
    }
    if (next >= 0 && next < files->topLevelItemCount())
        ConvertItem(next);
    else
        endBatch();
}

void Tmainform::endBatch()
{
    m_lastStarted = {};
    OnThread();
}

void Tmainform::Cancel()
{
    converter->Stop();
    batchstop = true;
    scanstop = true;
}

void Tmainform::OnThread()
{
    busy = false;
    if (automate) {
        m_automateExitCode = m_batch.failed > 0 ? 2 : 0;
        close();
        return;
    }
    if (cfg.openfolder && !cfg.samefolder)
        Launcher::open(cfg.output);
}
