#include "encodercatalog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <optional>
#include <sys/stat.h>

namespace EncoderCatalog {

namespace {

const QByteArray cacheHeader = QByteArrayLiteral("tolvane-encoders 1");
// A few programs (a system build, a static one in the program folder) each keep their list.
constexpr int maxEntries = 8;
// The real list is some 13 KB; anything near this is not one, and a cache this big is not ours.
constexpr qint64 maxBytes = 1 << 20;

// ctime is part of the key too: a package upgrade installs a new file (new ctime) even when the
// packaged mtime and size look the same.
struct Key
{
    QString path;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;

    bool operator==(const Key &) const = default;
};

struct Entry
{
    Key key;
    QStringList names;
};

std::optional<Key> keyOf(const QString &program)
{
    const QString path = QFileInfo(program).canonicalFilePath();
    if (path.isEmpty())
        return std::nullopt;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return Key{path, qint64(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

bool isFlags(QByteArrayView token)
{
    for (char c : token)
        if (c != '.' && (c < 'A' || c > 'Z'))
            return false;
    return token.size() >= 2;
}

// Line after line: "<path> <size> <mtime ns> <ctime ns> <name> <name> ...", the path percent-encoded
// so that blanks and line breaks in it keep their place. Nothing when the file is not such a list.
std::optional<QList<Entry>> readCache(const QString &cacheFile)
{
    QFile f(cacheFile);
    if (!f.open(QIODevice::ReadOnly) || f.size() > maxBytes)
        return std::nullopt;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.size() < 2 || lines.first() != cacheHeader)
        return std::nullopt;
    QList<Entry> entries;
    // A last line without its line break was cut off and is not read.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        if (fields.size() < 5)
            return std::nullopt;
        Entry e;
        e.key.path = QUrl::fromPercentEncoding(fields[0]);
        bool ok[3];
        e.key.size = fields[1].toLongLong(&ok[0]);
        e.key.mtimeNs = fields[2].toLongLong(&ok[1]);
        e.key.ctimeNs = fields[3].toLongLong(&ok[2]);
        if (e.key.path.isEmpty() || !ok[0] || !ok[1] || !ok[2])
            return std::nullopt;
        for (qsizetype n = 4; n < fields.size(); ++n) {
            if (fields[n].isEmpty())
                return std::nullopt;
            e.names << QString::fromUtf8(fields[n]);
        }
        entries << e;
    }
    return entries;
}

void writeCache(const QString &cacheFile, const QList<Entry> &entries)
{
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile f(cacheFile);
    if (!f.open(QIODevice::WriteOnly))
        return;
    QByteArray text = cacheHeader + '\n';
    for (const Entry &e : entries) {
        text += QUrl::toPercentEncoding(e.key.path) + ' ' + QByteArray::number(e.key.size) + ' ' +
                QByteArray::number(e.key.mtimeNs) + ' ' + QByteArray::number(e.key.ctimeNs);
        for (const QString &name : e.names)
            text += ' ' + name.toUtf8();
        text += '\n';
    }
    f.write(text);
    f.commit(); // a cache that cannot be written only means asking again next time
}

// The program's encoder list, or nothing when it does not give one in time.
std::optional<QStringList> askProgram(const QString &program, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QProcess p;
    p.setProgram(program);
    p.setArguments({QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(int(deadline.remainingTime())))
        return std::nullopt;
    QByteArray output;
    while (p.state() != QProcess::NotRunning) {
        if (deadline.hasExpired() || output.size() > maxBytes) {
            p.kill();
            p.waitForFinished(-1);
            return std::nullopt;
        }
        p.waitForReadyRead(int(deadline.remainingTime()));
        output += p.readAllStandardOutput();
    }
    output += p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QStringList names = parseEncoders(output);
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

} // namespace

QStringList parseEncoders(const QByteArray &output)
{
    if (output.size() > maxBytes)
        return {};
    enum
    {
        Header,
        Legend,
        List
    } stage = Header;
    QStringList names;
    for (const QByteArray &line : output.split('\n')) {
        const QByteArray t = line.trimmed();
        if (stage == Header) {
            if (t == "Encoders:")
                stage = Legend;
        } else if (stage == Legend) {
            if (t.size() >= 2 && t.count('-') == t.size())
                stage = List;
        } else if (!t.isEmpty()) {
            // " A....D aac    AAC (Advanced Audio Coding)": the flags, the name, its description.
            const QList<QByteArray> fields = t.simplified().split(' ');
            if (fields.size() < 2 || !isFlags(fields[0]))
                return {}; // a wrong name list could stop a batch for nothing, so no guessing
            names << QString::fromUtf8(fields[1]);
        }
    }
    return names;
}

Presence find(const QString &encoderPath, const QString &encoderName, const QString &cacheFile, int timeoutMs)
{
    const QString program =
        encoderPath.contains(QLatin1Char('/')) ? encoderPath : QStandardPaths::findExecutable(encoderPath);
    const std::optional<Key> key = program.isEmpty() ? std::nullopt : keyOf(program);
    if (!key)
        return Presence::Unknown;
    const auto presence = [&](const QStringList &names) {
        return names.contains(encoderName) ? Presence::Present : Presence::Missing;
    };

    QList<Entry> entries;
    if (!cacheFile.isEmpty()) {
        // A corrupt cache is dropped as a whole and written anew below.
        entries = readCache(cacheFile).value_or(QList<Entry>{});
        // Only a yes is taken from the cache: an encoder can arrive with a library package while the
        // program file stays as it was, and a batch must not be refused for a stale no.
        for (const Entry &e : std::as_const(entries))
            if (e.key == *key && presence(e.names) == Presence::Present)
                return Presence::Present;
    }

    const std::optional<QStringList> names = askProgram(program, timeoutMs);
    if (!names)
        return Presence::Unknown; // not kept: a slow start may be a busy machine, not the program
    if (!cacheFile.isEmpty()) {
        entries.removeIf([&](const Entry &e) { return e.key.path == key->path; });
        entries.prepend(Entry{*key, *names});
        if (entries.size() > maxEntries)
            entries.resize(maxEntries);
        writeCache(cacheFile, entries);
    }
    return presence(*names);
}

QString defaultCacheFile()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        return {};
    // The same application folder name as the settings use.
    return base + QStringLiteral("/quorrel/encoders");
}

} // namespace EncoderCatalog
