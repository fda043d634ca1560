// Measures a folder scan into the conversion list of the real main window: how long it takes, the
// longest time the event loop went without turning, and the peak memory. With --probe-only it reads
// the same files through the media probe alone, with no window, to tell the probe's share apart.
// Prints "key value" lines for bench/scan.sh.
#include "app/application.h"
#include "app/mainform.h"
#include "batch/conversionqueue.h"
#include "batch/listtexts.h"

#include "mediainfo/mediainfodll.h"
#include "platform/environment.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#include "procstatus.h"
#include <sys/resource.h>

namespace {

// CPU time of the whole process, all threads, in milliseconds: less disturbed by a busy machine than
// the wall clock.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

int probeOnly(const QString &folder, QTextStream &out)
{
    QElapsedTimer t;
    t.start();
    const double cpuStart = cpuMs();
    int probed = 0;
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        const QString name = it.next();
        if (!ListTexts::isAcceptedName(name))
            continue;
        const TMediaInfoDll probe(name);
        // The same questions the list asks for a row.
        total += probe.GetVideoCodec().size() + probe.GetAudioCodec(0).size() + probe.GetDuration();
        ++probed;
    }
    out << "files " << probed << '\n'
        << "probe_ms " << t.nsecsElapsed() / 1e6 << '\n'
        << "probe_cpu_ms " << cpuMs() - cpuStart << '\n'
        << "checksum " << total << '\n'
        << "vmhwm_kib " << statusKib("VmHWM:") << '\n';
    return probed > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Environment::selectPlatform();
    TolvaneApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool onlyProbe = args.removeAll(QStringLiteral("--probe-only")) > 0;
    const bool subfolders = args.removeAll(QStringLiteral("--recurse")) > 0;
    QTextStream out(stdout);
    if (args.size() != 1) {
        QTextStream(stderr) << "usage: bench_scan [--probe-only] [--recurse] FOLDER\n";
        return 2;
    }
    const QString folder = args.constFirst();
    if (onlyProbe)
        return probeOnly(folder, out);

    config settings;
    Tmainform window(settings, {});
    window.show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    const qint64 windowKib = statusKib("VmRSS:");

    // A zero timer turns once per pass of the event loop, so the gaps between its turns are the
    // times the window could not answer.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAtRow = 0;
    qint64 turns = 0;
    qint64 over100 = 0;
    // When each hundredth row arrived, to see whether a row costs more as the list grows.
    QList<qint64> hundreds;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - last;
        if (gap > longest) {
            longest = gap;
            longestAtRow = window.queue().size();
        }
        if (gap > 100'000'000)
            ++over100;
        ++turns;
        last = now;
        while (window.queue().size() >= (hundreds.size() + 1) * 100)
            hundreds << now;
    });

    settings.recurse = subfolders;
    window.queueFolder(folder);
    const double cpuStart = cpuMs();
    clock.start();
    ticker.start();
    window.processfolder();
    while (window.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 elapsed = clock.nsecsElapsed();
    const double cpu = cpuMs() - cpuStart;
    ticker.stop();
    // Milliseconds per row over the first and the last hundred rows (nanoseconds / 100 / 1e6).
    const qsizetype marks = hundreds.size();
    const double firstPace = marks >= 1 ? hundreds[0] / 1e8 : -1;
    const double lastPace = marks >= 2 ? (hundreds[marks - 1] - hundreds[marks - 2]) / 1e8 : -1;

    const int rows = window.queue().size();
    out << "rows " << rows << '\n'
        << "scan_ms " << elapsed / 1e6 << '\n'
        << "scan_cpu_ms " << cpu << '\n'
        << "first_hundred_ms_per_row " << firstPace << '\n'
        << "last_hundred_ms_per_row " << lastPace << '\n'
        << "longest_gap_ms " << longest / 1e6 << '\n'
        << "longest_gap_at_row " << longestAtRow << '\n'
        << "gaps_over_100ms " << over100 << '\n'
        << "loop_turns " << turns << '\n'
        << "window_rss_kib " << windowKib << '\n'
        << "vmhwm_kib " << statusKib("VmHWM:") << '\n';
    out.flush();
    // Leave without closing the window: closing would save the settings of this throwaway run.
    std::fflush(stdout);
    return rows > 0 ? 0 : 1;
}
