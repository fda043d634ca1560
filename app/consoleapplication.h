#pragma once

#include "settings/config.h"

#include <QCoreApplication>

#include <exception>

// The program without any window, for unattended runs with no display. Like the windowed application
// it catches what an event handler throws and shows the general error report.
class TolvaneConsoleApplication : public QCoreApplication
{
public:
    TolvaneConsoleApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The program's settings, loaded at start and handed to the batch.
    config settings;
};

// Reads the program's settings; what could not be read is reported once the event loop runs.
config loadSettings();

// Message with a full stop, the application title as caption, error icon, OK.
void showErrorReport(const QString &message);
void reportException(const std::exception &e);

// Runs a handler so that what it throws ends in the general error report, not in the event loop.
template <typename F> void runGuarded(F &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        reportException(e);
    }
}
