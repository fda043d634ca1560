#include "dialogs.h"

#include "environment.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTextStream>

#include <cstdio>

namespace Dialogs {
namespace {

Handler &handler()
{
    static Handler h;
    return h;
}

QMessageBox::Icon toQt(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

Reply show(const Request &request)
{
    if (handler())
        return handler()(request);
    if (Environment::isHeadless())
        return answerUnattended(request);

    switch (request.kind) {
    case Kind::Message: {
        QMessageBox box(toQt(request.icon), request.caption, request.text, QMessageBox::NoButton,
                        request.owner);
        if (request.buttons == Buttons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(request.defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
        }
        const int result = box.exec();
        if (request.buttons == Buttons::YesNo)
            return {result == QMessageBox::Yes ? Answer::Yes : Answer::No, {}};
        return {Answer::Ok, {}};
    }
    case Kind::OpenFiles: {
        const QStringList files =
            QFileDialog::getOpenFileNames(request.owner, QString(), request.directory,
                                          qtNameFilters(request.filter).join(QLatin1String(";;")));
        return {files.isEmpty() ? Answer::Cancel : Answer::Ok, files};
    }
    case Kind::SaveFile: {
        QFileDialog dialog(request.owner, QString(), request.directory);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(qtNameFilters(request.filter));
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return {Answer::Ok, {dialog.selectedFiles().constFirst()}};
    }
    case Kind::Folder: {
        const QString dir = QFileDialog::getExistingDirectory(request.owner, QString(), request.directory);
        if (dir.isEmpty())
            return {};
        return {Answer::Ok, {dir}};
    }
    }
    return {};
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
        result << QStringLiteral("%1 (%2)").arg(parts.at(i).trimmed(), patterns.join(QLatin1Char(' ')));
    }
    return result;
}

} // namespace Dialogs
