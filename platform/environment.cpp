#include "environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Environment {

bool selectPlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
#endif
    return false;
}

bool isHeadless()
{
    // Read as a property, so that a program without windows need not load the window system.
    const QCoreApplication *app = QCoreApplication::instance();
    const QString platform = app ? app->property("platformName").toString() : QString();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

bool willBeHeadless()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform.startsWith("offscreen") || platform.startsWith("minimal");
}

QString programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator();
}

QString executableSuffix()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return QString();
#endif
}

namespace {
QString &encoderOverride()
{
    static QString path;
    return path;
}
} // namespace

QString encoderPath()
{
    if (!encoderOverride().isEmpty())
        return encoderOverride();
    const QString beside = programFolder() + QStringLiteral("/ffmpeg") + executableSuffix();
    if (QFileInfo(beside).isFile())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    return onPath.isEmpty() ? beside : onPath;
}

void setEncoderPathForTesting(const QString &path)
{
    encoderOverride() = path;
}

} // namespace Environment
