#pragma once

#include "platform/exception.h"

#include <QString>
#include <QStringList>
#include <array>

// A version text that cannot be compared: a part is no decimal number.
class EVersionError : public Exception
{
public:
    using Exception::Exception;
};

// The program's own version strings, "FileVersion" first; false when it carries no version resource.
bool ReadVersionInfo(QStringList &list);

// The four numbers of a version: missing parts read as 0, parts after the fourth are ignored.
// Raises EVersionError when one of the first four is no decimal integer.
std::array<quint32, 4> versionParts(const QString &version);

// True when the published version is newer than the installed one. A version without a "." on
// either side is never newer. Raises EVersionError for parts that are no numbers.
bool IsNewerVersion(const QString &published, const QString &installed);
