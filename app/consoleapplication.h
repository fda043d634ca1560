#pragma once

#include "settings/config.h"

#include <QCoreApplication>

#include <exception>

void reportException(const std::exception &e);

// An application object that catches what an event handler throws and shows the general error report,
// so an error never crosses the event loop and the program goes on. It owns the program's settings,
// loaded at start and handed to the windows and the batch.
template <typename Application> class GuardedApplication : public Application
{
public:
    GuardedApplication(int &argc, char **argv) : Application(argc, argv)
    {
        Application::setApplicationName(QStringLiteral("Tolvane"));
        // Ties the windows to the installed desktop entry (its icon and name in the task bar).
        if constexpr (requires { Application::setDesktopFileName(QString()); })
            Application::setDesktopFileName(QStringLiteral("com.morvexa.Tolvane"));
    }
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return Application::notify(receiver, event);
        } catch (const std::exception &e) {
            reportException(e);
        }
        return false;
    }

    config settings;
};

// The program without any window, for unattended runs with no display.
using TolvaneConsoleApplication = GuardedApplication<QCoreApplication>;

// Reads the program's settings; what could not be read is reported once the event loop runs.
config loadSettings();

// Message with a full stop, the application title as caption, error icon, OK.
void showErrorReport(const QString &message);

// Runs a handler so that what it throws ends in the general error report, not in the event loop.
template <typename F> void runGuarded(F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        reportException(e);
    }
}
