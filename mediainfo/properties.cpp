#include "properties.h"

#include "mywebbrowser.h"
#include "report.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QIcon propertiesIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x00, 0x66, 0x99));
    painter.setBrush(QColor(0x00, 0x99, 0xcc));
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7, 7, 2, 6));
    painter.drawRect(QRectF(7, 3.5, 2, 2));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

TFileInfo::TFileInfo(QWidget *mainWindow)
    // A dialog of the main window: no task-bar entry of its own, and it stays above its window.
    : QWidget(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("File Properties"));
    setWindowIcon(propertiesIcon());
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    // Closing must only hide it, and never end the program.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);

    WebBrowser = new TMyWebBrowser(this);
    WebBrowser->setObjectName(QStringLiteral("WebBrowser"));
    // The report can be selected and copied (Ctrl+A, Ctrl+C); still no context menu.
    WebBrowser->setAcceleratorsEnabled(true);
    WebBrowser->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(WebBrowser);
    auto *buttonRow = new QVBoxLayout;
    buttonRow->setContentsMargins(8, 0, 8, 8);
    buttonRow->addWidget(buttons);
    layout->addLayout(buttonRow);
    setFocusProxy(WebBrowser);
    resize(437, 372);
}

void TFileInfo::setfilename(const QString &FileName)
{
    loadhtml(buildreport(FileName), WebBrowser);
}

void TFileInfo::showOver()
{
    // Centre only when it appears; an open window keeps where the user put it.
    if (!isVisible()) {
        QRect area;
        if (m_mainWindow && m_mainWindow->isVisible())
            area = m_mainWindow->frameGeometry();
        else if (const QScreen *screen = QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
        if (area.isValid()) {
            QRect frame = frameGeometry();
            frame.moveCenter(area.center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}
