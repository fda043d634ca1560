#include "inputpaths.h"

#include "convert/encoderoutput.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace InputPaths {

namespace {
QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

QString absoluteName(const QString &name, const QString &workingDir)
{
    if (name.isEmpty())
        return name;
    const QString full = name.startsWith(QLatin1Char('/')) ? name : workingDir + QLatin1Char('/') + name;
    QString result;
    for (const QString &part : full.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String("."))
            result += QLatin1Char('/') + part;
    }
    return result.isEmpty() ? QStringLiteral("/") : result;
}

Entry examine(const QString &absoluteName)
{
    const QByteArray encoded = QFile::encodeName(absoluteName);
    struct stat st;
    if (::stat(encoded.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return {Entry::Folder, QString(), true};
        if (!S_ISREG(st.st_mode))
            return {Entry::Unusable, QStringLiteral("not a regular file"), true};
        if (::access(encoded.constData(), R_OK) != 0)
            return {Entry::Unusable, QStringLiteral("cannot read the file: ") + errorText(errno), true};
        return {Entry::File, QString(), true};
    }
    const int error = errno;
    struct stat link;
    if (::lstat(encoded.constData(), &link) == 0)
        return {Entry::Unusable,
                error == ENOENT ? QStringLiteral("the link leads to no file") : errorText(error), true};
    if (error == ENAMETOOLONG)
        return {Entry::Unusable, QStringLiteral("the path is too long"), false};
    if (error != ENOENT)
        return {Entry::Unusable, QStringLiteral("cannot read: ") + errorText(error), false};
    // Qt decodes bytes that are not valid in the current encoding as U+FFFD, so such a name
    // leads nowhere when encoded back.
    if (absoluteName.contains(QChar::ReplacementCharacter))
        return {Entry::Unusable, QStringLiteral("the name is not valid in the current encoding"), false};
    return {Entry::Unusable, QStringLiteral("no such file or folder"), false};
}

Listing listFolder(const QString &folder)
{
    Listing listing;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        const int error = errno;
        if (error == ENOENT)
            listing.problem = QStringLiteral("no such file or folder");
        else if (error == ENAMETOOLONG)
            listing.problem = QStringLiteral("the path is too long");
        else
            listing.problem = QStringLiteral("cannot read the folder: ") + errorText(error);
        return listing;
    }
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        const QString name = QFile::decodeName(bytes);
        if (QFile::encodeName(name) == bytes)
            listing.names << name;
        else
            listing.undecodable << decodeOutputText(bytes);
        errno = 0;
    }
    if (errno != 0)
        listing.problem = QStringLiteral("cannot read the folder: ") + errorText(errno);
    ::closedir(dir);
    return listing;
}

QString canonicalName(const QString &absoluteName)
{
    const QString real = QFileInfo(absoluteName).canonicalFilePath();
    return real.isEmpty() ? absoluteName : real;
}

} // namespace InputPaths
