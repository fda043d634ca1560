// The desktop is told when a batch ends while the window is not active: a notification service of the
// test's own on the session bus that dbus-run-session starts for it.
#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>
#include <QTest>

class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls; // "app: summary: body"

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        calls << QStringLiteral("%1: %2: %3 (%4)")
                     .arg(app, summary, body, hints.value(QStringLiteral("desktop-entry")).toString());
        return uint(calls.size());
    }
};

class TestNotification : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QTemporaryDir m_out;
    NotificationService m_service;

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no session bus: run under dbus-run-session");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(TestMedia::make(m_media.filePath(QStringLiteral("clip.avi")), {1.0, true, true, {}}));
    }

    void batchEndingUnseenIsTold()
    {
        DialogRecorder dialogs;
        auto w = AppTest::openForBatch({m_media.filePath(QStringLiteral("clip.avi"))}, m_out.path());
        // The person has gone to another window.
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QTRY_VERIFY(!w->isActiveWindow());
        QVERIFY(AppTest::runBatch(w.get()));
        QTRY_COMPARE(m_service.calls.size(), 1);
        QVERIFY2(m_service.calls.front().startsWith(
                     QLatin1String("Tolvane: Conversion finished: 1 converted, 0 failed in 0:0")),
                 qPrintable(m_service.calls.front()));
        QVERIFY(m_service.calls.front().endsWith(QLatin1String("(com.morvexa.Tolvane)")));

        // In front of the person, the window itself shows the end.
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        QVERIFY(AppTest::runBatch(w.get()));
        QTest::qWait(200);
        QCOMPARE(m_service.calls.size(), 1);
    }

    void convertAndStopFollowTheBatch()
    {
        DialogRecorder dialogs;
        auto w = AppTest::openForBatch({m_media.filePath(QStringLiteral("clip.avi"))}, m_out.path());
        QAction *convert = w->actionFor(QStringLiteral("Convert"));
        QAction *stop = w->actionFor(QStringLiteral("Stop"));
        QVERIFY(convert->isEnabled() && !stop->isEnabled());
        bool checked = false;
        QObject::connect(&w->engine(), &BatchEngine::itemStarted, w.get(), [&] {
            QVERIFY(!convert->isEnabled() && stop->isEnabled());
            checked = true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(checked);
        QVERIFY(convert->isEnabled() && !stop->isEnabled());
    }
};

QTEST_MAIN(TestNotification)
#include "tst_notification.moc"
