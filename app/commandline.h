#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the program was asked to do on its command line.
struct CommandLine
{
    bool help = false;
    bool version = false;
    bool automate = false; // "/AUTOMATE" as the first argument, any letter case
    QStringList arguments; // files and folders (and the switch), in order, options left out
    QString error;         // an option the program does not understand
};

CommandLine parseCommandLine(const QStringList &arguments);
QString usageText();
