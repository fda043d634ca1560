#include "mediainfo/mywebbrowser.h"
#include "mediainfo/properties.h"
#include "testmedia.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QImage>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace {

// A page long and wide enough to need scrolling in a small view.
QString longPage()
{
    QString page = QStringLiteral("<html><body><pre>");
    for (int i = 0; i < 200; ++i)
        page += QStringLiteral("line %1 %2\r").arg(i).arg(QString(300, u'x'));
    return page + QStringLiteral("</pre></body></html>");
}

QTextBlock findBlock(const QTextDocument *document, const QString &text)
{
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
        if (b.text() == text)
            return b;
    return {};
}

int countPixels(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff))
                ++count;
    return count;
}

} // namespace

class TestFileInfo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_clip;
    QMainWindow *m_main = nullptr;
    TFileInfo *m_info = nullptr;

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void windowLooksAsDescribed();
    void showOverCentresAndRaises();
    void closingHidesAndKeepsTheWindow();
    void setfilenameReplacesThePage();
    void pageShowsLinesGroupsAndLegends();
    void switchesAreOffByDefault();
    void noContextMenu();
    void ctrlKeysAreSwallowedPlainKeysReachTheView();
    void noFrameNoScrollBars();
    void rendersThePathBoxAndGroups();
};

void TestFileInfo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_clip = m_dir.filePath(QStringLiteral("holiday clip.mp4"));
    QVERIFY(TestMedia::make(m_clip, {2.0,
                                     true,
                                     true,
                                     {"-c:v", "mpeg4", "-c:a", "libmp3lame", "-b:a", "128k", "-ac", "2",
                                      "-metadata", "title=Harbour at Dawn", "-metadata",
                                      "copyright=(c) 2024 Ana Brel", "-metadata", "genre=Ambient"}}));
    m_main = new QMainWindow;
    m_main->setGeometry(100, 80, 800, 600);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
    m_info = new TFileInfo(m_main);
}

void TestFileInfo::cleanupTestCase()
{
    delete m_main; // takes the File Properties window with it
}

void TestFileInfo::init()
{
    m_info->hide();
    m_info->WebBrowser->setContextMenuEnabled(false);
    m_info->WebBrowser->setAcceleratorsEnabled(false);
    m_info->WebBrowser->setBorder3DEnabled(false);
    m_info->WebBrowser->setScrollEnabled(false);
}

