#include "dialogs.h"

#include "environment.h"

#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>

namespace Dialogs {
namespace {

Handler &handler()
{
    static Handler h;
    return h;
}

Handler &personHandler()
{
    static Handler h;
    return h;
}

Reply show(const Request &request)
{
    if (handler())
        return handler()(request);
    // Without a window system part, or with nobody to answer, a box is printed and takes its default.
    if (personHandler() && !Environment::isHeadless())
        return personHandler()(request);
    return answerUnattended(request);
}

} // namespace

Reply answerUnattended(const Request &request)
{
    if (request.kind == Kind::Message) {
        QTextStream err(stderr);
        err << request.caption << ": "
            << QString(request.text).replace(QLatin1String("\r\n"), QLatin1String(" ")) << Qt::endl;
        return {request.defaultAnswer, {}};
    }
    return {Answer::Cancel, {}};
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

void setPersonHandler(Handler h)
{
    personHandler() = std::move(h);
}

Answer message(QWidget *owner, const QString &text, const QString &caption, Icon icon, Buttons buttons,
               Answer defaultAnswer)
{
    Request request;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultAnswer = buttons == Buttons::Ok ? Answer::Ok : defaultAnswer;
    return show(request).answer;
}

QStringList openFiles(QWidget *owner, const QString &directory, const QString &filter)
{
    Request request;
    request.kind = Kind::OpenFiles;
    request.owner = owner;
    request.directory = directory;
    request.filter = filter;
    const Reply reply = show(request);
    return reply.answer == Answer::Cancel ? QStringList() : reply.paths;
}

QString saveFile(QWidget *owner, const QString &directory, const QString &filter,
                 const QString &defaultSuffix)
{
    Request request;
    request.kind = Kind::SaveFile;
    request.owner = owner;
    request.directory = directory;
    request.filter = filter;
    request.defaultSuffix = defaultSuffix;
    const Reply reply = show(request);
    return reply.answer == Answer::Cancel || reply.paths.isEmpty() ? QString() : reply.paths.constFirst();
}

QString folder(QWidget *owner, const QString &start)
{
    Request request;
    request.kind = Kind::Folder;
    request.owner = owner;
    request.directory = start;
    const Reply reply = show(request);
    return reply.answer == Answer::Cancel || reply.paths.isEmpty() ? QString() : reply.paths.constFirst();
}

QStringList qtNameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts.at(i + 1).split(QLatin1Char(';'))) {
            if (!p.trimmed().isEmpty())
                patterns << p.trimmed();
        }
        // A caption that already names its patterns ("AVI Files (*.avi)") would show them twice: Qt
        // names them itself from the patterns that follow.
        static const QRegularExpression named(QStringLiteral("\\s*\\([^()]*\\*[^()]*\\)$"));
        QString caption = parts.at(i).trimmed();
        caption.remove(named);
        result << QStringLiteral("%1 (%2)").arg(caption, patterns.join(QLatin1Char(' ')));
    }
    return result;
}

} // namespace Dialogs
