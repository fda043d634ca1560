#include "application.h"

#include "persondialogs.h"

#include "platform/dialogs.h"

TolvaneApplication::TolvaneApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationDisplayName(QString());
    setApplicationName(QStringLiteral("Tolvane"));
    Dialogs::setPersonHandler(&personDialog);
}

bool TolvaneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        reportException(e);
    }
    return false;
}
