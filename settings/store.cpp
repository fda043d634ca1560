#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
const QString group = QStringLiteral("Settings");

// No settings file is this large; one that is was not written by us and is left alone.
constexpr qint64 largestFile = 1 << 20;

struct StoredFile
{
    enum class State
    {
        Missing,
        Read,
        Unreadable
    };
    State state = State::Missing;
    QByteArray text;
    QString reason; // why it is unreadable
};

StoredFile readStoredFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    // A folder, a pipe or a device in the file's place is nothing we could read or should replace.
    if (!info.isFile())
        return {StoredFile::State::Unreadable, {}, QStringLiteral("it is not a file")};
    if (info.size() > largestFile)
        return {StoredFile::State::Unreadable, {}, QStringLiteral("it is too large")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {StoredFile::State::Unreadable, {}, file.errorString()};
    QByteArray text = file.read(largestFile + 1);
    if (file.error() != QFileDevice::NoError || text.size() > largestFile)
        return {StoredFile::State::Unreadable, {}, file.errorString()};
    return {StoredFile::State::Read, std::move(text), {}};
}
} // namespace

SettingsStore::~SettingsStore() = default;

QString SettingsStore::readError() const
{
    return QString();
}

FileSettingsStore::FileSettingsStore(QString filePath) : m_filePath(std::move(filePath))
{
    const StoredFile stored = readStoredFile(m_filePath);
    if (stored.state == StoredFile::State::Unreadable)
        m_readError = QStringLiteral("Cannot read the settings file '%1' (%2); it is left unchanged")
                          .arg(QDir::toNativeSeparators(m_filePath), stored.reason);
    else
        m_document = IniDocument::parse(stored.text);
}

FileSettingsStore::~FileSettingsStore() = default;

QString FileSettingsStore::filePathFor(const QString &organisation, const QString &application)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           organisation + QLatin1Char('/') + application + QStringLiteral(".conf");
}

std::optional<FileSettingsStore::OnDisk> FileSettingsStore::onDisk() const
{
    if (!m_readError.isEmpty())
        return std::nullopt;
    const StoredFile stored = readStoredFile(m_filePath);
    if (stored.state == StoredFile::State::Unreadable)
        return std::nullopt;
    return OnDisk{stored.state == StoredFile::State::Read, stored.text, IniDocument::parse(stored.text)};
}

bool FileSettingsStore::keyExists() const
{
    const std::optional<OnDisk> disk = onDisk();
    return disk && disk->exists && disk->document.hasGroup(group);
}

bool FileSettingsStore::createKey()
{
    std::optional<OnDisk> disk = onDisk();
    if (!disk)
        return false;
    IniDocument &document = disk->document;
    if (document.hasGroup(group))
        return true;
    // An empty group must still be on disk: its presence is what "the key exists" means.
    document.addGroup(group);
    if (!replaceFile(document.serialize()))
        return false;
    for (const auto &[name, value] : std::as_const(m_writes))
        document.setValue(group, name, value);
    m_document = std::move(document);
    return true;
}

std::optional<QString> FileSettingsStore::read(const QString &name) const
{
    return m_document.value(group, name);
}

void FileSettingsStore::write(const QString &name, const QString &value)
{
    m_document.setValue(group, name, value);
    m_writes.append({name, value});
}

bool FileSettingsStore::flush()
{
    // Applied to the file as it is now, so lines changed by hand since it was read are kept.
    std::optional<OnDisk> disk = onDisk();
    if (!disk)
        return false;
    IniDocument &document = disk->document;
    for (const auto &[name, value] : std::as_const(m_writes))
        document.setValue(group, name, value);
    const QByteArray text = document.serialize();
    if (text != disk->text && !replaceFile(text))
        return false;
    m_writes.clear();
    m_document = std::move(document);
    return true;
}

QString FileSettingsStore::readError() const
{
    return m_readError;
}

bool FileSettingsStore::replaceFile(const QByteArray &text) const
{
    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return false;
    // Written beside the old file and renamed over it, so a failure leaves the old one whole.
    QSaveFile file(m_filePath);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
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
