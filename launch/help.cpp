#include "help.h"

#include "links.h"

#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/launcher.h"

#include <QFileInfo>

QString helpFilePath()
{
    return Environment::programFolder() + QStringLiteral("quorrel.html");
}

void OpenHelpFile(const QString &path)
{
    // The path goes to the opener as a file, so blanks in the folder need no quoting.
    if (!QFileInfo(path).isFile() || !Launcher::open(path))
        throw Exception(QStringLiteral("Unable to open help file ") + path);
}

void openHelp()
{
    OpenHelpFile(helpFilePath());
}

void openHomePage()
{
    Launcher::open(Links::homePageUrl());
}
