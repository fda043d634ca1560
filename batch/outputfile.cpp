#include "outputfile.h"

#include "listtexts.h"

#include "mediainfo/mediainfodll.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace OutputFile {

namespace {
const QString partSuffix = QStringLiteral(".part");
const QString runMark = QStringLiteral(".tolvane-");

// ".name" cut so that the whole temporary name stays within the file system's 255 bytes.
QString temporaryPrefix(const QString &finalName)
{
    constexpr qsizetype maxBytes = 255 - 9 /* .tolvane- */ - 10 /* process id */ - 5 /* .part */;
    QString prefix = QLatin1Char('.') + finalName.mid(ListTexts::fileNameStart(finalName));
    while (QFile::encodeName(prefix).size() > maxBytes)
        prefix.chop(prefix.size() >= 2 && prefix.at(prefix.size() - 1).isLowSurrogate() ? 2 : 1);
    return prefix + runMark;
}

QString folderOf(const QString &path)
{
    return path.left(ListTexts::fileNameStart(path));
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// renameat2 without replacing; file systems that lack the flag get link and unlink, which is just as
// exclusive.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::link(from.constData(), to.constData()) != 0)
        return -1;
    ::unlink(from.constData());
    return 0;
}
} // namespace

QString temporaryNameFor(const QString &finalName, qint64 processId)
{
    return folderOf(finalName) + temporaryPrefix(finalName) + QString::number(processId) + partSuffix;
}

void removeStaleTemporaries(const QString &finalName)
{
    const QString prefix = temporaryPrefix(finalName);
    const QDir folder(folderOf(finalName).isEmpty() ? QStringLiteral(".") : folderOf(finalName));
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!entry.startsWith(prefix) || !entry.endsWith(partSuffix))
            continue;
        bool ok = false;
        const qint64 pid =
            entry.mid(prefix.size(), entry.size() - prefix.size() - partSuffix.size()).toLongLong(&ok);
        if (ok && !processAlive(pid))
            QFile::remove(folder.filePath(entry));
    }
}

bool entryExists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString problemWith(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("the encoder wrote no file");
    if (info.size() == 0)
        return QStringLiteral("the encoder wrote an empty file");
    // The temporary name's suffix says nothing of the format: the library reads the bytes instead.
    const TMediaInfoDll probe(path, TMediaInfoDll::Detect::ByContent);
    if (probe.GetAudioCodec(0).isEmpty() || probe.GetDuration() <= 0)
        return QStringLiteral("the encoder wrote no audio");
    return QString();
}

Commit commit(const QString &temporary, const QString &finalName, bool replace, QString *error)
{
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(finalName);
    // A file replaced is kept under the temporary name until the last piece is in place; where the file
    // system cannot swap two names, it is simply replaced.
    struct stat st;
    if (replace && ::lstat(to.constData(), &st) == 0 && !S_ISDIR(st.st_mode) &&
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return Commit::Done;
    const int result = replace ? ::rename(from.constData(), to.constData()) : renameNoReplace(from, to);
    if (result == 0)
        return Commit::Done;
    if (!replace && errno == EEXIST)
        return Commit::Taken;
    if (error)
        *error = QStringLiteral("could not rename the output to %1: %2")
                     .arg(finalName, QString::fromLocal8Bit(std::strerror(errno)));
    return Commit::Failed;
}

void undoCommit(const QString &temporary, const QString &finalName)
{
    const QByteArray from = QFile::encodeName(finalName);
    const QByteArray to = QFile::encodeName(temporary);
    // The replaced file comes back from the temporary name; a new one goes back to it.
    if (entryExists(temporary))
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE);
    else
        renameNoReplace(from, to);
}

} // namespace OutputFile
