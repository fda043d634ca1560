#pragma once

#include <QApplication>

#include <exception>

// Catches what an event handler throws and shows the general error report, so an error
// never crosses the event loop and the program goes on.
class TolvaneApplication : public QApplication
{
public:
    TolvaneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

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
