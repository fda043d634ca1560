#pragma once

#include "consoleapplication.h"

#include <QApplication>

// The program with its windows; the dialogs are shown to a person.
class TolvaneApplication : public GuardedApplication<QApplication>
{
public:
    TolvaneApplication(int &argc, char **argv);
};
