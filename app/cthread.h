#pragma once

#include <QString>
#include <QThread>
#include <functional>

// Carries a folder scan: hands the method to the main thread and waits there until it has run,
// so every list change happens on the main thread. Frees itself when it ends.
class CThread : public QThread
{
public:
    CThread(std::function<void()> method, std::function<void()> onTerminate, QObject *mainThreadContext);

protected:
    void run() override;

private:
    std::function<void()> m_method;
    QObject *m_context;
    QString m_error;
};
