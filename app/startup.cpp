#include "startup.h"

#include "application.h"
#include "commandline.h"
#include "mainform.h"

#include "batch/batchengine.h"
#include "batch/conversionqueue.h"
#include "batch/unattendedrun.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/signalwatcher.h"
#include "platform/versioninfo.h"

#include <QScreen>
#include <QTextStream>
#include <QTimer>

#include <csignal>

namespace {

const std::initializer_list<int> endingSignals = {SIGTERM, SIGINT, SIGHUP};

// An unattended run nobody can see: the queue, the batch and the result lines, and no widget at all.
int runWithoutWindow(int argc, char **argv, const CommandLine &cl)
{
    TolvaneConsoleApplication app(argc, argv);
    Dialogs::setHandler(&Dialogs::answerUnattended);
    app.settings = loadSettings();

    ConversionQueue queue;
    // Signals come in through the event loop, also while a long folder scan runs.
    queue.setRefreshHook([] { QCoreApplication::processEvents(); });
    BatchEngine engine(queue, app.settings, RunOverrides{cl.jobs, cl.existing});
    UnattendedRun run(queue, engine);
    QObject::connect(&run, &UnattendedRun::ended, &app, [&app, &run](int code) {
        // Saved as the window saves them; the window's size and columns stay as they were read.
        try {
            if (run.endsByClosing())
                SaveConfig(app.settings);
        } catch (const Exception &e) {
            showErrorReport(e.message());
        }
        QMetaObject::invokeMethod(
            &app, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    });
    const SignalWatcher signalWatcher(endingSignals,
                                      [&run](int signalNumber) { run.stopForSignal(signalNumber); });

    for (qsizetype i = 1; i < cl.arguments.size(); ++i)
        queue.addArgument(cl.arguments.at(i));
    QTimer::singleShot(0, &app, [&] {
        if (queue.hasFoldersToScan())
            queue.scanFolders(app.settings.recurse);
        run.queueComplete();
    });
    return app.exec();
}

int runWithWindow(int argc, char **argv, const CommandLine &cl)
{
    TolvaneApplication app(argc, argv);
    // Nobody answers an unattended run, display or not: every box takes its default and is printed.
    if (cl.automate)
        Dialogs::setHandler(&Dialogs::answerUnattended);
    app.settings = loadSettings();
    // Until the window exists a termination signal is kept, then handed over.
    int pendingSignal = 0;
    Tmainform *signalled = nullptr;
    const SignalWatcher signalWatcher(endingSignals, [&](int signalNumber) {
        if (signalled)
            signalled->stopForSignal(signalNumber);
        else
            pendingSignal = signalNumber;
    });
    Tmainform window(app.settings, cl.arguments, RunOverrides{cl.jobs, cl.existing});
    signalled = &window;
    if (pendingSignal != 0)
        window.stopForSignal(pendingSignal);
    if (window.exitRequested())
        return app.exec();

    if (const QScreen *screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    window.show();
    const int code = app.exec();
    return window.automateExitCode() >= 0 ? window.automateExitCode() : code;
}

} // namespace

int runTolvane(int argc, char **argv)
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(raw);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (cl.help) {
        out << usageText();
        return 0;
    }
    if (!cl.error.isEmpty()) {
        err << "tolvane: " << cl.error << '\n' << usageText();
        return 2;
    }
    if (cl.version) {
        const TFileVersionInfo info;
        out << info.value(QStringLiteral("ProductName")) << ' ' << info.value(QStringLiteral("FileVersion"))
            << Qt::endl;
        return 0;
    }
    if (Environment::selectPlatform() && !cl.automate) {
        err << "tolvane: no display to show the window on. Set DISPLAY, or convert without a window:\n"
               "  tolvane /AUTOMATE FILE_OR_FOLDER...\n";
        return 1;
    }
    if (cl.automate && Environment::willBeHeadless())
        return runWithoutWindow(argc, argv, cl);
    return runWithWindow(argc, argv, cl);
}
