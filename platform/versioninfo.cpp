#include "versioninfo.h"

#include "buildinfo.h"

namespace {

TFileVersionInfo::Resource builtInResource()
{
    TFileVersionInfo::Resource r;
    r.translation = QStringLiteral("040904E4");
    r.strings.insert(QStringLiteral("FileVersion"), QLatin1String(BuildInfo::fileVersion));
    r.strings.insert(QStringLiteral("LegalCopyright"), QStringLiteral("Copyright \u00a9 2026 Morvexa"));
    r.strings.insert(QStringLiteral("ProductName"), QLatin1String(BuildInfo::productName));
    r.strings.insert(QStringLiteral("ProductVersion"), QLatin1String(BuildInfo::fileVersion));
    return r;
}

struct Current
{
    bool overridden = false;
    std::optional<TFileVersionInfo::Resource> resource;
};

Current &current()
{
    static Current c;
    return c;
}

} // namespace

TFileVersionInfo::TFileVersionInfo(QString fileName) : m_fileName(std::move(fileName))
{
    m_resource = current().overridden ? current().resource : std::optional<Resource>(builtInResource());
}

QString TFileVersionInfo::translation() const
{
    return m_resource ? m_resource->translation : QString();
}

std::optional<QString> TFileVersionInfo::query(const QString &subBlock) const
{
    if (!m_resource)
        return std::nullopt;
    const QString prefix = QStringLiteral("StringFileInfo\\") + m_resource->translation + QLatin1Char('\\');
    if (!subBlock.startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    const QString name = subBlock.mid(prefix.size());
    for (auto it = m_resource->strings.cbegin(); it != m_resource->strings.cend(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return std::nullopt;
}

QString TFileVersionInfo::value(const QString &name) const
{
    return query(QStringLiteral("StringFileInfo\\") + translation() + QLatin1Char('\\') + name)
        .value_or(QString());
}

void TFileVersionInfo::setResourceForTesting(std::optional<Resource> resource)
{
    current() = {true, std::move(resource)};
}

void TFileVersionInfo::resetResource()
{
    current() = {};
}
