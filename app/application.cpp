#include "application.h"

#include "persondialogs.h"

#include "platform/dialogs.h"

TolvaneApplication::TolvaneApplication(int &argc, char **argv) : GuardedApplication(argc, argv)
{
    setApplicationDisplayName(QString());
    Dialogs::setPersonHandler(&personDialog);
}
