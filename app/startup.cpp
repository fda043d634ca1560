#include "startup.h"

#include "application.h"
#include "commandline.h"
#include "mainform.h"

#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/signalwatcher.h"
#include "platform/versioninfo.h"

#include <QScreen>
#include <QTextStream>

#include <csignal>

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

    TolvaneApplication app(argc, argv);
    // Nobody answers an unattended run, display or not: every box takes its default and is printed.
    if (cl.automate)
        Dialogs::setHandler(&Dialogs::answerUnattended);
    // Until the window exists a termination signal is kept, then handed over.
    int pendingSignal = 0;
    Tmainform *signalled = nullptr;
    const SignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP}, [&](int signalNumber) {
        if (signalled)
            signalled->stopForSignal(signalNumber);
        else
            pendingSignal = signalNumber;
    });
    Tmainform window(cl.arguments, RunOverrides{cl.jobs, cl.existing});
    signalled = &window;
    if (pendingSignal != 0)
        window.stopForSignal(pendingSignal);
    if (window.exitRequested())
        return app.exec();

    if (const QScreen *screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    // Nobody sees an unattended run without a display: painting it would only cost time.
    if (!(cl.automate && Environment::isHeadless()))
        window.show();
    const int code = app.exec();
    return window.automateExitCode() >= 0 ? window.automateExitCode() : code;
}
