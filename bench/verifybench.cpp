// Times the check of a finished output on its own: prints the median per file in microseconds.
#include "batch/outputfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        QTextStream(stderr) << "usage: bench_verify OUTPUT...\n";
        return 2;
    }
    std::vector<qint64> times;
    for (const QString &file : files) {
        QElapsedTimer clock;
        clock.start();
        const QString problem = OutputFile::problemWith(file);
        times.push_back(clock.nsecsElapsed() / 1000);
        if (!problem.isEmpty()) {
            QTextStream(stderr) << file << ": " << problem << '\n';
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    QTextStream(stdout) << "verify_median_us " << times[times.size() / 2] << Qt::endl;
    return 0;
}
