#pragma once

#include <QString>

// Facts about where and how the program runs.
namespace Environment {

// Chooses Qt's offscreen platform when there is no display; call before the application object
// exists. Returns true when it did so.
bool selectPlatform();

// No person can answer a window: the offscreen platform is in use.
bool isHeadless();

// The folder of the program's executable, with a trailing separator.
QString programFolder();

// ".exe" where programs carry it, else empty.
QString executableSuffix();

} // namespace Environment
