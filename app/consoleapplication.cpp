#include "consoleapplication.h"

#include "platform/dialogs.h"
#include "platform/exception.h"

#include <QTimer>

config loadSettings()
{
    QString error;
    config settings = LoadConfig(&error);
    if (!error.isEmpty())
        QTimer::singleShot(0, QCoreApplication::instance(), [error] { showErrorReport(error); });
    return settings;
}

void showErrorReport(const QString &message)
{
    Dialogs::message(nullptr, errorReportText(message), QStringLiteral("Tolvane"), Dialogs::Icon::Error);
}

void reportException(const std::exception &e)
{
    if (const auto *own = dynamic_cast<const Exception *>(&e))
        showErrorReport(own->message());
    else
        showErrorReport(QString::fromLocal8Bit(e.what()));
}
