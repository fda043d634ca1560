// Measures what the worker adds to a conversion: the same encoder command run directly and through
// TPipeConvert, with wall time, progress reports and the CPU time this process spends reading.
#include "convert/commandline.h"
#include "convert/pipeconvert.h"
#include "testmedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <sys/resource.h>

namespace {

double cpuMsecs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = args.value(1, QStringLiteral("5")).toInt();
    const double seconds = args.value(2, QStringLiteral("60")).toDouble();
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    if (!TestMedia::make(clip, {seconds, true, true, {}}))
        return 1;
    const QString target = dir.filePath(QStringLiteral("clip.mp3"));
    const QString arguments =
        QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100 ") + quoteArgument(target);
    const QString encoder = TestMedia::ffmpeg();

    QList<double> direct, worker, cpu;
    qsizetype reports = 0;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        QStringList line = splitCommandLine(encoderCommandLine(encoder, clip, arguments));
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        t.start();
        p.start(line.takeFirst(), line);
        p.waitForFinished(-1);
        p.readAll();
        direct << double(t.elapsed());

        TPipeConvert c;
        QEventLoop loop;
        c.OnStatus = [&](TPipeConvert *, quint8, qint32, qint32, qint32) { ++reports; };
        c.OnFinished = [&](TPipeConvert *, quint8 failed) {
            failures += failed;
            loop.quit();
        };
        const double cpuBefore = cpuMsecs();
        t.start();
        c.Start(clip, encoder, arguments);
        loop.exec();
        worker << double(t.elapsed());
        cpu << cpuMsecs() - cpuBefore;
    }
    out << "clip: " << seconds << " s video+audio -> MP3 128k, " << runs << " runs each\n"
        << "encoder run directly (median):   " << median(direct) << " ms\n"
        << "through the worker (median):     " << median(worker) << " ms\n"
        << "worker overhead (median):        " << median(worker) - median(direct) << " ms\n"
        << "progress reports per file:       " << double(reports) / runs << "\n"
        << "CPU of this process per file:    " << median(cpu) << " ms (reading, parsing, hand-over)\n"
        << "failed files:                    " << failures << "\n";
    QCoreApplication::processEvents();
    return failures ? 1 : 0;
}
