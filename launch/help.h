#pragma once

#include <QString>

// The manual: "quorrel.html" in the program's folder, else where an installation puts it,
// ../share/doc/tolvane/ or ../../share/doc/tolvane/ from there. When none exists, the one beside.
QString helpFilePath();

// The same, for a program in the given folder (ending in a separator).
QString helpFilePathIn(const QString &programFolder);

// Opens the manual in the desktop's browser. Raises Exception("Unable to open help file <path>")
// when the file is missing or nothing could open it.
void OpenHelpFile(const QString &path);

// The help command of the main window: the manual beside the program.
void openHelp();

// The "Need more formats?" link: the maker's home page.
void openHomePage();
