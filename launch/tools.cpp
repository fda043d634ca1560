#include "tools.h"

#include "links.h"

#include "buildinfo.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "platform/launcher.h"
#include "settings/store.h"

#include <QDir>
#include <QFileInfo>

namespace {

CompanionTool tool(const char *caption, const char *keyRoot, const char *id)
{
    const QString name = QLatin1String(id);
    return {QLatin1String(caption),
            QLatin1String(keyRoot) + QStringLiteral("\\Morvexa\\") + name + QStringLiteral("\\Settings"),
            name + Environment::executableSuffix(), QString(), Links::productPageUrl(name)};
}

// The entry of dir whose name equals name regardless of case; empty when there is none.
QString findIgnoringCase(const QDir &dir, const QString &name, QDir::Filters filters)
{
    const QStringList entries = dir.entryList(filters | QDir::Hidden);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return QString();
}

} // namespace

const QList<CompanionTool> &companionTools()
{
    static const QList<CompanionTool> tools{
        tool("Audio Converter", "Software", "sarnic"),    tool("CD Ripper", "Software", "ripvane"),
        tool("Audio Editor", "SOFTWARE", "wavelor"),      tool("Tag Editor", "Software", "tagmire"),
        tool("Audio Joiner", "SOFTWARE", "splicet"),      tool("Sound Recorder", "Software", "recorra"),
        tool("Volume Normalizer", "Software", "levelin"),
    };
    return tools;
}

QString companionSettingsFile(const QString &key)
{
    const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() != 4 || parts.at(0).compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0 ||
        parts.at(3).compare(QLatin1String("Settings"), Qt::CaseInsensitive) != 0)
        return QString();
    const QString &organisation = parts.at(1);
    const QString &id = parts.at(2);
    if (organisation.contains(QLatin1Char('/')) || id.contains(QLatin1Char('/')) ||
        organisation == QLatin1String("..") || id == QLatin1String(".."))
        return QString();

    const QString exact = FileSettingsStore::filePathFor(organisation, id);
    if (QFileInfo(exact).isFile())
        return exact;
    // Key names ignore case; folder and file names here do not.
    const QFileInfo expected(exact);
    QDir base = expected.dir();
    if (!base.cdUp())
        return QString();
    const QString folder =
        findIgnoringCase(base, expected.dir().dirName(), QDir::Dirs | QDir::NoDotAndDotDot);
    if (folder.isEmpty())
        return QString();
    return findIgnoringCase(QDir(folder), expected.fileName(), QDir::Files);
}

QString companionToolFolder(const QString &key)
{
    const QString file = companionSettingsFile(key);
    if (file.isEmpty())
        return QString();
    const FileSettingsStore store(file);
    return readString(store, QStringLiteral("path")).value_or(QString());
}

void RunCompanionTool(const QString &key, const QString &exeName, const QString &params, const QString &page)
{
    const QString folder = companionToolFolder(key);
    if (folder.isEmpty()) {
        Dialogs::message(
            nullptr,
            QStringLiteral("Component not installed.\r\nPlease download and install it from our site."),
            QLatin1String(BuildInfo::productName), Dialogs::Icon::None);
        Launcher::open(page);
        return;
    }
    // No separator is added: a folder recorded without its trailing one does not start.
    Launcher::startDetached(folder + exeName, {params});
}

void runCompanionTool(const CompanionTool &tool)
{
    RunCompanionTool(tool.key, tool.exeName, tool.params, tool.page);
}
