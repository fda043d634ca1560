// Measures the conversion list of the real main window with many rows: the folder scan, how soon the
// rows are listed and drawn after it, the peak memory, and the longest time the window could not
// answer during each command a person gives a big list. Prints "key value" lines for bench/list.sh.
#include "app/application.h"
#include "app/filelist.h"
#include "app/mainform.h"
#include "batch/conversionqueue.h"

#include "platform/environment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#include "procstatus.h"

namespace {

// The longest pass of the event loop while something runs: a zero timer turns once per pass.
class StallWatch
{
public:
    StallWatch()
    {
        m_ticker.setInterval(0);
        QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = qMax(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_last = 0;
        m_clock.start();
        m_ticker.start();
    }
    double stopMs()
    {
        m_ticker.stop();
        return qMax(m_longest, m_clock.nsecsElapsed() - m_last) / 1e6;
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// A command given at once, then the window drawn again: how long it could not answer.
double commandMs(QWidget *view, const std::function<void()> &command)
{
    QElapsedTimer t;
    t.start();
    command();
    QCoreApplication::processEvents();
    view->repaint();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    Environment::selectPlatform();
    TolvaneApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // --no-probe: the list's own share, without the probe's.
    const bool probing = args.removeAll(QStringLiteral("--no-probe")) == 0;
    QTextStream out(stdout);
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: bench_list [--no-probe] FOLDER OUTPUT_FOLDER\n";
        return 2;
    }
    config settings;
    settings.recurse = true;
    settings.output = args.at(1);
    settings.askoverwrite = false;
    Tmainform window(settings, {});
    window.resize(900, 600);
    window.show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    auto *view = window.findChild<TFileList *>(QStringLiteral("files"));
    const_cast<ConversionQueue &>(window.queue()).setProbing(probing);
    const qint64 windowKib = statusKib("VmRSS:");

    StallWatch watch;
    QElapsedTimer scan;
    watch.start();
    scan.start();
    window.queueFolder(args.at(0));
    window.processfolder();
    while (window.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double scanMs = scan.nsecsElapsed() / 1e6;
    const double addStall = watch.stopMs();
    // From the end of probing to every row listed in a window drawn and ready for the next key.
    const double listedMs = commandMs(view, [] {});
    const int rows = view->model()->rowCount();
    const qint64 listedKib = statusKib("VmHWM:");

    const double scrollMs = commandMs(view, [view] { view->scrollToBottom(); });
    view->setFocus();
    const double moveMs = commandMs(view, [view] {
        QTest::keyClick(view, Qt::Key_Home);
        for (int i = 0; i < 50; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_End);
    });
    const double selectAllMs =
        commandMs(view, [view] { QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier); });

    // A batch over the big list: its start sets every row back to Ready, then progress comes in.
    watch.start();
    window.Convert();
    QElapsedTimer batch;
    batch.start();
    while (batch.elapsed() < 4000 && window.engine().isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    window.Cancel();
    while (window.engine().isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double batchStall = watch.stopMs();
    const int done = window.engine().doneCount();

    const double removeMs = commandMs(view, [&window] { window.Clear(); });

    out << "rows " << rows << '\n'
        << "scan_ms " << scanMs << '\n'
        << "add_stall_ms " << addStall << '\n'
        << "listed_ms " << listedMs << '\n'
        << "scroll_end_ms " << scrollMs << '\n'
        << "move_selection_ms " << moveMs << '\n'
        << "select_all_ms " << selectAllMs << '\n'
        << "batch_stall_ms " << batchStall << '\n'
        << "batch_done " << done << '\n'
        << "remove_all_ms " << removeMs << '\n'
        << "window_rss_kib " << windowKib << '\n'
        << "listed_vmhwm_kib " << listedKib << '\n'
        << "vmhwm_kib " << statusKib("VmHWM:") << '\n';
    out.flush();
    std::fflush(stdout);
    // Leave without closing the window: closing would save the settings of this throwaway run.
    std::_Exit(rows > 0 ? 0 : 1);
}
