#pragma once

#include <QMap>
#include <QString>
#include <optional>

// Stands in for the version resource of the program's own executable: the same strings under
// the same block name, compiled in from the build's project version.
class TFileVersionInfo
{
public:
    struct Resource
    {
        QString translation; // language and code page, e.g. "040904E4"
        QMap<QString, QString> strings;
    };

    explicit TFileVersionInfo(QString fileName = QString());

    const QString &fileName() const { return m_fileName; }
    bool hasResource() const { return m_resource.has_value(); }
    // "\VarFileInfo\Translation" as block name, empty without a resource.
    QString translation() const;
    // "StringFileInfo\<block>\<name>"; nothing when absent.
    std::optional<QString> query(const QString &subBlock) const;
    // A string of the first translation block, empty when absent.
    QString value(const QString &name) const;

    // The program's own resource; tests may replace it (nullopt: the program has none).
    static void setResourceForTesting(std::optional<Resource> resource);
    static void resetResource();

private:
    QString m_fileName;
    std::optional<Resource> m_resource;
};
