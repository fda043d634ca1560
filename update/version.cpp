#include "version.h"

#include "platform/versioninfo.h"

#include <QCoreApplication>

bool ReadVersionInfo(QStringList &list)
{
    list.clear();
    const TFileVersionInfo info(QCoreApplication::applicationFilePath());
    const QString block = info.translation();
    if (!info.hasResource() || block.isEmpty())
        return false;
    static const char *const names[] = {"FileVersion", "LegalCopyright", "ProductName", "ProductVersion"};
    for (const char *name : names) {
        const std::optional<QString> value =
            info.query(QStringLiteral("StringFileInfo\\") + block + QLatin1Char('\\') + QLatin1String(name));
        if (value)
            list << *value;
    }
    return true;
}

std::array<quint32, 4> versionParts(const QString &version)
{
    std::array<quint32, 4> parts{0, 0, 0, 0};
    const QStringList texts = version.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < texts.size() && i < 4; ++i) {
        const QString text = texts.at(i).trimmed();
        bool digitsOnly = !text.isEmpty();
        for (const QChar c : text)
            digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        bool ok = false;
        const uint value = digitsOnly ? text.toUInt(&ok) : 0;
        if (!ok)
            throw EVersionError(QStringLiteral("'%1' is not a valid version").arg(version));
        parts[i] = value;
    }
    return parts;
}

bool IsNewerVersion(const QString &published, const QString &installed)
{
    if (!published.contains(QLatin1Char('.')) || !installed.contains(QLatin1Char('.')))
        return false;
    // Part by part: a weighted sum would let 1.8.100.0 equal 1.9.0.0.
    return versionParts(installed) < versionParts(published);
}
