#include "notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace Notifications {

void post(const QString &summary, const QString &body)
{
    // Without an address the library would try to launch a bus of its own.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString appId = QStringLiteral("com.morvexa.Tolvane");
    notify << QStringLiteral("Tolvane") << uint(0) << appId << summary << body << QStringList()
           << QVariantMap{{QStringLiteral("desktop-entry"), appId}} << int(-1);
    // No service is started for it, and the answer (or the error that none runs) is not waited for.
    notify.setAutoStartService(false);
    bus.send(notify);
}

} // namespace Notifications
