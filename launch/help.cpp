#include "help.h"

#include "links.h"

#include "platform/environment.h"
#include "platform/exception.h"
#include "platform/launcher.h"

#include <QDir>
#include <QFileInfo>

QString helpFilePathIn(const QString &programFolder)
{
    const QString beside = programFolder + QStringLiteral("quorrel.html");
    if (QFileInfo(beside).isFile())
        return beside;
    // Installed, the program lives in bin/ or lib/tolvane/ and the manual in share/doc/tolvane/.
    for (const QLatin1String up : {QLatin1String("../"), QLatin1String("../../")}) {
        const QString shared =
            QDir::cleanPath(programFolder + up + QStringLiteral("share/doc/tolvane/quorrel.html"));
        if (QFileInfo(shared).isFile())
            return QDir::toNativeSeparators(shared);
    }
    // Missing everywhere: the error then names the place a build puts it.
    return beside;
}

QString helpFilePath()
{
    return helpFilePathIn(Environment::programFolder());
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
