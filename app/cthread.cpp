#include "cthread.h"

#include "application.h"

#include <QApplication>
#include <QWidget>

CThread::CThread(std::function<void()> method, std::function<void()> onTerminate, QObject *mainThreadContext)
    : m_method(std::move(method)), m_context(mainThreadContext)
{
    connect(this, &QThread::finished, mainThreadContext,
            [onTerminate = std::move(onTerminate)] { onTerminate(); });
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    start();
}

void CThread::run()
{
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            try {
                m_method();
            } catch (const std::exception &e) {
                m_error = QString::fromLocal8Bit(e.what());
            }
        },
        Qt::BlockingQueuedConnection);
    if (m_error.isEmpty())
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            if (QWidget *grabber = QWidget::mouseGrabber())
                grabber->releaseMouse();
            showErrorReport(m_error);
        },
        Qt::BlockingQueuedConnection);
}
