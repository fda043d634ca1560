#pragma once

#include "settings/config.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the program was asked to do on its command line.
struct CommandLine
{
    bool help = false;
    bool version = false;
    bool automate = false;                  // "/AUTOMATE" as the first argument, any letter case
    QStringList arguments;                  // files and folders (and the switch), in order, options left out
    int jobs = 0;                           // --jobs=N for this run; 0 when not given
    std::optional<ExistingPolicy> existing; // --existing=overwrite|skip|rename for this run
    std::optional<int> format;              // --format=mp3|wav|...: a position in Options::formatNames()
    std::optional<int> track;               // --track=: Options::trackChoices()
    QString trackLanguages;                 // --track=deu,eng
    bool splitChapters = false;             // --split-chapters
    QString error;                          // an option value the program does not understand
};

CommandLine parseCommandLine(const QStringList &arguments);
QString usageText();
