#include "consoleapplication.h"

#include "platform/dialogs.h"
#include "platform/exception.h"

#include <QTimer>

TolvaneConsoleApplication::TolvaneConsoleApplication(int &argc, char **argv) : QCoreApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Tolvane"));
}

bool TolvaneConsoleApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QCoreApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        reportException(e);
    }
    return false;
}

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
