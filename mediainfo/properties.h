#pragma once

#include <QPointer>
#include <QWidget>

class TMyWebBrowser;

// The File Properties window: the report of one listed file. One instance lives hidden for the
// whole run; closing it only hides it.
class TFileInfo : public QWidget
{
    Q_OBJECT

public:
    // mainWindow owns the window and is what it is centred over; it stays a window of its own.
    explicit TFileInfo(QWidget *mainWindow);

    // Puts the report of FileName into the view; does not show the window.
    void setfilename(const QString &FileName);

    // Shows the window centred over the main window and brings it to the front, not modal.
    void showOver();

    TMyWebBrowser *WebBrowser = nullptr;

private:
    QPointer<QWidget> m_mainWindow;
};
