#pragma once

#include <QString>

// Desktop notifications: the freedesktop service on the session bus here; another platform puts its own
// in this place.
namespace Notifications {

// Shows a notification and returns at once, never waiting for the answer. Nothing happens when no
// session bus or no notification service runs.
void post(const QString &summary, const QString &body);

} // namespace Notifications
