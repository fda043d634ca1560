#pragma once

#include <QList>
#include <QString>

// A companion tool of the Tools menu. The tool records its install folder as the value "path" of
// its settings key, the same layout this program uses for its own.
struct CompanionTool
{
    QString caption; // menu caption
    QString key;     // "Software\Morvexa\<id>\Settings"
    QString exeName; // file name of the tool's program
    QString params;  // its parameters; empty for every entry
    QString page;    // product page with the referral query
};

// The seven entries, in menu order.
const QList<CompanionTool> &companionTools();

// The settings file that stands for a registry key "Software\<organisation>\<id>\Settings" (any
// letter case, as the registry ignores it); empty when the key has no file.
QString companionSettingsFile(const QString &key);

// The tool's install folder as recorded, taken as stored; empty when the tool is not installed.
QString companionToolFolder(const QString &key);

// Starts the installed tool detached (folder and program name joined as they are), or says it is
// not installed and opens its product page.
void RunCompanionTool(const QString &key, const QString &exeName, const QString &params, const QString &page);
void runCompanionTool(const CompanionTool &tool);
