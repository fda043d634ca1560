// Converts a folder's clips through the real main window with several jobs and prints how long
// workers waited for the main thread to take their reports (they read nothing meanwhile).
#include "app/mainform.h"
#include "convert/convertthread.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        QTextStream(stderr) << "usage: bench_handover FOLDER OUTPUT_FOLDER JOBS\n";
        return 2;
    }
    config settings;
    settings.output = args.at(2);
    settings.askoverwrite = false;
    RunOverrides overrides;
    overrides.jobs = args.at(3).toInt();
    overrides.existing = ExistingPolicy::Overwrite;
    Tmainform window(settings, {}, overrides);
    for (const QString &name : QDir(args.at(1)).entryList(QDir::Files, QDir::Name))
        window.addfile(QDir(args.at(1)).filePath(name));
    window.processfolder();
    window.show();

    TConvertThread::resetHandOverWait();
    QElapsedTimer clock;
    clock.start();
    window.Convert();
    if (!QTest::qWaitFor([&window] { return !window.isBusy(); }, 600000))
        return 1;
    QTextStream(stdout) << "files " << QDir(args.at(2)).entryList(QDir::Files).size() << " wall_ms "
                        << clock.elapsed() << " longest_handover_us "
                        << TConvertThread::longestHandOverWaitUsecs() << Qt::endl;
    return 0;
}
