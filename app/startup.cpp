#include "startup.h"

#include "commandline.h"
#include "consoleapplication.h"

#include "batch/batchengine.h"
#include "batch/conversionqueue.h"
#include "batch/unattendedrun.h"
#include "mediainfo/mediainfolib.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/signalwatcher.h"
#include "platform/versioninfo.h"
#include "settings/config.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <dlfcn.h>
#include <malloc.h>

namespace {

const std::initializer_list<int> endingSignals = {SIGTERM, SIGINT, SIGHUP};

// The windows live in a module beside the program, loaded only when a window is wanted: the window
// system's libraries would cost an unattended run more time than its own work.
int runWithWindow(int argc, char **argv)
{
    // Only ever from the program's own folder: a module found by a relative name could be anyone's.
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (program.isEmpty()) {
        QTextStream(stderr) << "tolvane: cannot find the program's own folder to load the window\n";
        return 1;
    }
    const QByteArray module =
        QFile::encodeName(QFileInfo(program).absolutePath() + QStringLiteral("/tolvane-window.so"));
    void *handle = dlopen(module.constData(), RTLD_NOW | RTLD_LOCAL);
    using Entry = int (*)(int, char **);
    const auto entry = handle ? reinterpret_cast<Entry>(dlsym(handle, "tolvaneRunWindow")) : nullptr;
    if (!entry) {
        QTextStream(stderr) << "tolvane: cannot load the window: " << dlerror() << '\n';
        return 1;
    }
    return entry(argc, argv);
}

// An unattended run nobody can see: the queue, the batch and the result lines, and no widget at all.
int runWithoutWindow(int argc, char **argv, const CommandLine &cl)
{
    // One heap for all threads: the first output check then reuses what the probe library's warm-up
    // freed on its own thread instead of faulting in fresh pages.
    mallopt(M_ARENA_MAX, 1);
    TolvaneConsoleApplication app(argc, argv);
    Dialogs::setHandler(&Dialogs::answerUnattended);
    app.settings = loadSettings();

    ConversionQueue queue;
    queue.setProbing(false);
    // Signals come in through the event loop, also while a long folder scan runs.
    queue.setRefreshHook([] { QCoreApplication::processEvents(); });
    BatchEngine engine(
        queue, app.settings,
        RunOverrides{cl.jobs, cl.existing, cl.format, cl.track, cl.trackLanguages, cl.splitChapters});
    UnattendedRun run(queue, engine);
    // Each file is read before it is converted, to choose between copying and encoding: the first one is
    // read on a thread of its own from the start (below). The parsers that check outputs are readied
    // while the first encoder runs.
    std::thread loadingProbe;
    QObject::connect(&engine, &BatchEngine::itemStarted, &app, [&loadingProbe] {
        if (!loadingProbe.joinable())
            loadingProbe = MediaInfoLib::loadInBackground();
    });
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
    // The first file's read overlaps the library's loading and the rest of the start.
    if (queue.size() > 0)
        engine.readAheadOf(queue.at(0).source);
    QTimer::singleShot(0, &app, [&] {
        if (queue.hasFoldersToScan())
            queue.scanFolders(app.settings.recurse);
        run.queueComplete();
    });
    const int code = app.exec();
    if (loadingProbe.joinable())
        loadingProbe.join();
    return code;
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
        // Someone who started a window may not see a terminal: the window module says it in a box.
        if (!cl.automate && !Environment::selectPlatform())
            return runWithWindow(argc, argv);
        err << "tolvane: " << cl.error << "\nTry 'tolvane --help' for the arguments.\n";
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
    return runWithWindow(argc, argv);
}
