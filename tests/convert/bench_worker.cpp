// Converts clips one at a time through TPipeConvert, each next file started from the end report as
// the main window does, and prints the wall time in milliseconds. Also writes the encoder command
// lines it used, one a line, so a shell loop can run exactly the same (bench/worker.sh).
// Usage: bench_worker ENCODER LINES-FILE CLIP...
#include "convert/commandline.h"
#include "convert/pipeconvert.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "Usage: bench_worker ENCODER LINES-FILE CLIP...\n";
        return 2;
    }
    const QString encoder = args[1];
    const QStringList clips = args.mid(3);
    const auto argumentsFor = [](const QString &clip) {
        return QStringLiteral("-acodec libmp3lame -ab 128k -ac 2 -ar 44100 ") +
               quoteArgument(clip + QStringLiteral(".mp3"));
    };

    QFile lines(args[2]);
    if (!lines.open(QIODevice::WriteOnly | QIODevice::Text))
        return 2;
    for (const QString &clip : clips)
        lines.write(
            (encoderCommandLine(encoder, clip, argumentsFor(clip)) + QLatin1Char('\n')).toLocal8Bit());
    lines.close();

    TPipeConvert converter;
    int failures = 0;
    QElapsedTimer timer;
    const auto startRow = [&](qint32 row) {
        converter.ListIndex = row;
        converter.Start(clips[row], encoder, argumentsFor(clips[row]));
    };
    const auto next = [&](bool failed) {
        failures += failed ? 1 : 0;
        if (converter.ListIndex + 1 < clips.size())
            startRow(converter.ListIndex + 1);
        else
            app.exit(0);
    };
    converter.OnFinished = [&](TPipeConvert *, quint8 failed) { next(failed != 0); };
    converter.OnError = [&](TPipeConvert *) { next(true); };
    timer.start();
    startRow(0);
    app.exec();
    const qint64 elapsed = timer.elapsed();
    QTextStream(stdout) << elapsed << '\n';
    if (failures)
        QTextStream(stderr) << failures << " of " << clips.size() << " files failed\n";
    return failures ? 1 : 0;
}
