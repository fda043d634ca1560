#pragma once

#include "inidocument.h"
#include "platform/exception.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

class EStoreError : public Exception
{
public:
    using Exception::Exception;
};

// One settings key: named values that match regardless of case. Stands in for a registry key
// "Software\<organisation>\<application>\Settings" of the current user.
class SettingsStore
{
public:
    virtual ~SettingsStore();
    virtual bool keyExists() const = 0;
    virtual bool createKey() = 0;
    virtual std::optional<QString> read(const QString &name) const = 0;
    // Replaces a value stored under another spelling of the name.
    virtual void write(const QString &name, const QString &value) = 0;
    // Writes everything out; false when that failed.
    virtual bool flush() = 0;
    // Why the stored settings could not be read; empty when they could. Such a store is never written.
    virtual QString readError() const;
};

// A settings file in INI form (see IniDocument), group [Settings]: on Linux
// $XDG_CONFIG_HOME/<organisation>/<application>.conf. Read when made; a file that exists but cannot
// be read (a folder in its place, no permission) is never replaced.
class FileSettingsStore : public SettingsStore
{
public:
    explicit FileSettingsStore(QString filePath);
    ~FileSettingsStore() override;

    // The file the native store of that organisation and application uses.
    static QString filePathFor(const QString &organisation, const QString &application);

    const QString &filePath() const { return m_filePath; }
    bool keyExists() const override;
    bool createKey() override;
    std::optional<QString> read(const QString &name) const override;
    void write(const QString &name, const QString &value) override;
    bool flush() override;
    QString readError() const override;

private:
    struct OnDisk
    {
        bool exists = false;
        QByteArray text;
        IniDocument document;
    };
    // The file as it is now, parsed (empty when missing); nothing when it may not be touched.
    std::optional<OnDisk> onDisk() const;
    bool replaceFile(const QByteArray &text) const;

    QString m_filePath;
    QString m_readError;
    IniDocument m_document;                      // as read, with the writes applied
    QList<std::pair<QString, QString>> m_writes; // not yet flushed, in order
};

// Typed readers: a text file keeps no types, so these decide what a value may hold.
// Nothing when the value is missing.
std::optional<QString> readString(const SettingsStore &store, const QString &name);
// Raises "Invalid data type for '<name>'" for a value that is no decimal integer and
// "Failed to get data for '<name>'" for one outside 32 bits.
std::optional<qint32> readInteger(const SettingsStore &store, const QString &name);
// Any non-zero integer is true.
std::optional<bool> readFlag(const SettingsStore &store, const QString &name);
