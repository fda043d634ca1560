#include "apptest.h"
#include "dialogrecorder.h"
#include "testmedia.h"

#include "app/filelist.h"
#include "app/mainform.h"
#include "batch/batchtexts.h"
#include "mediainfo/mediainfodll.h"
#include "platform/environment.h"
#include "settings/config.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
QTemporaryDir *media = nullptr;

QString clip(const QString &name)
{
    return media->filePath(name);
}

// A shell script in bin that the batch runs instead of the encoder.
void useFakeEncoder(const QTemporaryDir &bin, const QByteArray &body)
{
    const QString fake = bin.filePath(QStringLiteral("fake-encoder"));
    QFile script(fake);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n" + body);
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    Environment::setEncoderPathForTesting(fake);
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

public:
    static void initMain() { AppTest::useTemporaryConfigHome(); }

private:
    QTemporaryDir m_out;

    std::unique_ptr<Tmainform> open(const QStringList &paths, const RunOverrides &overrides = {})
    {
        return AppTest::openForBatch(paths, m_out.path(), overrides);
    }

    QString out(const QString &name) const { return m_out.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        media = new QTemporaryDir;
        QVERIFY(TestMedia::make(clip(QStringLiteral("one.avi")), {3.0, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("two.avi")), {2.0, true, true, {}}));
        QVERIFY(
            TestMedia::make(clip(QStringLiteral("long.mkv")), {90.0, false, true, {"-c:a", "pcm_s16le"}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("mute.avi")), {2.0, true, false, {}}));
        QFile broken(clip(QStringLiteral("broken.avi")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("this is no video at all");
    }
    void cleanupTestCase() { delete media; }
    void init()
    {
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
        Environment::setEncoderPathForTesting(QString());
    }

    void checksBeforeTheBatch()
    {
        DialogRecorder dialogs;
        auto w = open({});
        cfg.output = m_out.filePath(QStringLiteral("missing"));
        w->Convert();
        QCOMPARE(dialogs.requests.constLast().text,
                 QStringLiteral("Output folder does not exists! Please select another folder."));
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Error!"));
        QVERIFY(dialogs.requests.constLast().owner == nullptr);
        cfg.samefolder = true; // then the output folder does not matter
        w->Convert();
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Warning!"));
        w->addfile(clip(QStringLiteral("one.avi")));
        QTemporaryDir bin;
        useFakeEncoder(bin, "exec sleep 60\n");
        w->Convert();
        QVERIFY(w->isBusy());
        w->Convert();
        QCOMPARE(dialogs.requests.constLast().text, QStringLiteral("Conversion already started"));
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Operation in progress"));
        w->Cancel();
        QTRY_VERIFY(!w->isBusy());
        cfg.samefolder = false;
    }

    void brokenFileInTheMiddle()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi")), clip(QStringLiteral("broken.avi")),
                       clip(QStringLiteral("two.avi"))});
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Failed", "Done!"}));
        QVERIFY(QFile::exists(out(QStringLiteral("one.mp3"))));
        QVERIFY(!QFile::exists(out(QStringLiteral("broken.mp3"))));
        QVERIFY(QFile::exists(out(QStringLiteral("two.mp3"))));
        QVERIFY(!w->files->topLevelItem(1)->toolTip(4).isEmpty());
        QCOMPARE(w->ProgressBar->value(), 0);

        // The output is what the settings asked for.
        TMediaInfoDll probe(out(QStringLiteral("one.mp3")));
        QCOMPARE(probe.GetAudioSamplingRate(0), 44100);
        QCOMPARE(probe.GetAudioChannels(0), 2);
        QVERIFY(qAbs(probe.GetAudioBitRate(0) - 128000) <= 6400);
    }

    void wavAndMp3OptionsReachTheEncoder()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi"))});
        cfg.mp3bitrate = 9; // 64k
        cfg.mp3mode = 0;
        cfg.mp3srate = 3; // 22050
        QVERIFY(AppTest::runBatch(w.get()));
        {
            TMediaInfoDll probe(out(QStringLiteral("one.mp3")));
            QCOMPARE(probe.GetAudioSamplingRate(0), 22050);
            QCOMPARE(probe.GetAudioChannels(0), 1);
            QVERIFY(qAbs(probe.GetAudioBitRate(0) - 64000) <= 3200);
        }
        cfg.codec = 1;
        cfg.wavmode = 1;
        cfg.wavsrate = 4; // 16000
        QVERIFY(AppTest::runBatch(w.get()));
        TMediaInfoDll probe(out(QStringLiteral("one.wav")));
        QCOMPARE(probe.GetAudioSamplingRate(0), 16000);
        QCOMPARE(probe.GetAudioChannels(0), 2);
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Done!"});
    }

    void sameFolderWritesBesideTheSource()
    {
        QTemporaryDir src;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("one.avi")),
                                  src.filePath(QStringLiteral("clip.final.avi"))));
        DialogRecorder dialogs;
        auto w = open({src.filePath(QStringLiteral("clip.final.avi"))});
        cfg.samefolder = true;
        cfg.output = QStringLiteral("/nonexistent");
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(QFile::exists(src.filePath(QStringLiteral("clip.final.mp3"))));
        cfg.samefolder = false;
    }

    void formatChangedDuringABatchAppliesToTheNextFile()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi")), clip(QStringLiteral("two.avi"))});
        AppTest::Trigger t([&] {
            if (w->files->topLevelItem(0)->text(4) != QLatin1String("Processing..."))
                return false;
            w->formatbox->setCurrentIndex(1);
            w->formatboxChange();
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QVERIFY(QFile::exists(out(QStringLiteral("one.mp3"))));
        QVERIFY(QFile::exists(out(QStringLiteral("two.wav"))));
        QVERIFY(!QFile::exists(out(QStringLiteral("two.mp3"))));
    }

    void stopDuringTheSecondFile()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi")), clip(QStringLiteral("long.mkv")),
                       clip(QStringLiteral("two.avi"))});
        AppTest::Trigger t([&] {
            if (w->files->topLevelItem(1)->text(4) != QLatin1String("Processing..."))
                return false;
            w->Cancel();
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Stopped", "Ready"}));
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3")))); // its cut output is gone
        QVERIFY(!QFile::exists(out(QStringLiteral("two.mp3"))));
        // The next batch starts again at the first row.
        t.stop();
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Done!", "Done!"}));
    }

    void overwriteQuestion()
    {
        QFile existing(out(QStringLiteral("one.mp3")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();

        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi"))});
        cfg.askoverwrite = true;
        // Yes: overwritten.
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Yes, {}};
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("This file already exists. Overwrite?"));
        QCOMPARE(dialogs.requests.at(0).caption, QStringLiteral("Confirmation"));
        QCOMPARE(dialogs.requests.at(0).buttons, Dialogs::Buttons::YesNo);
        QVERIFY(QFileInfo(out(QStringLiteral("one.mp3"))).size() > 1000);

        // No, then another name: written there; the row keeps its own path.
        dialogs.requests.clear();
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::No, {}}
                        << Dialogs::Reply{Dialogs::Answer::Ok, {out(QStringLiteral("renamed.mp3"))}};
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(dialogs.requests.at(1).kind, Dialogs::Kind::SaveFile);
        QCOMPARE(dialogs.requests.at(1).filter, QStringLiteral("MP3 files (*.mp3)|*.mp3"));
        QCOMPARE(dialogs.requests.at(1).defaultSuffix, QStringLiteral("mp3"));
        QCOMPARE(dialogs.requests.at(1).directory, m_out.path());
        QVERIFY(QFile::exists(out(QStringLiteral("renamed.mp3"))));
        QCOMPARE(w->files->topLevelItem(0)->text(2), clip(QStringLiteral("one.avi")));

        // No, then cancel: the person's answer stands, the existing file stays as it was.
        QVERIFY(existing.open(QIODevice::WriteOnly | QIODevice::Truncate));
        existing.write("old");
        existing.close();
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::No, {}} << Dialogs::Reply{};
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Skipped"});
        QCOMPARE(existing.size(), 3);

        // Stop pressed while the question is open stops the batch; nothing is written.
        Dialogs::setHandler([&](const Dialogs::Request &) {
            w->Cancel();
            return Dialogs::Reply{Dialogs::Answer::Yes, {}};
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(existing.size(), 3);
        QVERIFY(
            QDir(m_out.path()).entryList({QStringLiteral(".*.part")}, QDir::Hidden | QDir::Files).isEmpty());
    }

    // The bar follows a one-job conversion, and the output folder opens at the end when asked to.
    void progressAndTheOpenedFolder()
    {
        // Halfway reported for a while, whatever the machine's speed; then the real encoder.
        QTemporaryDir bin;
        useFakeEncoder(bin, "echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s' >&2\n"
                            "sleep 0.3; echo 'size= 1kB time=00:00:05.00 bitrate=1kbits/s' >&2; sleep 0.3\n"
                            "exec ffmpeg \"$@\"\n");
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi"))});
        cfg.openfolder = true;
        QList<int> values;
        connect(w->ProgressBar, &QProgressBar::valueChanged, this, [&values](int v) { values << v; });
        QVERIFY(AppTest::runBatch(w.get()));
        cfg.openfolder = false;
        QVERIFY2(std::any_of(values.cbegin(), values.cend(), [](int v) { return v > 0 && v < 100; }),
                 qPrintable(QString::number(values.size())));
        QCOMPARE(dialogs.launches.size(), 1);
        QCOMPARE(dialogs.launches.at(0).target, m_out.path());
    }

    // Deleting rows in any order while the batch runs never skips a row that is still waiting.
    void deletionsNeverSkipARow()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi")), clip(QStringLiteral("long.mkv")),
                       clip(QStringLiteral("two.avi")), clip(QStringLiteral("mute.avi")),
                       clip(QStringLiteral("broken.avi"))});
        AppTest::Trigger t([&] {
            if (w->files->topLevelItem(1)->text(4) != QLatin1String("Processing..."))
                return false;
            for (int row : {1, 0, 1}) { // the running row, an earlier one, then a later one (mute)
                w->files->clearSelection();
                w->files->topLevelItem(row)->setSelected(true);
                w->Delete();
            }
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::columnTexts(w->files, 0), (QStringList{"two", "broken"}));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Done!", "Failed"}));
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3"))));
        QVERIFY(
            QDir(m_out.path()).entryList({QStringLiteral(".*.part")}, QDir::Hidden | QDir::Files).isEmpty());
    }

    // A file that failed on its own before Stop keeps its failure; only the cut one is Stopped.
    void failureBeforeStopStaysAFailure()
    {
        // An encoder that fails at once on the broken file and runs until stopped on the other.
        QTemporaryDir bin;
        useFakeEncoder(bin, "case \"$*\" in *broken*) echo 'Invalid data found' >&2; exit 1;; esac\n"
                            "exec sleep 60\n");
        DialogRecorder dialogs;
        auto w =
            open({clip(QStringLiteral("broken.avi")), clip(QStringLiteral("long.mkv"))}, RunOverrides{2, {}});
        AppTest::Trigger t([&] {
            if (w->files->topLevelItem(1)->text(4).isEmpty() ||
                !w->files->topLevelItem(1)->text(4).startsWith(QLatin1String("Processing")))
                return false;
            // The broken file's encoder ends while the main thread is held; its report comes after Stop.
            QThread::msleep(1500);
            w->Cancel();
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Failed", "Stopped"}));
        QVERIFY(!w->files->topLevelItem(0)->toolTip(4).isEmpty());
    }

    void rowsChangedDuringABatch()
    {
        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("long.mkv")), clip(QStringLiteral("one.avi")),
                       clip(QStringLiteral("two.avi")), clip(QStringLiteral("mute.avi"))});
        // While the first runs, move the last row to the top and delete the running one.
        AppTest::Trigger t([&] {
            if (w->files->topLevelItem(0)->text(4) != QLatin1String("Processing..."))
                return false;
            w->files->topLevelItem(3)->setSelected(true);
            w->filesDragDrop(w->files->visualItemRect(w->files->topLevelItem(0)).center());
            w->files->topLevelItem(1)->setSelected(true); // the running row, now second
            w->Delete();
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        // mute, one, two: the running row is gone; the batch went on with the row that followed it.
        QCOMPARE(w->files->topLevelItem(0)->text(0), QStringLiteral("mute"));
        QCOMPARE(AppTest::statuses(w->files), (QStringList{"Ready", "Done!", "Done!"}));

        // Clear All during a batch ends it without a crash.
        AppTest::Trigger c([&] {
            if (w->files->topLevelItemCount() == 0 ||
                w->files->topLevelItem(1)->text(4) != QLatin1String("Processing..."))
                return false;
            w->Clear();
            return true;
        });
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(w->files->topLevelItemCount(), 0);
    }

    void failedFileRemovesOnlyWhatItWrote()
    {
        // An encoder that writes its output and then fails.
        QTemporaryDir bin;
        useFakeEncoder(bin, "for last; do :; done\n"
                            "if [ \"$FAKE_MODE\" = write ]; then echo partial > \"$last\"; fi\n"
                            "echo 'Error while encoding: disk full' >&2\nexit 1\n");

        DialogRecorder dialogs;
        auto w = open({clip(QStringLiteral("one.avi"))});
        qputenv("FAKE_MODE", "write");
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Failed"});
        QVERIFY(!QFile::exists(out(QStringLiteral("one.mp3"))));
        QVERIFY(w->files->topLevelItem(0)->toolTip(4).contains(QStringLiteral("disk full")));

        // A file it did not touch stays.
        QFile keep(out(QStringLiteral("one.mp3")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("user's file");
        keep.close();
        qputenv("FAKE_MODE", "none");
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Failed"});
        QVERIFY(QFile::exists(out(QStringLiteral("one.mp3"))));

        // A missing encoder says so.
        Environment::setEncoderPathForTesting(bin.filePath(QStringLiteral("no-such-encoder")));
        QVERIFY(AppTest::runBatch(w.get()));
        QCOMPARE(AppTest::statuses(w->files), QStringList{"Failed"});
        QVERIFY(w->files->topLevelItem(0)->toolTip(4).contains(QStringLiteral("no-such-encoder")));
    }

    void unattendedRunOfTheProgram()
    {
        QTemporaryDir home;
        QTemporaryDir dir;
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("one.avi")), dir.filePath(QStringLiteral("a.avi"))));
        QVERIFY(AppTest::copyFile(clip(QStringLiteral("two.avi")), dir.filePath(QStringLiteral("b.avi"))));
        QDir().mkpath(home.filePath(QStringLiteral("Morvexa")));
        QFile settings(home.filePath(QStringLiteral("Morvexa/quorrel.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Settings]\nsamefolder=1\n");
        settings.close();

        QProcess p;
        p.setProcessEnvironment(AppTest::headlessEnvironment(home.path()));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/AUTOMATE"), dir.path()});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a.mp3"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("b.mp3"))));
        const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).startsWith("Done!\t"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("askoverwrite")); // written at the normal close
        settings.close();

        QVERIFY(AppTest::copyFile(clip(QStringLiteral("broken.avi")), dir.filePath(QStringLiteral("c.avi"))));
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/automate"), dir.path()});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 2);
        const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(output.contains(QStringLiteral("Failed\t") + dir.filePath(QStringLiteral("c.avi")) +
                                QLatin1Char('\t')));
        QCOMPARE(output.count(QStringLiteral("Skipped\t")), 2); // nobody said yes to overwriting

        // A batch that cannot start ends the run as failed rather than waiting for nobody.
        QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write("[Settings]\nsamefolder=0\noutput=/nonexistent/folder\n");
        settings.close();
        p.start(QStringLiteral(TOLVANE_EXECUTABLE), {QStringLiteral("/AUTOMATE"), dir.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains(
            "Output folder does not exists! Please select another folder."));
    }
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
