// The batch without a window: real encoder, real files, one file or several at a time.
#include "batch/batchengine.h"
#include "batch/conversionqueue.h"
#include "dialogrecorder.h"
#include "mediainfo/mediainfodll.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "settings/config.h"
#include "testfiles.h"
#include "testmedia.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
RunOverrides withJobs(int jobs)
{
    RunOverrides overrides;
    overrides.jobs = jobs;
    return overrides;
}

// A conversion queue and its batch as the window holds them, with what the batch reported.
struct BatchRun
{
    ConversionQueue queue;
    BatchEngine engine;
    DialogQuestions questions; // the window's: through the dialogs
    QList<int> percents;
    QString progressText;

    BatchRun(const config &settings, const QStringList &files, const RunOverrides &overrides = {})
        : engine(queue, settings, overrides)
    {
        for (const QString &f : files)
            queue.addFile(f);
        engine.setQuestions(&questions);
        QObject::connect(&engine, &BatchEngine::progressChanged, &engine,
                         [this](int percent, const QString &text) {
                             percents << percent;
                             progressText = text;
                         });
    }

    // Starts the batch and waits until it has ended.
    bool run(int timeoutMsecs = 180000)
    {
        engine.start();
        return QTest::qWaitFor([this] { return !engine.isRunning(); }, timeoutMsecs);
    }

    // Runs the action once the item now at this place has started, on the next turn of the event loop,
    // as a person's click would come.
    void onceStarted(int index, std::function<void()> action)
    {
        const int id = queue.at(index).id;
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            &engine, &BatchEngine::itemStarted, &engine,
            [id, connection, action = std::move(action)](int started) {
                if (started != id)
                    return;
                QObject::disconnect(*connection);
                action();
            },
            Qt::QueuedConnection);
    }

    QStringList statuses() const
    {
        QStringList s;
        for (int i = 0; i < queue.size(); ++i)
            s << queue.at(i).status;
        return s;
    }
    // The names the list shows: the sources without folder and extension.
    QStringList names() const
    {
        QStringList n;
        for (int i = 0; i < queue.size(); ++i)
            n << QFileInfo(queue.at(i).source).completeBaseName();
        return n;
    }
    QString reason(int index) const { return queue.at(index).reason; }
    void remove(int index) { queue.remove(queue.at(index).id); }
};

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

QStringList filesIn(const QString &dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files);
    names.sort();
    return names;
}

// Temporary outputs that outlived their file.
QStringList leftovers(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral(".*.part")}, QDir::Hidden | QDir::Files);
}

} // namespace

class TestBatchEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;
    QTemporaryDir m_out;
    config m_settings;

    QString clip(const QString &name) const { return m_media.filePath(name); }
    QString out(const QString &name) const { return m_out.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestMedia::make(clip(QStringLiteral("one.avi")), {3.0, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("two.avi")), {2.0, true, true, {}}));
        QVERIFY(
            TestMedia::make(clip(QStringLiteral("long.mkv")), {90.0, false, true, {"-c:a", "pcm_s16le"}}));
        for (const char *name : {"three", "four", "five"})
            QVERIFY(TestMedia::make(clip(QString::fromLatin1(name) + QStringLiteral(".avi")),
                                    {1.5, true, true, {}}));
        QVERIFY(TestMedia::make(clip(QStringLiteral("mute.avi")), {2.0, true, false, {}}));
        TestFiles::write(clip(QStringLiteral("broken.avi")), "this is no video at all");
        QDir().mkpath(clip(QStringLiteral("a")));
        QDir().mkpath(clip(QStringLiteral("b")));
        QVERIFY(QFile::copy(clip(QStringLiteral("two.avi")), clip(QStringLiteral("a/clip.avi"))));
        QVERIFY(TestMedia::make(clip(QStringLiteral("b/clip.mkv")), {2.0, true, true, {}}));
    }
    void init()
    {
        QDir(m_out.path()).removeRecursively();
        QDir().mkpath(m_out.path());
        // No questions, outputs into the test's folder.
        m_settings = config();
        m_settings.output = m_out.path();
        m_settings.askoverwrite = false;
        Environment::setEncoderPathForTesting(QString());
    }

    void checksBeforeTheBatch()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {});
        m_settings.output = out(QStringLiteral("missing"));
        b.engine.start();
        QCOMPARE(dialogs.requests.constLast().text,
                 QStringLiteral("Output folder does not exists! Please select another folder."));
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Error!"));
        QVERIFY(dialogs.requests.constLast().owner == nullptr);
        m_settings.samefolder = true; // then the output folder does not matter
        b.engine.start();
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Warning!"));
        b.queue.addFile(clip(QStringLiteral("one.avi")));
        QTemporaryDir bin;
        useFakeEncoder(bin, "exec sleep 60\n");
        b.engine.start();
        QVERIFY(b.engine.isRunning());
        b.engine.start();
        QCOMPARE(dialogs.requests.constLast().text, QStringLiteral("Conversion already started"));
        QCOMPARE(dialogs.requests.constLast().caption, QStringLiteral("Operation in progress"));
        b.engine.stop();
        QTRY_VERIFY(!b.engine.isRunning());
    }

    // The same results whatever the number of jobs; a broken file among the others fails alone.
    void sameResultsWithOneTwoAndThreeJobs_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
    }
    void sameResultsWithOneTwoAndThreeJobs()
    {
        QFETCH(int, jobs);
        DialogRecorder dialogs;
        BatchRun b(m_settings,
                   {clip(QStringLiteral("one.avi")), clip(QStringLiteral("two.avi")),
                    clip(QStringLiteral("broken.avi")), clip(QStringLiteral("three.avi")),
                    clip(QStringLiteral("four.avi")), clip(QStringLiteral("five.avi"))},
                   withJobs(jobs));
        QCOMPARE(b.engine.effectiveJobs(), jobs);
        // As a person sees the list: between two turns of the event loop. Within one, the next file
        // starts before the one that ended has been checked and shows its end.
        int mostRunning = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
            mostRunning = qMax(mostRunning, int(b.statuses().filter(QStringLiteral("Processing")).size()));
        });
        watch.start(0);
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Done!", "Failed", "Done!", "Done!", "Done!"}));
        QVERIFY(mostRunning <= jobs);
        QCOMPARE(filesIn(m_out.path()),
                 (QStringList{"five.mp3", "four.mp3", "one.mp3", "three.mp3", "two.mp3"}));
        QVERIFY(!b.reason(2).isEmpty());
        QVERIFY(b.progressText.startsWith(QStringLiteral("5 converted, 1 failed in ")));

        // A video without sound fails before any encoder is started for it.
        BatchRun mute(m_settings, {clip(QStringLiteral("mute.avi"))}, withJobs(jobs));
        int started = 0;
        QObject::connect(&mute.engine, &BatchEngine::itemStarted, &mute.engine, [&started] { ++started; });
        QVERIFY(mute.run());
        QCOMPARE(mute.statuses(), QStringList{"Failed"});
        QCOMPARE(mute.reason(0), QStringLiteral("no audio stream"));
        QCOMPARE(started, 0);
        QCOMPARE(b.percents.constLast(), 0);

        // The output is what the settings asked for.
        TMediaInfoDll probe(out(QStringLiteral("one.mp3")));
        QCOMPARE(probe.GetAudioSamplingRate(0), 44100);
        QCOMPARE(probe.GetAudioChannels(0), 2);
        QVERIFY(qAbs(probe.GetAudioBitRate(0) - 128000) <= 6400);
    }

    void wavAndMp3OptionsReachTheEncoder()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi"))});
        m_settings.mp3bitrate = 9; // 64k
        m_settings.mp3mode = 0;
        m_settings.mp3srate = 3; // 22050
        QVERIFY(b.run());
        {
            TMediaInfoDll probe(out(QStringLiteral("one.mp3")));
            QCOMPARE(probe.GetAudioSamplingRate(0), 22050);
            QCOMPARE(probe.GetAudioChannels(0), 1);
            QVERIFY(qAbs(probe.GetAudioBitRate(0) - 64000) <= 3200);
        }
        m_settings.codec = 1;
        m_settings.wavmode = 1;
        m_settings.wavsrate = 4; // 16000
        QVERIFY(b.run());
        TMediaInfoDll probe(out(QStringLiteral("one.wav")));
        QCOMPARE(probe.GetAudioSamplingRate(0), 16000);
        QCOMPARE(probe.GetAudioChannels(0), 2);
        QCOMPARE(b.statuses(), QStringList{"Done!"});
    }

    void sameFolderWritesBesideTheSource()
    {
        QTemporaryDir src;
        QVERIFY(QFile::copy(clip(QStringLiteral("one.avi")), src.filePath(QStringLiteral("clip.final.avi"))));
        DialogRecorder dialogs;
        BatchRun b(m_settings, {src.filePath(QStringLiteral("clip.final.avi"))});
        m_settings.samefolder = true;
        m_settings.output = QStringLiteral("/nonexistent");
        QVERIFY(b.run());
        QVERIFY(QFile::exists(src.filePath(QStringLiteral("clip.final.mp3"))));

        // An MP3 converted to MP3 beside itself keeps the source and gets the next free name.
        const QString song = src.filePath(QStringLiteral("song.mp3"));
        QVERIFY(TestMedia::make(song, {1.0, false, true, {}}));
        const QByteArray before = TestFiles::read(song);
        BatchRun again(m_settings, {song});
        QVERIFY(again.run());
        QCOMPARE(again.statuses(), QStringList{"Done!"});
        QCOMPARE(TestFiles::read(song), before);
        QVERIFY(TMediaInfoDll(src.filePath(QStringLiteral("song (1).mp3"))).GetDuration() > 0);
    }

    void formatChangedDuringABatchAppliesToTheNextFile()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi")), clip(QStringLiteral("two.avi"))});
        b.onceStarted(0, [this] { m_settings.codec = 1; });
        QVERIFY(b.run());
        QVERIFY(QFile::exists(out(QStringLiteral("one.mp3"))));
        QVERIFY(QFile::exists(out(QStringLiteral("two.wav"))));
        QVERIFY(!QFile::exists(out(QStringLiteral("two.mp3"))));
    }

    void stopDuringTheSecondFile()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi")), clip(QStringLiteral("long.mkv")),
                                clip(QStringLiteral("two.avi"))});
        b.onceStarted(1, [&b] { b.engine.stop(); });
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Stopped", "Ready"}));
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3")))); // its cut output is gone
        QVERIFY(!QFile::exists(out(QStringLiteral("two.mp3"))));
        // The next batch starts again at the first item.
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Done!", "Done!"}));
    }

    void stopEndsEveryRunningFile()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings,
                   {clip(QStringLiteral("long.mkv")), clip(QStringLiteral("five.avi")),
                    clip(QStringLiteral("two.avi")), clip(QStringLiteral("three.avi"))},
                   withJobs(2));
        // Stop once the long file runs beside another one.
        b.onceStarted(1, [&b] { b.engine.stop(); });
        QVERIFY(b.run());
        const QStringList s = b.statuses();
        QCOMPARE(s.at(0), QStringLiteral("Stopped"));
        QVERIFY(s.at(1) == QLatin1String("Stopped") || s.at(1) == QLatin1String("Done!"));
        QVERIFY(s.filter(QStringLiteral("Processing")).isEmpty());
        QVERIFY(s.count(QStringLiteral("Ready")) >= 1);
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3"))));
        QCOMPARE(b.percents.constLast(), 0);
    }
    // A file that failed on its own before Stop keeps its failure; only the cut one is Stopped.
    void failureBeforeStopStaysAFailure()
    {
        // An encoder that fails at once on the broken file and runs until stopped on the other.
        QTemporaryDir bin;
        useFakeEncoder(bin, "case \"$*\" in *broken*) echo 'Invalid data found' >&2; exit 1;; esac\n"
                            "exec sleep 60\n");
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("broken.avi")), clip(QStringLiteral("long.mkv"))},
                   withJobs(2));
        b.onceStarted(1, [&b] {
            // The broken file's encoder ends while the main thread is held; its report comes after Stop.
            QThread::msleep(1500);
            b.engine.stop();
        });
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Failed", "Stopped"}));
        QVERIFY(!b.reason(0).isEmpty());
    }

    // Deleting items in any order while the batch runs never skips one that is still waiting.
    void deletionsNeverSkipAnItem()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi")), clip(QStringLiteral("long.mkv")),
                                clip(QStringLiteral("two.avi")), clip(QStringLiteral("mute.avi")),
                                clip(QStringLiteral("broken.avi"))});
        b.onceStarted(1, [&b] {
            for (int index : {1, 0, 1}) // the running item, an earlier one, then a later one (mute)
                b.remove(index);
        });
        QVERIFY(b.run());
        QCOMPARE(b.names(), (QStringList{"two", "broken"}));
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Failed"}));
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3"))));
        QVERIFY(leftovers(m_out.path()).isEmpty());
    }

    void itemsChangedDuringABatch()
    {
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("long.mkv")), clip(QStringLiteral("one.avi")),
                                clip(QStringLiteral("two.avi")), clip(QStringLiteral("mute.avi"))});
        // While the first runs, move the last item to the top and delete the running one.
        b.onceStarted(0, [&b] {
            b.queue.move(3, 0);
            b.remove(1); // the running item, now second
        });
        QVERIFY(b.run());
        // mute, one, two: the running item is gone; the batch went on with the item that followed it.
        QCOMPARE(b.names(), (QStringList{"mute", "one", "two"}));
        QCOMPARE(b.statuses(), (QStringList{"Ready", "Done!", "Done!"}));

        // Clearing the queue during a batch ends it without a crash.
        b.onceStarted(1, [&b] { b.queue.clear(); });
        QVERIFY(b.run());
        QCOMPARE(b.queue.size(), 0);

        // Running files stop as with Stop: nothing of theirs is written, and they are not counted.
        BatchRun c(m_settings, {clip(QStringLiteral("long.mkv")), clip(QStringLiteral("two.avi"))});
        c.onceStarted(0, [&c] { c.queue.clear(); });
        QVERIFY(c.run());
        QCOMPARE(c.engine.doneCount(), 0);
        QVERIFY(!QFile::exists(out(QStringLiteral("long.mp3"))));
        QVERIFY(leftovers(m_out.path()).isEmpty());
    }

    void existingOutputPolicies_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("written"); // the output that got the conversion, or none

        QTest::newRow("skip") << int(ExistingPolicy::Skip) << "Skipped" << QString();
        // The first free numbered name.
        QTest::newRow("keep both") << int(ExistingPolicy::Rename) << "Done!"
                                   << "one (2).mp3";
        QTest::newRow("overwrite") << int(ExistingPolicy::Overwrite) << "Done!"
                                   << "one.mp3";
    }
    void existingOutputPolicies()
    {
        QFETCH(int, policy);
        QFETCH(QString, status);
        QFETCH(QString, written);
        TestFiles::write(out(QStringLiteral("one.mp3")), "mine");
        TestFiles::write(out(QStringLiteral("one (1).mp3")), "also mine");
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi"))});
        m_settings.existing = policy;
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{status});
        QVERIFY(dialogs.requests.isEmpty());
        if (written != QLatin1String("one.mp3"))
            QCOMPARE(TestFiles::read(out(QStringLiteral("one.mp3"))), QByteArray("mine"));
        QCOMPARE(TestFiles::read(out(QStringLiteral("one (1).mp3"))), QByteArray("also mine"));
        if (!written.isEmpty())
            QVERIFY(QFileInfo(out(written)).size() > 1000);
    }

    void overwriteQuestion()
    {
        QFile existing(out(QStringLiteral("one.mp3")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();

        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi"))});
        m_settings.askoverwrite = true;
        m_settings.existing = int(ExistingPolicy::Skip); // the question comes instead of the policy
        // Yes: overwritten.
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::Yes, {}};
        QVERIFY(b.run());
        QCOMPARE(dialogs.requests.size(), 1);
        QCOMPARE(dialogs.requests.at(0).text, QStringLiteral("This file already exists. Overwrite?"));
        QCOMPARE(dialogs.requests.at(0).caption, QStringLiteral("Confirmation"));
        QCOMPARE(dialogs.requests.at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(b.statuses(), QStringList{"Done!"});
        QVERIFY(QFileInfo(out(QStringLiteral("one.mp3"))).size() > 1000);

        // No, then another name: written there; the item keeps its own path.
        dialogs.requests.clear();
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::No, {}}
                        << Dialogs::Reply{Dialogs::Answer::Ok, {out(QStringLiteral("renamed.mp3"))}};
        QVERIFY(b.run());
        QCOMPARE(dialogs.requests.at(1).kind, Dialogs::Kind::SaveFile);
        QCOMPARE(dialogs.requests.at(1).filter, QStringLiteral("MP3 files (*.mp3)|*.mp3"));
        QCOMPARE(dialogs.requests.at(1).defaultSuffix, QStringLiteral("mp3"));
        QCOMPARE(dialogs.requests.at(1).directory, m_out.path());
        QVERIFY(QFile::exists(out(QStringLiteral("renamed.mp3"))));
        QCOMPARE(b.queue.at(0).source, clip(QStringLiteral("one.avi")));

        // No, then cancel: the person's answer stands, the existing file stays as it was.
        QVERIFY(existing.open(QIODevice::WriteOnly | QIODevice::Truncate));
        existing.write("old");
        existing.close();
        dialogs.answers << Dialogs::Reply{Dialogs::Answer::No, {}} << Dialogs::Reply{};
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{"Skipped"});
        QCOMPARE(existing.size(), 3);

        // Stop pressed while the question is open stops the batch; nothing is written.
        Dialogs::setHandler([&b](const Dialogs::Request &) {
            b.engine.stop();
            return Dialogs::Reply{Dialogs::Answer::Yes, {}};
        });
        QVERIFY(b.run());
        QCOMPARE(existing.size(), 3);
        QVERIFY(leftovers(m_out.path()).isEmpty());
    }

    // Two sources of one name: the later one never replaces what this batch wrote, whatever the policy.
    void sameNameFromTwoFoldersKeepsBoth_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one job") << 1;
        QTest::newRow("two jobs") << 2;
    }
    void sameNameFromTwoFoldersKeepsBoth()
    {
        QFETCH(int, jobs);
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("a/clip.avi")), clip(QStringLiteral("b/clip.mkv"))},
                   withJobs(jobs));
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Done!"}));
        QCOMPARE(filesIn(m_out.path()), (QStringList{"clip (1).mp3", "clip.mp3"}));
    }

    // An added tree is mirrored under the output folder when asked, its own name included; a file added by
    // itself goes to the output folder.
    void keptFoldersMirrorTheAddedTree_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("kept") << true;
        QTest::newRow("flat, as before") << false;
    }
    void keptFoldersMirrorTheAddedTree()
    {
        QFETCH(bool, keep);
        const QString tree = m_out.filePath(QStringLiteral("in/added"));
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/sub/deeper")));
        for (const char *name : {"/a.avi", "/sub/b.avi", "/sub/deeper/c.avi"})
            QVERIFY(QFile::copy(clip(QStringLiteral("three.avi")), tree + QLatin1String(name)));
        m_settings.output = m_out.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(m_settings.output));
        m_settings.keepfolders = keep;
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("four.avi"))});
        b.queue.addFolder(tree + QStringLiteral("/")); // as a dialog may give it
        b.queue.scanFolders(true);
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), (QStringList{"Done!", "Done!", "Done!", "Done!"}));
        QStringList outputs;
        for (QDirIterator it(m_settings.output, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            outputs << it.next().mid(m_settings.output.size() + 1);
        outputs.sort();
        QCOMPARE(outputs,
                 keep ? (QStringList{"added/a.mp3", "added/sub/b.mp3", "added/sub/deeper/c.mp3", "four.mp3"})
                      : (QStringList{"a.mp3", "b.mp3", "c.mp3", "four.mp3"}));
    }

    // The percent follows a one-job conversion; the batch's end sets it back.
    void progressFollowsTheEncoder()
    {
        // Halfway reported for a while, whatever the machine's speed; then the real encoder.
        QTemporaryDir bin;
        useFakeEncoder(bin, "echo '  Duration: 00:00:10.00, start: 0.000000, bitrate: 1 kb/s' >&2\n"
                            "sleep 0.3; echo 'size= 1kB time=00:00:05.00 bitrate=1kbits/s' >&2; sleep 0.3\n"
                            "exec ffmpeg \"$@\"\n");
        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi"))});
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{"Done!"});
        QVERIFY2(std::any_of(b.percents.cbegin(), b.percents.cend(), [](int v) { return v > 0 && v < 100; }),
                 qPrintable(QString::number(b.percents.size())));
        QCOMPARE(b.percents.constLast(), 0);
        QVERIFY(b.progressText.startsWith(QStringLiteral("1 converted, 0 failed in ")));
    }

    void failedFileRemovesOnlyWhatItWrote()
    {
        // An encoder that writes its output and then fails.
        QTemporaryDir bin;
        useFakeEncoder(bin, "for last; do :; done\n"
                            "if [ \"$FAKE_MODE\" = write ]; then echo partial > \"$last\"; fi\n"
                            "echo 'Error while encoding: disk full' >&2\nexit 1\n");

        DialogRecorder dialogs;
        BatchRun b(m_settings, {clip(QStringLiteral("one.avi"))});
        qputenv("FAKE_MODE", "write");
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{"Failed"});
        QVERIFY(!QFile::exists(out(QStringLiteral("one.mp3"))));
        QVERIFY(b.reason(0).contains(QStringLiteral("disk full")));

        // A file it did not touch stays.
        TestFiles::write(out(QStringLiteral("one.mp3")), "user's file");
        qputenv("FAKE_MODE", "none");
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{"Failed"});
        QCOMPARE(TestFiles::read(out(QStringLiteral("one.mp3"))), QByteArray("user's file"));

        // A missing encoder is said once, and the batch does not start.
        Environment::setEncoderPathForTesting(bin.filePath(QStringLiteral("no-such-encoder")));
        b.queue.setStatus(b.queue.at(0).id, QStringLiteral("Ready"));
        dialogs.requests.clear();
        QVERIFY(b.run());
        QCOMPARE(b.statuses(), QStringList{"Ready"});
        QCOMPARE(dialogs.texts(),
                 QStringList{"ffmpeg was not found next to Tolvane or on PATH. Install it with "
                             "your package manager, e.g. sudo apt install ffmpeg."});
    }
};

QTEST_GUILESS_MAIN(TestBatchEngine)
#include "tst_batchengine.moc"
