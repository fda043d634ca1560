#pragma once

#include <QString>

// Facts about where and how the program runs.
namespace Environment {

// Chooses Qt's offscreen platform when there is no display; call before the application object
// exists. Returns true when it did so.
bool selectPlatform();

// No person can answer a window: the offscreen platform is in use.
bool isHeadless();
// The same, known before the application object exists (after selectPlatform).
bool willBeHeadless();

// The folder of the program's executable, with a trailing separator.
QString programFolder();

// ".exe" where programs carry it, else empty.
QString executableSuffix();

// The encoder: the one in the program's folder, else the one found on PATH (Linux ships it as a
// system package). Returns the program-folder path when neither exists, so the failure names it.
QString encoderPath();
// Tests point the batch at another encoder; an empty path restores the search.
void setEncoderPathForTesting(const QString &path);

} // namespace Environment
