// The window's face of the batch: progress, statuses, and how the batch and the program end.
#include "mainform.h"

#include "filelist.h"
#include "queuemodel.h"

#include "batch/conversionqueue.h"
#include "batch/unattendedrun.h"
#include "platform/launcher.h"
#include "platform/notifications.h"

#include <QApplication>
#include <QProgressBar>
#include <QStatusBar>

void Tmainform::connectBatch()
{
    connect(m_engine, &BatchEngine::progressChanged, this, [this](int percent, const QString &text) {
        m_ui.progressBar->setValue(percent);
        statusBar()->showMessage(text);
    });
    connect(m_engine, &BatchEngine::finished, this, &Tmainform::batchFinished);
    // The row being converted stays in view.
    connect(m_engine, &BatchEngine::itemStarted, this, [this](int id) {
        showBusy();
        m_model->showAdded();
        if (const QModelIndex row = rowOf(id); row.isValid())
            m_ui.files->scrollTo(row);
    });
    // The running file's cell draws its percent, one file at a time or several.
    connect(m_engine, &BatchEngine::itemProgress, this,
            [this](int id, int percent) { m_model->setPercent(id, percent); });
    showBusy();
}

void Tmainform::showBusy()
{
    for (const MainWindowUi::Trigger &t : m_ui.triggers) {
        auto *widget = qobject_cast<QWidget *>(t.trigger);
        auto *action = qobject_cast<QAction *>(t.trigger);
        const auto enable = [&](bool on) {
            if (widget)
                widget->setEnabled(on);
            if (action)
                action->setEnabled(on);
        };
        if (t.command == Command::Convert)
            enable(!m_engine->isRunning());
        else if (t.command == Command::Stop)
            enable(isBusy());
    }
}

bool Tmainform::isBusy() const
{
    return m_scanning || m_engine->isRunning();
}

void Tmainform::Convert()
{
    m_engine->start();
    showBusy();
}

void Tmainform::Cancel()
{
    m_engine->stop();
    m_queue->stopScan();
}

void Tmainform::batchFinished()
{
    showBusy();
    // An unattended run ends through its own report.
    if (m_run)
        return;
    if (m_signal != 0) {
        endAfterSignal();
        return;
    }
    // A long batch ends while the person is elsewhere: the desktop tells them.
    if (!isActiveWindow()) {
        Notifications::post(QStringLiteral("Conversion finished"), m_engine->summary());
        QApplication::alert(this);
    }
    if (m_settings.openfolder && !m_settings.samefolder)
        Launcher::open(m_settings.output);
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
    if (m_run) {
        m_run->stopForSignal(signalNumber);
        return;
    }
    Cancel();
    if (!isBusy())
        endAfterSignal();
}

void Tmainform::endAfterSignal()
{
    if (isBusy())
        return;
    m_automateExitCode = 128 + m_signal;
    close();
    endApplication(m_automateExitCode);
}
