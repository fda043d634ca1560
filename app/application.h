#pragma once

#include "consoleapplication.h"

#include <QApplication>

// Catches what an event handler throws and shows the general error report, so an error
// never crosses the event loop and the program goes on.
class TolvaneApplication : public QApplication
{
public:
    TolvaneApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The program's settings, loaded at start and handed to the windows and the batch.
    config settings;
};
