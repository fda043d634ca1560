#pragma once

#include <QString>
#include <QStringList>

// How a name given to the list is read: made absolute, and looked at on disk before anything opens it.
namespace InputPaths {

// The name made absolute against workingDir, with "." parts and doubled slashes dropped. ".." stays:
// taken away as text it could name another file when a link is on the way.
QString absoluteName(const QString &name, const QString &workingDir);

// What a name leads to, links followed. Nothing is opened: opening a FIFO would block.
struct Entry
{
    enum Kind
    {
        File,
        Folder,
        Unusable
    };
    Kind kind = Unusable;
    QString reason;       // why an unusable one is left out
    bool present = false; // the name itself is there (a dangling link is; an undecodable name is not)
};
Entry examine(const QString &absoluteName);

// A folder's entries, "." and ".." left out, read as bytes so that none is passed over silently.
// A name that is not valid in the current encoding cannot be opened through a QString: it comes in
// undecodable, kept byte for byte (U+DC00 + byte) so that a report can show it.
struct Listing
{
    QStringList names;
    QStringList undecodable;
    QString problem; // why the folder cannot be read, or empty
};
Listing listFolder(const QString &folder);

// The name the list knows a file by: its real path, or the name itself when it leads nowhere.
QString canonicalName(const QString &absoluteName);

} // namespace InputPaths
