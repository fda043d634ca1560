#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Stands in for the shell's "open" verb: documents, folders and URLs go to the desktop's
// default handler; programs are started detached. Tests replace it to see what would open.
namespace Launcher {

enum class Kind
{
    Open,
    Start
};

struct Request
{
    Kind kind = Kind::Open;
    QString target; // URL, local path or program
    QStringList arguments;
};

using Handler = std::function<bool(const Request &)>;
void setHandler(Handler handler);

// A local path or an absolute URL ("https:", "mailto:", "file:").
bool open(const QString &target);
bool startDetached(const QString &program, const QStringList &arguments);

} // namespace Launcher
