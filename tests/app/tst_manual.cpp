// The manual names every setting the settings window offers and every argument the program takes: a
// setting or an argument added without a word in the manual fails here.
#include "apptest.h"
#include "dialogrecorder.h"

#include "app/commandline.h"
#include "app/settingsform.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTest>
#include <QTextDocument>

namespace {
QString manualText()
{
    QFile file(qEnvironmentVariable("TOLVANE_TEST_SOURCE_DIR") + QStringLiteral("/../../docs/quorrel.html"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    return document.toPlainText().simplified();
}
} // namespace

class TestManual : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private Q_SLOTS:
    void namesEverySettingAndArgument()
    {
        const QString manual = manualText();
        QVERIFY2(manual.size() > 1000, "docs/quorrel.html not found");
        DialogRecorder dialogs;
        auto w = AppTest::openWindow();
        const auto *pages = AppTest::control<QStackedWidget>(AppTest::settingsForm(*w), "notebook");
        QVERIFY(pages);
        QStringList missing;
        const auto need = [&](QString caption) {
            caption = caption.remove(QLatin1Char('&')).trimmed();
            if (caption.endsWith(QLatin1Char(':')))
                caption.chop(1);
            caption = caption.trimmed();
            if (!caption.isEmpty() && !manual.contains(caption, Qt::CaseInsensitive) &&
                !missing.contains(caption))
                missing << caption;
        };
        // Every page but the last, About, which holds no setting.
        for (int i = 0; i + 1 < pages->count(); ++i) {
            for (const QLabel *label : pages->widget(i)->findChildren<QLabel *>()) {
                if (label->text().endsWith(QLatin1Char(':')))
                    need(label->text());
            }
            for (const QCheckBox *box : pages->widget(i)->findChildren<QCheckBox *>())
                need(box->text());
        }
        // The arguments as the usage text lists them.
        const QRegularExpression option(QStringLiteral("(?:^|\\s)(--[a-z-]+=?|/AUTOMATE)"));
        for (auto it = option.globalMatch(usageText()); it.hasNext();)
            need(it.next().captured(1));
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("not in the manual: ") + missing.join(QStringLiteral(" | "))));
    }
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
