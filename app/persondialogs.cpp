#include "persondialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

using namespace Dialogs;

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

} // namespace

Dialogs::Reply personDialog(const Dialogs::Request &request)
{
    using namespace Dialogs;
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
