// The program with its windows: built as a module the program loads when a window is wanted.
#include "application.h"
#include "commandline.h"
#include "instancehandover.h"
#include "mainform.h"

#include "batch/inputpaths.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/signalwatcher.h"

#include <QDir>
#include <QScreen>
#include <QTextStream>

#include <memory>

#include <csignal>

namespace {

int runWithWindow(int argc, char **argv)
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const CommandLine cl = parseCommandLine(raw);
    TolvaneApplication app(argc, argv);
    // Nothing is listed, handed over or saved when the line holds a wrong option.
    if (!cl.error.isEmpty()) {
        // A box nobody can see is printed as it is.
        if (!Environment::isHeadless())
            QTextStream(stderr) << "tolvane: " << cl.error << '\n';
        Dialogs::message(nullptr, QStringLiteral("Wrong argument: ") + cl.error, QStringLiteral("Error!"),
                         Dialogs::Icon::Error);
        return 2;
    }
    // Nobody answers an unattended run, display or not: every box takes its default and is printed.
    if (cl.automate)
        Dialogs::setHandler(&Dialogs::answerUnattended);
    // A window already open for these settings takes the files and comes to the front.
    const QString handoverName = InstanceHandover::serverName(programSettingsPath());
    if (!cl.automate) {
        QStringList files;
        for (const QString &argument : cl.arguments)
            files << InputPaths::absoluteName(argument, QDir::currentPath());
        if (InstanceHandover::handTo(handoverName, files))
            return 0;
    }
    app.settings = loadSettings();
    // Until the window exists a termination signal is kept, then handed over.
    int pendingSignal = 0;
    Tmainform *signalled = nullptr;
    const SignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP}, [&](int signalNumber) {
        if (signalled)
            signalled->stopForSignal(signalNumber);
        else
            pendingSignal = signalNumber;
    });
    Tmainform window(
        app.settings, cl.arguments,
        RunOverrides{cl.jobs, cl.existing, cl.format, cl.track, cl.trackLanguages, cl.splitChapters});
    signalled = &window;
    if (pendingSignal != 0)
        window.stopForSignal(pendingSignal);
    if (window.exitRequested())
        return app.exec();
    // An unattended run always runs on its own.
    std::unique_ptr<InstanceHandover> handover;
    if (!cl.automate) {
        handover = std::make_unique<InstanceHandover>(
            handoverName, [&window](const QStringList &files) { window.takeHandedFiles(files); });
    }

    if (const QScreen *screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    window.show();
    const int code = app.exec();
    return window.automateExitCode() >= 0 ? window.automateExitCode() : code;
}

} // namespace

extern "C" Q_DECL_EXPORT int tolvaneRunWindow(int argc, char **argv)
{
    return runWithWindow(argc, argv);
}
