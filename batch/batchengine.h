#pragma once

#include "encoding.h"
#include "pieces.h"

#include "mediainfo/sourceaudio.h"
#include "settings/config.h"

#include <QDateTime>

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

#include <future>
#include <memory>
#include <optional>
#include <vector>

class ConversionQueue;
struct QueueItem;
class TPipeConvert;

// Command-line choices that hold for one run only, over the stored settings.
struct RunOverrides
{
    int jobs = 0; // 0: the stored setting
    std::optional<ExistingPolicy> existing;
    std::optional<int> format; // a position in Options::formatNames()
    std::optional<int> track;  // Options::trackChoices(), with its languages
    QString trackLanguages;
    bool splitChapters = false;
};

// What the batch asks a person. Without one, nobody is there: a question counts as unanswered.
class BatchQuestions
{
public:
    virtual ~BatchQuestions() = default;
    // "This file already exists. Overwrite?"
    virtual bool overwrite(const QString &outfile) = 0;
    // Another name for the output; empty when none was chosen.
    virtual QString otherName(const QString &outdir, const QString &filter, const QString &suffix) = 0;
};

// Asks through the program's dialogs.
class DialogQuestions : public BatchQuestions
{
public:
    bool overwrite(const QString &outfile) override;
    QString otherName(const QString &outdir, const QString &filter, const QString &suffix) override;
};

// How one file of a batch ended.
struct ItemResult
{
    ItemResult() = default;
    ItemResult(int id, const QString &status, const QString &input, const QString &output,
               const QString &reason, bool copied = false)
        : id(id), status(status), input(input), output(output), reason(reason), copied(copied)
    {}

    int id = 0;
    QString status; // "Done!", "Failed", "Stopped" or "Skipped"
    QString input;
    QString output;
    QString reason;      // why it failed, in the encoder's words; for a file done, notes on how
    bool copied = false; // the audio was copied as it is, not re-encoded
    QStringList outputs; // when done in several pieces: each of them
};

// Converts the queue from its first item to its last, one file or several at a time. Settings are
// read afresh for every file started, so a change made during a batch applies to the next file.
class BatchEngine : public QObject
{
    Q_OBJECT
public:
    BatchEngine(ConversionQueue &queue, const config &settings, const RunOverrides &overrides = {},
                QObject *parent = nullptr);
    ~BatchEngine() override;

    // Nullptr: nobody answers.
    void setQuestions(BatchQuestions *questions) { m_questions = questions; }

    // Refuses with a message when the output folder is missing, the queue is empty or a batch runs.
    void start();
    // Stops running files and starts no more; a file stopped is "Stopped".
    void stop();
    bool isRunning() const { return m_running; }
    // Stop was given to the batch that runs or ran last.
    bool isStopping() const { return m_stop; }

    int effectiveJobs() const;
    // The stored settings with this run's choices over them.
    config effectiveSettings() const;
    ExistingPolicy effectiveExisting() const;

    // Counts of the batch that runs or ran last.
    int doneCount() const { return m_tally.done; }
    int failedCount() const { return m_tally.failed; }
    int stoppedCount() const { return m_tally.stopped; }
    // "12 converted, 1 failed in 4:31": how the last batch ended.
    QString summary() const { return m_summary; }
    // Reads a source on a thread of its own, so that its start later need not wait for the read.
    void readAheadOf(const QString &source);

    // Sources the batch has not reached.
    QStringList waitingSources() const;

Q_SIGNALS:
    void itemStarted(int id);
    // The percent of a running file, whatever its status text says.
    void itemProgress(int id, int percent);
    void itemFinished(const ItemResult &result);
    // The overall percent and the status line: counts and the time left.
    void progressChanged(int percent, const QString &text);
    void finished();

private:
public:
    struct PlannedOutput
    {
        QString outfile;
        bool replace = false; // an existing file is overwritten on purpose
    };

private:
    struct Job;
    struct Piece
    {
        Pieces::Piece piece;
        Encoding::Plan plan;
    };

