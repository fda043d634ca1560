#include "launcher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

namespace Launcher {
namespace {

Handler &handler()
{
    static Handler h;
    return h;
}

QUrl toUrl(const QString &target)
{
    const QUrl url(target);
    // "C:" style drives parse as a scheme; only real schemes count as URLs.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
}

} // namespace

void setHandler(Handler h)
{
    handler() = std::move(h);
}

bool open(const QString &target)
{
    if (handler())
        return handler()({Kind::Open, target, {}});
    return QDesktopServices::openUrl(toUrl(target));
}

bool startDetached(const QString &program, const QStringList &arguments)
{
    if (handler())
        return handler()({Kind::Start, program, arguments});
    return QProcess::startDetached(program, arguments);
}

} // namespace Launcher
