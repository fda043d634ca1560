#pragma once

#include <QTextBrowser>

class QContextMenuEvent;
class QKeyEvent;

// The HTML view of the program. Its four switches, all off by default, decide what of the view's
// own behaviour the user gets: its right-click menu, its Ctrl shortcuts, its frame, its scroll bars.
class TMyWebBrowser : public QTextBrowser
{
    Q_OBJECT
    Q_PROPERTY(bool ContextMenuEnabled READ ContextMenuEnabled WRITE setContextMenuEnabled)
    Q_PROPERTY(bool AcceleratorsEnabled READ AcceleratorsEnabled WRITE setAcceleratorsEnabled)
    Q_PROPERTY(bool Border3DEnabled READ Border3DEnabled WRITE setBorder3DEnabled)
    Q_PROPERTY(bool ScrollEnabled READ ScrollEnabled WRITE setScrollEnabled)

public:
    explicit TMyWebBrowser(QWidget *parent = nullptr);

    bool ContextMenuEnabled() const { return m_contextMenuEnabled; }
    void setContextMenuEnabled(bool on);
    bool AcceleratorsEnabled() const { return m_acceleratorsEnabled; }
    void setAcceleratorsEnabled(bool on);
    bool Border3DEnabled() const { return m_border3DEnabled; }
    void setBorder3DEnabled(bool on);
    bool ScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool on);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_contextMenuEnabled = false;
    bool m_acceleratorsEnabled = false;
    bool m_border3DEnabled = false;
    bool m_scrollEnabled = false;
};

// Writes page into view, replacing what it showed.
void loadhtml(const QString &page, TMyWebBrowser *view);

// The page as Qt's rich-text engine should get it: fieldsets and the path box as bordered tables,
// legends bold, blue and centred, carriage returns in pre-formatted blocks as new lines.
QString adaptForView(const QString &page);
