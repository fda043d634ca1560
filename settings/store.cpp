#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {
const QString group = QStringLiteral("Settings");

bool fileHasGroup(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    static const QRegularExpression header(QStringLiteral("^\\s*\\[Settings\\]\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::MultilineOption);
    return header.match(QString::fromUtf8(file.readAll())).hasMatch();
}
} // namespace

SettingsStore::~SettingsStore() = default;

FileSettingsStore::FileSettingsStore(QString filePath)
    : m_filePath(std::move(filePath)),
      m_settings(std::make_unique<QSettings>(m_filePath, QSettings::IniFormat))
{}

FileSettingsStore::~FileSettingsStore() = default;

QString FileSettingsStore::filePathFor(const QString &organisation, const QString &application)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, organisation, application).fileName();
}

bool FileSettingsStore::keyExists() const
{
    return fileHasGroup(m_filePath);
}

bool FileSettingsStore::createKey()
{
    if (keyExists())
        return true;
    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return false;
    QFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    // An empty group must still be on disk: its presence is what "the key exists" means.
    file.write(file.size() > 0 ? "\n[Settings]\n" : "[Settings]\n");
    file.close();
    m_settings->sync();
    return keyExists();
}

QString FileSettingsStore::storedName(const QString &name) const
{
    m_settings->beginGroup(group);
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    for (const QString &key : keys) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return key;
    }
    return QString();
}

std::optional<QString> FileSettingsStore::read(const QString &name) const
{
    const QString key = storedName(name);
    if (key.isEmpty())
        return std::nullopt;
    const QVariant value = m_settings->value(group + QLatin1Char('/') + key);
    // A hand-written "a, b" comes back from the INI reader as a list; keep the text as written.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value.toString();
}

void FileSettingsStore::write(const QString &name, const QString &value)
{
    m_settings->beginGroup(group);
    const QStringList keys = m_settings->childKeys();
    for (const QString &key : keys) {
        if (key != name && key.compare(name, Qt::CaseInsensitive) == 0)
            m_settings->remove(key);
    }
    m_settings->setValue(name, value);
    m_settings->endGroup();
}

bool FileSettingsStore::flush()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

std::optional<QString> readString(const SettingsStore &store, const QString &name)
{
    return store.read(name);
}

std::optional<qint32> readInteger(const SettingsStore &store, const QString &name)
{
    const std::optional<QString> text = store.read(name);
    if (!text)
        return std::nullopt;
    static const QRegularExpression decimal(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    if (!decimal.match(*text).hasMatch())
        throw EStoreError(QStringLiteral("Invalid data type for '%1'").arg(name));
    bool ok = false;
    const qlonglong value = text->trimmed().toLongLong(&ok);
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw EStoreError(QStringLiteral("Failed to get data for '%1'").arg(name));
    return static_cast<qint32>(value);
}

std::optional<bool> readFlag(const SettingsStore &store, const QString &name)
{
    const std::optional<qint32> value = readInteger(store, name);
    if (!value)
        return std::nullopt;
    return *value != 0;
}