void TestFileInfo::windowLooksAsDescribed()
{
    QCOMPARE(m_info->windowTitle(), QStringLiteral("File Properties"));
    QVERIFY(m_info->isWindow());
    QCOMPARE(m_info->parentWidget(), m_main);
    const Qt::WindowFlags flags = m_info->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QVERIFY(!m_info->windowIcon().isNull());
    QCOMPARE(m_info->size(), QSize(437, 372));
    // A dialog of the main window (no task-bar entry), the view above a Close button, both growing with it.
    QCOMPARE(m_info->windowType(), Qt::Dialog);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    const auto *buttons = m_info->findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
    QVERIFY(buttons);
    QCOMPARE(m_info->WebBrowser->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(m_info->WebBrowser->width(), m_info->width());
    QVERIFY(buttons->geometry().top() >= m_info->WebBrowser->geometry().bottom());
    m_info->resize(600, 500);
    QTRY_COMPARE(m_info->WebBrowser->width(), 600);
    m_info->resize(437, 372);
    // Esc and Close close it.
    QTest::keyClick(m_info, Qt::Key_Escape);
    QTRY_VERIFY(!m_info->isVisible());
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    buttons->button(QDialogButtonBox::Close)->click();
    QTRY_VERIFY(!m_info->isVisible());

    // A window of its own selects and copies its report.
    TFileInfo fresh(m_main);
    fresh.setfilename(m_clip);
    fresh.showOver();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    QTest::keyClick(fresh.WebBrowser, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(fresh.WebBrowser, Qt::Key_C, Qt::ControlModifier);
    QVERIFY2(QGuiApplication::clipboard()->text().contains(QStringLiteral("Harbour at Dawn")),
             qPrintable(QGuiApplication::clipboard()->text().left(200)));
}

void TestFileInfo::showOverCentresAndRaises()
{
    m_info->setfilename(m_clip);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    QVERIFY(m_info->isVisible());
    QVERIFY(!m_info->isModal());
    const QPoint delta = m_info->frameGeometry().center() - m_main->frameGeometry().center();
    QVERIFY2(delta.manhattanLength() <= 2,
             qPrintable(QStringLiteral("off by %1,%2").arg(delta.x()).arg(delta.y())));
}

void TestFileInfo::closingHidesAndKeepsTheWindow()
{
    QPointer<TFileInfo> guard(m_info);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    QVERIFY(m_info->close());
    QVERIFY(!m_info->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard);
    QVERIFY(!m_info->testAttribute(Qt::WA_QuitOnClose));
    m_info->showOver();
    QVERIFY(m_info->isVisible());
}

void TestFileInfo::setfilenameReplacesThePage()
{
    m_info->setfilename(m_clip);
    QString text = m_info->WebBrowser->toPlainText();
    QVERIFY(text.contains(m_clip));
    QVERIFY(text.contains(QStringLiteral("Harbour at Dawn")));

    const QString missing = m_dir.filePath(QStringLiteral("removed.avi"));
    m_info->setfilename(missing);
    text = m_info->WebBrowser->toPlainText();
    QVERIFY(text.contains(missing));
    QVERIFY(!text.contains(m_clip));
    QVERIFY(!text.contains(QStringLiteral("Harbour at Dawn")));
    QVERIFY(text.contains(QStringLiteral("  Sample Rate:      0\n")));
    // Setting a file does not show the window.
    QVERIFY(!m_info->isVisible());
}

void TestFileInfo::pageShowsLinesGroupsAndLegends()
{
    m_info->setfilename(m_clip);
    const QTextDocument *document = m_info->WebBrowser->document();
    const QString text = m_info->WebBrowser->toPlainText();
    // Each carriage return of the report became a line of its own.
    QVERIFY(text.contains(QStringLiteral("  Format:           MPEG-4 Visual\n  Bitrate:          ")));
    QVERIFY(text.contains(
        QStringLiteral("  Sample Rate:      44100\n  Channels:         2\n  Bitrate:          128 kbps")));
    QVERIFY(text.contains(
        QStringLiteral("  Title:    Harbour at Dawn\n  Copyright:(c) 2024 Ana Brel\n  Genre:    Ambient")));
    QVERIFY(!text.contains(u'\r'));

    for (const QString &legend :
         {QStringLiteral("Video Stream:"), QStringLiteral("Audio Stream:"), QStringLiteral("Metadata")}) {
        const QTextBlock block = findBlock(document, legend);
        QVERIFY2(block.isValid(), qPrintable(legend));
        QVERIFY(block.blockFormat().alignment().testFlag(Qt::AlignHCenter));
        const QTextCharFormat format = block.begin().fragment().charFormat();
        QCOMPARE(format.foreground().color(), QColor(0x00, 0x99, 0xcc));
        QVERIFY(format.fontWeight() >= QFont::Bold);
    }
    const QTextBlock path = findBlock(document, m_clip);
    QVERIFY(path.isValid());
    QVERIFY(path.blockFormat().alignment().testFlag(Qt::AlignHCenter));
}

void TestFileInfo::switchesAreOffByDefault()
{
    TMyWebBrowser view;
    for (const char *name :
         {"ContextMenuEnabled", "AcceleratorsEnabled", "Border3DEnabled", "ScrollEnabled"}) {
        const QVariant value = view.property(name);
        QVERIFY2(value.isValid(), name);
        QCOMPARE(value.toBool(), false);
        QVERIFY(view.setProperty(name, true));
        QCOMPARE(view.property(name).toBool(), true);
    }
}

void TestFileInfo::noContextMenu()
{
    TMyWebBrowser *view = m_info->WebBrowser;
    m_info->setfilename(m_clip);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    const QPoint at(40, 40);
    auto rightClick = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &event);
    };
    rightClick();
    QCOMPARE(QApplication::activePopupWidget(), nullptr);

    // The same right-click with the switch on opens the view's own menu.
    view->setContextMenuEnabled(true);
    rightClick();
    QWidget *popup = QApplication::activePopupWidget();
    QVERIFY(popup);
    popup->close();
}

void TestFileInfo::ctrlKeysAreSwallowedPlainKeysReachTheView()
{
    TMyWebBrowser view;
    view.resize(200, 100);
    loadhtml(longPage(), &view);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setFocus();

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(!view.textCursor().hasSelection());
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view.verticalScrollBar()->value(), 0);

    QTest::keyClick(&view, Qt::Key_Space);
    QVERIFY(view.verticalScrollBar()->value() > 0);
    QTest::keyClick(&view, Qt::Key_Home);
    QCOMPARE(view.verticalScrollBar()->value(), 0);

    // With shortcuts on, the same Ctrl+A selects: the view does get it otherwise.
    view.setAcceleratorsEnabled(true);
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(view.textCursor().hasSelection());
}

void TestFileInfo::noFrameNoScrollBars()
{
    TMyWebBrowser *view = m_info->WebBrowser;
    loadhtml(longPage(), view);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    QCOMPARE(view->frameShape(), QFrame::NoFrame);
    QCOMPARE(view->frameWidth(), 0);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(view->verticalScrollBar()->maximum() > 0); // the page is longer than the view
    QVERIFY(!view->verticalScrollBar()->isVisible());
    QVERIFY(!view->horizontalScrollBar()->isVisible());

    view->setBorder3DEnabled(true);
    view->setScrollEnabled(true);
    QVERIFY(view->frameWidth() > 0);
    QTRY_VERIFY(view->verticalScrollBar()->isVisible());
}

void TestFileInfo::rendersThePathBoxAndGroups()
{
    m_info->setfilename(m_clip);
    m_info->showOver();
    QVERIFY(QTest::qWaitForWindowExposed(m_info));
    const QImage image = m_info->grab().toImage();
    const QString shot = qEnvironmentVariable("TOLVANE_SCREENSHOT");
    if (!shot.isEmpty())
        QVERIFY(image.save(shot));
    // The grey path box and the light borders of the box and the three groups.
    QVERIFY(countPixels(image, qRgb(0xee, 0xee, 0xee)) > 2000);
    QVERIFY(countPixels(image, qRgb(0xdd, 0xdd, 0xdd)) > 4 * 4 * 400);
}

QTEST_MAIN(TestFileInfo)
#include "tst_fileinfo.moc"
