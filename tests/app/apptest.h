#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QTreeWidget;
class Tmainform;

// What the window tests share.
namespace AppTest {

// Points the settings at a temporary folder for the whole test run; call from initMain().
void useTemporaryConfigHome();
QString configHome();

QStringList columnTexts(QTreeWidget *list, int column);
inline QStringList statuses(QTreeWidget *list)
{
    return columnTexts(list, 4);
}

// Copies a file, making the target's folder and replacing what is there.
bool copyFile(const QString &from, const QString &to);

// Starts a batch and waits until it has ended.
bool runBatch(Tmainform *window, int timeoutMsecs = 180000);

// The environment of the real program without a display, its settings under configHome.
QProcessEnvironment headlessEnvironment(const QString &configHome);

// Runs a check whenever the event loop turns, until it returns true once.
class Trigger : public QTimer
{
public:
    explicit Trigger(std::function<bool()> check);
};

} // namespace AppTest