    void itemLeaving(int id);
    void abandon(Job &job);
    int nextPosition() const;
    std::optional<PlannedOutput> planOutput(int id, const QString &infile, const QString &extension,
                                            const SourceAudio &source);
    std::optional<PlannedOutput> askAboutExisting(int id, const QString &infile, const QString &outfile,
                                                  const QString &outdir, const QString &extension);
    std::optional<std::vector<PlannedOutput>>
    planPieces(int id, const QString &infile, const SourceAudio &source, const std::vector<Piece> &pieces);
    // One output or several, named and with the existing-output choice applied; none when the file
    // ends here (skipped, failed or gone).
    std::optional<std::vector<PlannedOutput>>
    planOutputs(int id, const QString &infile, const SourceAudio &source, const std::vector<Piece> &pieces);
    // The folders and temporary names of the job's outputs; false when the file failed.
    bool makeOutputs(Job &job, const std::vector<PlannedOutput> &planned, const std::vector<Piece> &pieces);
    QString encoderArguments(const Job &job, const SourceAudio &source, const std::vector<Piece> &pieces,
                             const Encoding::Extras &shared) const;
    std::vector<Piece> piecesOf(const QueueItem &item, const config &settings, const SourceAudio &source,
                                QString *note) const;
    // What happens to an existing output when nobody is asked about it.
    ExistingPolicy unaskedPolicy() const;
    bool encoderMissing(const config &c) const;
    SourceAudio readSource(const QString &infile, bool withCover);
    // ffprobe when chapters are wanted, else empty.
    QString chapterProbeFor(const config &c) const;
    void readAhead();
    bool isTaken(const QString &path) const;
    // The name this batch gives an output (or a folder of pieces) of the next source, claimed for it.
    QString ownName(const QString &path, bool folder);
    bool isTheInputItself(const QString &infile, const QString &outfile) const;
    bool isSourceName(const QString &infile, const QString &outfile) const;
    // Where below the output folder the item's outputs go (an added folder's tree).
    QString subfolderOf(int id) const;
    // Fails the file when its output would be a listed source.
    bool refusedAsSource(int id, const QString &infile, const QString &outfile);
    void startItem(int index);
    bool startWaiting();
    void startMore();
    void convertStatus(TPipeConvert *sender, int position);
    void convertFinished(TPipeConvert *sender, bool failed);
    QString commitOutputs(Job &job);
    // A file the encoder converted: its outputs checked and put in place, and the result that says so.
    void finishOutputs(Job &job, ItemResult *result);
    void finishItem(const ItemResult &result);
    void showProgress();
    void end();
    TPipeConvert *idleConverter() const;

    ConversionQueue &m_queue;
    const config &m_settings;
    RunOverrides m_overrides;
    BatchQuestions *m_questions = nullptr;
    std::vector<std::unique_ptr<TPipeConvert>> m_converters;
    std::vector<Job> m_jobs;
    QSet<QString> m_batchOutputs; // the names this batch gave, so it never overwrites its own output
    bool m_running = false;
    bool m_stop = false;
    bool m_starting = false;
    // The batch follows items by identity, so moving or deleting them never misplaces a status.
    struct LastStarted
    {
        int id = 0;
        int gonePosition = -1; // where it stood when it was deleted
    } m_lastStarted;
    struct Tally
    {
        int jobs = 1;
        int done = 0;
        int failed = 0;
        int stopped = 0;
        int skipped = 0;
        qint64 doneMedia = 0;
        QElapsedTimer clock;
    } m_tally;
    int m_percent = 0;
    QString m_summary;
    QString m_encoderPath; // found once per batch
    // The next source, read while the encoder works on the one before it.
    struct ReadAhead
    {
        QString source;
        QDateTime modified;
        qint64 size = -1;
        bool withCover = false;
        QString chapterProbe;
        std::shared_future<SourceAudio> audio;
    } m_readAhead;
};
