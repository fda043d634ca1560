#include "batchengine.h"

#include "batchtexts.h"
#include "conversionqueue.h"
#include "coverart.h"
#include "encoding.h"
#include "inputpaths.h"
#include "mp3infotag.h"
#include "outputfile.h"

#include "convert/commandline.h"
#include "convert/encodercatalog.h"
#include "convert/pipeconvert.h"
#include "platform/dialogs.h"
#include "platform/environment.h"
#include "settings/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>

namespace {
const QString statusProcessing = QStringLiteral("Processing...");
const QString statusDone = QStringLiteral("Done!");
const QString statusFailed = QStringLiteral("Failed");
const QString statusStopped = QStringLiteral("Stopped");
const QString statusSkipped = QStringLiteral("Skipped");
const QString noAudio = QStringLiteral("no audio stream");
const QString copiedNote = QStringLiteral("copied without re-encoding");
constexpr qint64 estimateAfterMsecs = 2000;

// A source as the encoder is given it: always a file, never an option or a protocol ("-y.avi", "pipe:0.avi").
QString encoderInput(const QString &infile)
{
    return QDir::isAbsolutePath(infile) ? infile : QStringLiteral("file:") + infile;
}

// The encoder's words when a file that was not probed has nothing to extract.
QString plainReason(const QString &failureText)
{
    return failureText.contains(QLatin1String("does not contain any stream")) ? noAudio : failureText;
}

QString clockText(qint64 msecs)
{
    const qint64 seconds = (msecs + 500) / 1000;
    if (seconds >= 3600)
        return QString::asprintf("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
}
} // namespace

bool DialogQuestions::overwrite(const QString &)
{
    return Dialogs::message(nullptr, QStringLiteral("This file already exists. Overwrite?"),
                            QStringLiteral("Confirmation"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo,
                            Dialogs::Answer::Yes) != Dialogs::Answer::No;
}

QString DialogQuestions::otherName(const QString &outdir, const QString &filter, const QString &suffix)
{
    return Dialogs::saveFile(nullptr, outdir, filter, suffix);
}

struct BatchEngine::Job
{
    TPipeConvert *converter = nullptr;
    int id = 0;
    QString input;
    struct Output
    {
        PlannedOutput planned;
        QString temporary; // what the encoder writes, renamed to the output on success
        bool clearsMp3Padding = false;
    };
    std::vector<Output> outputs; // one, or a piece per chapter or stream
    QString madeFolder;          // made for the pieces: goes again when they do
    int position = 0;            // percent
    qint64 durationMs = 0;       // as probed when the item was added
    bool removed = false;        // its item was deleted: stopped, neither counted nor reported
    bool copied = false;
    QString note;                    // told with the result, such as a cover left out
    QString commandLine;             // as the encoder was started, for the row's log
    std::shared_ptr<CoverArt> cover; // its files live until the encoder is done
};

BatchEngine::BatchEngine(ConversionQueue &queue, const config &settings, const RunOverrides &overrides,
                         QObject *parent)
    : QObject(parent), m_queue(queue), m_settings(settings), m_overrides(overrides)
{
    connect(&m_queue, &ConversionQueue::itemLeaving, this, &BatchEngine::itemLeaving);
    connect(&m_queue, &ConversionQueue::aboutToClear, this, [this] {
        if (m_running && m_lastStarted.id != 0)
            m_lastStarted.gonePosition = 0;
    });
}

BatchEngine::~BatchEngine() = default;

int BatchEngine::effectiveJobs() const
{
    return m_overrides.jobs > 0 ? m_overrides.jobs : Options::jobsOrDefault(m_settings.jobs);
}

config BatchEngine::effectiveSettings() const
{
    config c = m_settings;
    if (m_overrides.format)
        c.codec = *m_overrides.format;
    if (m_overrides.track) {
        c.track = *m_overrides.track;
        c.tracklangs = m_overrides.trackLanguages;
    }
    if (m_overrides.splitChapters)
        c.chapters = true;
    return c;
}

ExistingPolicy BatchEngine::effectiveExisting() const
{
    if (m_overrides.existing)
        return *m_overrides.existing;
    const int stored = m_settings.existing;
    return stored >= 0 && stored <= 2 ? ExistingPolicy(stored) : ExistingPolicy::Overwrite;
}

ExistingPolicy BatchEngine::unaskedPolicy() const
{
    // A question nobody answers counts as No, unless the stored choice keeps both files.
    const bool unanswered = m_settings.askoverwrite && !m_questions && !m_overrides.existing;
    return unanswered && effectiveExisting() != ExistingPolicy::Rename ? ExistingPolicy::Skip
                                                                       : effectiveExisting();
}

void BatchEngine::itemLeaving(int id)
{
    if (m_running && m_lastStarted.id != 0) {
        const int index = m_queue.indexOf(id);
        // The place of a deleted last-started item moves up with every item deleted above it.
        if (id == m_lastStarted.id)
            m_lastStarted.gonePosition = index;
        else if (index < m_lastStarted.gonePosition && !m_queue.contains(m_lastStarted.id))
            --m_lastStarted.gonePosition;
    }
    for (Job &job : m_jobs) {
        if (job.id == id && !job.removed) {
            // Nobody wants this file any more: its conversion ends, and it is not counted.
            job.removed = true;
            job.converter->Stop();
        }
    }
}

void BatchEngine::start()
{
    const config &cfg = m_settings;
    // The standard music folder is the default output; a desktop makes it at login, a bare system
    // may not have it yet.
    if (!cfg.samefolder && !cfg.output.isEmpty() && cfg.output == GetMusicFolder())
        QDir().mkpath(cfg.output);
    if (!QFileInfo(cfg.output).isDir() && !cfg.samefolder) {
        Dialogs::message(nullptr,
                         QStringLiteral("Output folder does not exists! Please select another folder."),
                         QStringLiteral("Error!"), Dialogs::Icon::Error);
        return;
    }
    if (m_queue.size() == 0) {
        Dialogs::message(
            nullptr, QStringLiteral("Conversion list is empty. Please add files before start conversion."),
            QStringLiteral("Warning!"), Dialogs::Icon::Warning);
        return;
    }
    if (m_running) {
        Dialogs::message(nullptr, QStringLiteral("Conversion already started"),
                         QStringLiteral("Operation in progress"), Dialogs::Icon::Warning);
        return;
    }
    m_encoderPath = Environment::encoderPath();
    // Said once, rather than as a failure on every row.
    if (!QFileInfo(m_encoderPath).isFile() || !QFileInfo(m_encoderPath).isExecutable()) {
        Dialogs::message(
            nullptr,
            QStringLiteral("ffmpeg was not found next to Tolvane or on PATH. Install it with your "
                           "package manager, e.g. sudo apt install ffmpeg."),
            QStringLiteral("Error!"), Dialogs::Icon::Error);
        return;
    }
    if (encoderMissing(effectiveSettings()))
        return;
    // Every row is converted again: what it said of the last batch no longer holds.
    for (int i = 0; i < m_queue.size(); ++i)
        m_queue.setStatus(m_queue.at(i).id, QStringLiteral("Ready"));
    m_running = true;
    m_stop = false;
    m_tally = {};
    m_tally.jobs = effectiveJobs();
    m_tally.clock.start();
    m_lastStarted = {};
    m_batchOutputs.clear();
    while (int(m_converters.size()) < m_tally.jobs) {
        auto c = std::make_unique<TPipeConvert>();
        c->OnError = [this](TPipeConvert *sender) { convertFinished(sender, true); };
        c->OnFinished = [this](TPipeConvert *sender, quint8 failed) { convertFinished(sender, failed != 0); };
        c->OnStatus = [this](TPipeConvert *sender, quint8, int, int, int position) {
            convertStatus(sender, position);
        };
        m_converters.push_back(std::move(c));
    }
    startMore();
}

bool BatchEngine::encoderMissing(const config &c) const
{
    // MP3 and WAV ran unchecked from the start; the later encoders are optional in an ffmpeg build.
    static const std::map<int, QString> optional{{Options::Aac, QStringLiteral("aac")},
                                                 {Options::Opus, QStringLiteral("libopus")},
                                                 {Options::Flac, QStringLiteral("flac")},
                                                 {Options::Vorbis, QStringLiteral("libvorbis")}};
    const auto encoder = optional.find(Encoding::formatOf(c));
    if (encoder == optional.end() ||
        EncoderCatalog::find(m_encoderPath, encoder->second, EncoderCatalog::defaultCacheFile()) !=
            EncoderCatalog::Presence::Missing)
        return false;
    Dialogs::message(
        nullptr,
        QStringLiteral("The encoder \"%1\" is missing from the ffmpeg at %2. Install the package "
                       "\"libavcodec-extra\" and start again, or choose another format.")
            .arg(encoder->second, m_encoderPath),
        QStringLiteral("Error!"), Dialogs::Icon::Error);
    return true;
}

void BatchEngine::stop()
{
    for (const auto &c : m_converters)
        c->Stop();
    m_stop = true;
}

TPipeConvert *BatchEngine::idleConverter() const
{
    for (const auto &c : m_converters) {
        const bool inUse = std::any_of(m_jobs.cbegin(), m_jobs.cend(),
                                       [&c](const Job &j) { return j.converter == c.get(); });
        if (!inUse)
            return c.get();
    }
    return nullptr;
}

int BatchEngine::nextPosition() const
{
    if (m_lastStarted.id == 0)
        return 0;
    const int last = m_queue.indexOf(m_lastStarted.id);
    return last >= 0 ? last + 1 : m_lastStarted.gonePosition;
}

QStringList BatchEngine::waitingSources() const
{
    QStringList sources;
    for (int i = qMax(0, nextPosition()); i < m_queue.size(); ++i)
        sources << m_queue.at(i).source;
    return sources;
}

bool BatchEngine::isTaken(const QString &path) const
{
    return OutputFile::entryExists(path) || m_batchOutputs.contains(path);
}

QString BatchEngine::ownName(const QString &path, bool folder)
{
    // Sources of one name, in the list's order: the first gets the name, the next the first numbered
    // one this batch has not given, whatever is on disk; so a rerun pairs each source with its own
    // output. Claimed whatever comes of the file, skipped or failed.
    const QString own =
        m_batchOutputs.contains(path)
            ? freeNumberedName(
                  path, [this](const QString &p) { return m_batchOutputs.contains(p); }, folder)
            : path;
    m_batchOutputs.insert(own);
    return own;
}

bool BatchEngine::isTheInputItself(const QString &infile, const QString &outfile) const
{
    // A link in the output's place is not the input's own name: that case fails as a source below.
    return !QFileInfo(outfile).isSymLink() &&
           InputPaths::canonicalName(outfile) ==
               InputPaths::canonicalName(InputPaths::absoluteName(infile, QDir::currentPath()));
}

bool BatchEngine::isSourceName(const QString &infile, const QString &outfile) const
{
    const QString real = InputPaths::canonicalName(outfile);
    return real == InputPaths::canonicalName(infile) || m_queue.isListedReal(real);
}

std::optional<BatchEngine::PlannedOutput> BatchEngine::askAboutExisting(int id, const QString &infile,
                                                                        const QString &outfile,
                                                                        const QString &outdir,
                                                                        const QString &extension)
{
    // The question holds back this start only; running files go on meanwhile.
    QString chosen = outfile;
    if (!m_questions->overwrite(outfile) && m_queue.contains(id) && !m_stop) {
        chosen = m_questions->otherName(outdir, BatchTexts::saveFilterFor(extension), extension);
    }
    // The item may have gone meanwhile, or the batch was stopped.
    if (!m_queue.contains(id) || m_stop)
        return std::nullopt;
    if (chosen.isEmpty()) {
        // No to overwriting and no other name: the file there stays as it is.
        finishItem({id, statusSkipped, infile, outfile, QString()});
        return std::nullopt;
    }
    // The save dialog has asked about replacing a file it was given.
    return PlannedOutput{chosen, OutputFile::entryExists(chosen)};
}

std::optional<BatchEngine::PlannedOutput>
BatchEngine::planOutput(int id, const QString &infile, const QString &extension, const SourceAudio &source)
{
    const int index = m_queue.indexOf(id);
    const BatchTexts::Target target = BatchTexts::outputFor(
        infile, m_settings, extension, index >= 0 ? m_queue.at(index).subfolder : QString(), &source);
    // Made absolute without touching "..": with a link on the way, that would name another folder.
    PlannedOutput plan{ownName(InputPaths::absoluteName(target.outfile, QDir::currentPath()), false), false};
    const auto taken = [this](const QString &p) { return isTaken(p); };
    if (isTheInputItself(infile, plan.outfile)) {
        // An audio file converted to its own type beside itself: the result is kept next to it.
        plan.outfile = freeNumberedName(plan.outfile, taken);
    } else if (OutputFile::entryExists(plan.outfile)) {
        const ExistingPolicy policy = unaskedPolicy();
        if (m_settings.askoverwrite && m_questions) {
            const std::optional<PlannedOutput> answered =
                askAboutExisting(id, infile, plan.outfile, target.outdir, extension);
            if (!answered)
                return std::nullopt;
            plan = *answered;
        } else if (policy == ExistingPolicy::Skip) {
            finishItem({id, statusSkipped, infile, plan.outfile, QString()});
            return std::nullopt;
        } else if (policy == ExistingPolicy::Rename) {
            plan.outfile = freeNumberedName(plan.outfile, taken);
        } else {
            plan.replace = true;
        }
    }
    if (isSourceName(infile, plan.outfile)) {
        finishItem({id, statusFailed, infile, plan.outfile,
                    QStringLiteral("the output %1 is a source file").arg(plan.outfile)});
        return std::nullopt;
    }
    return plan;
}

std::optional<std::vector<BatchEngine::PlannedOutput>>
BatchEngine::planPieces(int id, const QString &infile, const SourceAudio &source,
                        const std::vector<Piece> &pieces)
{
    const int index = m_queue.indexOf(id);
    const QString subfolder = index >= 0 ? m_queue.at(index).subfolder : QString();
    std::vector<PlannedOutput> outputs;
    for (const Piece &p : pieces) {
        const BatchTexts::Target target =
            BatchTexts::outputFor(infile, m_settings, p.plan.extension, subfolder, &source, &p.piece);
        outputs.push_back({InputPaths::absoluteName(target.outfile, QDir::currentPath()), false});
    }
    // Chapters: the folder of a video's pieces is what exists or not, as a whole.
    const bool chapters = pieces.front().piece.chapter > 0;
    QString folder;
    const auto moveTo = [&](const QString &other) {
        for (PlannedOutput &o : outputs)
            o.outfile = other + o.outfile.mid(folder.size());
        folder = other;
    };
    if (chapters) {
        folder = QFileInfo(outputs.front().outfile).path();
        moveTo(ownName(folder, true));
    } else {
        for (PlannedOutput &o : outputs)
            o.outfile = ownName(o.outfile, false);
    }
    const auto taken = [this](const QString &p) { return isTaken(p); };
    const auto rename = [&] {
        if (chapters) {
            moveTo(freeNumberedName(folder, taken, true));
        } else {
            for (PlannedOutput &o : outputs) {
                if (OutputFile::entryExists(o.outfile))
                    o.outfile = freeNumberedName(o.outfile, taken);
                m_batchOutputs.insert(o.outfile);
            }
        }
    };
    QString existing;
    if (chapters) {
        if (OutputFile::entryExists(folder))
            existing = folder;
    } else if (const auto found =
                   std::find_if(outputs.cbegin(), outputs.cend(),
                                [](const PlannedOutput &o) { return OutputFile::entryExists(o.outfile); });
               found != outputs.cend()) {
        existing = found->outfile;
    }
    if (!existing.isEmpty()) {
        ExistingPolicy policy = unaskedPolicy();
        if (m_settings.askoverwrite && m_questions) {
            // Several files have no other name to choose: No keeps what is there.
            policy = m_questions->overwrite(existing) ? ExistingPolicy::Overwrite : ExistingPolicy::Skip;
            if (!m_queue.contains(id) || m_stop)
                return std::nullopt;
        }
        if (policy == ExistingPolicy::Skip) {
            finishItem({id, statusSkipped, infile, existing, QString()});
            return std::nullopt;
        }
        if (policy == ExistingPolicy::Rename)
            rename();
    }
    for (PlannedOutput &o : outputs) {
        o.replace = OutputFile::entryExists(o.outfile);
        if (isSourceName(infile, o.outfile)) {
            finishItem({id, statusFailed, infile, o.outfile,
                        QStringLiteral("the output %1 is a source file").arg(o.outfile)});
            return std::nullopt;
        }
    }
    if (chapters)
        m_batchOutputs.insert(folder);
    return outputs;
}

std::vector<BatchEngine::Piece> BatchEngine::piecesOf(const QueueItem &item, const config &settings,
                                                      const SourceAudio &source, QString *note) const
{
    const Pieces::TrackChoice tracks = Pieces::chooseTracks(
        source, Pieces::TrackMode(settings.track), Pieces::languageList(settings.tracklangs), item.track);
    QStringList notes;
    if (tracks.fellBack)
        notes << QStringLiteral("no audio track in %1: the default track was taken")
                     .arg(settings.tracklangs.trimmed());
    // The library saw chapters the encoder's reader could not list (no ffprobe, or it failed).
    if (settings.chapters && source.hasChapters && source.chapters.empty())
        notes << QStringLiteral("converted whole: the chapters could not be read");
    std::vector<Piece> pieces;
    for (const Pieces::Piece &p : Pieces::piecesFor(source, tracks, settings.chapters)) {
        const SourceAudio stream = source.withStream(p.stream);
        pieces.push_back({p, p.chapter > 0 ? Encoding::planForPart(settings, stream)
                                           : Encoding::planFor(settings, stream)});
        if (!pieces.back().plan.note.isEmpty() && !notes.contains(pieces.back().plan.note))
            notes << pieces.back().plan.note;
    }
    *note = notes.join(QLatin1Char('\n'));
    return pieces;
}

void BatchEngine::startItem(int index)
{
    TPipeConvert *conv = idleConverter();
    if (!conv || index >= m_queue.size())
        return;
    const int id = m_queue.at(index).id;
    m_lastStarted = {id, -1};
    const QString infile = m_queue.at(index).source;
    const config settings = effectiveSettings();
    const bool wantsCover = Options::Cover(settings.cover) != Options::Cover::None;
    // Read afresh: the file may have changed since it was listed.
    const SourceAudio source = readSource(infile, wantsCover);
    if ((m_queue.at(index).probed && !m_queue.at(index).hasAudio) || (source.probed && !source.hasAudio)) {
        finishItem({id, statusFailed, infile, QString(), noAudio});
        return;
    }
    QString trackNote;
    const std::vector<Piece> pieces = piecesOf(m_queue.at(index), settings, source, &trackNote);
    const bool several = pieces.size() > 1 || pieces.front().piece.chapter > 0;
    std::optional<std::vector<PlannedOutput>> planned;
    if (several) {
        planned = planPieces(id, infile, source, pieces);
    } else if (const auto one = planOutput(id, infile, pieces.front().plan.extension,
                                           source.withStream(pieces.front().piece.stream))) {
        planned = std::vector<PlannedOutput>{*one};
    }
    // A question may have been answered after the item went.
    const int now = m_queue.indexOf(id);
    if (!planned || now < 0)
        return;

    Job job;
    job.converter = conv;
    job.id = id;
    job.input = infile;
    // Kept folders of an added tree, and the folder of a video's pieces, are made as they are needed.
    for (const PlannedOutput &o : *planned) {
        const QString outdir = QFileInfo(o.outfile).path();
        if (QFileInfo(outdir).isDir())
            continue;
        if (!QDir().mkpath(outdir)) {
            finishItem({id, statusFailed, infile, o.outfile,
                        QStringLiteral("could not create the folder %1").arg(outdir)});
            return;
        }
        if (pieces.front().piece.chapter > 0 && job.madeFolder.isEmpty())
            job.madeFolder = outdir;
    }
    const QString input = encoderInput(infile);
    for (size_t i = 0; i < planned->size(); ++i) {
        const PlannedOutput &o = planned->at(i);
        m_batchOutputs.insert(o.outfile);
        const QString temporary = OutputFile::temporaryNameFor(o.outfile, QCoreApplication::applicationPid());
        QFile::remove(temporary);
        job.outputs.push_back({o, temporary, pieces[i].plan.clearsMp3Padding});
    }
    // A list that shows no facts was not probed: the length read just now serves the estimate.
    job.durationMs = qMax<qint64>(0, m_queue.at(now).probed ? m_queue.at(now).durationMs : source.durationMs);
    job.copied = std::all_of(pieces.cbegin(), pieces.cend(), [](const Piece &p) { return p.plan.copied; });
    const Encoding::Plan &first = pieces.front().plan;
    Encoding::Extras shared;
    if (wantsCover && first.picture != Encoding::Picture::None) {
        job.cover = std::make_shared<CoverArt>();
        const bool frame = Options::Cover(settings.cover) == Options::Cover::AttachedOrFrame;
        job.note = job.cover->prepare(source, frame ? input : QString(), first.picture, &shared);
    }
    if (!trackNote.isEmpty())
        job.note = job.note.isEmpty() ? trackNote : trackNote + QLatin1Char('\n') + job.note;
    QString arguments = Encoding::inputText(first, shared);
    if (several)
        arguments += Encoding::progressOutput(source.streamSpecifier());
    const QString name = BatchTexts::nameFields(infile, source).name;
    const QString album = source.title.isEmpty() ? name : source.title;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece &p = pieces[i];
        const SourceAudio stream = source.withStream(p.piece.stream);
        Encoding::Extras extras = Encoding::tagExtras(stream, infile);
        // The extra input is the first piece's kind of picture; a piece that takes another goes without.
        if (p.plan.picture == first.picture) {
            extras.coverFile = shared.coverFile;
            extras.coverIsPlain = shared.coverIsPlain;
            extras.metadataFile = shared.metadataFile;
        }
        extras.withoutPicture = source.coverMarked && extras.coverFile.isEmpty();
        Encoding::Output output;
        // A chosen stream is named; else the encoder picks as it would by itself, which the source's
        // facts follow.
        if (p.piece.stream >= 0 || p.plan.options.startsWith(QLatin1String("-map 0:a:0 ")))
            output.stream = stream.streamSpecifier();
        if (p.piece.chapter > 0) {
            output.part = true;
            output.startMs = p.piece.startMs;
            output.endMs = p.piece.endMs;
            output.title = p.piece.chapterTitle.trimmed().isEmpty() ? name : p.piece.chapterTitle;
            output.album = album;
            output.track = p.piece.chapter;
            output.tracks = p.piece.chapters;
        }
        arguments += Encoding::outputText(p.plan, extras, output, job.outputs[i].temporary);
        if (i + 1 < pieces.size())
            arguments += QLatin1Char(' ');
    }
    job.commandLine = encoderCommandLine(m_encoderPath, input, arguments);
    m_jobs.push_back(job);
    m_queue.setStatus(id, statusProcessing);
    conv->setStallTimeout(m_settings.stalltimeout);
    conv->Start(input, m_encoderPath, arguments);
    Q_EMIT itemStarted(id);
    // While the encoder works, so the next file starts without waiting for its read.
    QMetaObject::invokeMethod(this, &BatchEngine::readAhead, Qt::QueuedConnection);
    // Left by runs that died; done while the encoder starts, and never touching a live run's file.
    for (const Job::Output &o : job.outputs)
        OutputFile::removeStaleTemporaries(o.planned.outfile);
}

namespace {
SourceAudio readWhole(const QString &infile, bool withCover, const QString &chapterProbe)
{
    SourceAudio source = probeSourceAudio(infile, withCover);
    // The library knows where chapters start; their ends come from the encoder's own reader.
    if (!chapterProbe.isEmpty() && source.hasChapters) {
        source.chapters = Pieces::readChapters(chapterProbe, encoderInput(infile));
    }
    return source;
}
} // namespace

SourceAudio BatchEngine::readSource(const QString &infile, bool withCover)
{
    const QFileInfo info(infile);
    // Read afresh unless the file is the one read ahead, unchanged since. A FIFO would block the read.
    if (!info.isFile())
        return SourceAudio();
    const QString chapterProbe = chapterProbeFor(effectiveSettings());
    if (m_readAhead.source == infile) {
        const ReadAhead ahead = std::exchange(m_readAhead, {});
        if (ahead.withCover == withCover && ahead.chapterProbe == chapterProbe && ahead.size == info.size() &&
            ahead.modified == info.lastModified())
            return ahead.audio.get();
    }
    return readWhole(infile, withCover, chapterProbe);
}

QString BatchEngine::chapterProbeFor(const config &c) const
{
    return c.chapters
               ? Pieces::probeProgram(m_encoderPath.isEmpty() ? Environment::encoderPath() : m_encoderPath)
               : QString();
}

void BatchEngine::readAhead()
{
    const int next = nextPosition();
    if (m_running && !m_stop && next >= 0 && next < m_queue.size())
        readAheadOf(m_queue.at(next).source);
}

void BatchEngine::readAheadOf(const QString &source)
{
    const QFileInfo info(source);
    if (m_readAhead.source == source || !info.isFile())
        return;
    const config settings = effectiveSettings();
    const bool withCover = Options::Cover(settings.cover) != Options::Cover::None;
    const QString chapterProbe = chapterProbeFor(settings);
    m_readAhead = {
        source,       info.lastModified(),
        info.size(),  withCover,
        chapterProbe, std::async(std::launch::async, readWhole, source, withCover, chapterProbe).share()};
}

bool BatchEngine::startWaiting()
{
    // Reports of running files can arrive while a question waits; the loop below picks them up.
    if (m_starting)
        return false;
    m_starting = true;
    while (!m_stop && int(m_jobs.size()) < m_tally.jobs) {
        const int next = nextPosition();
        if (next < 0 || next >= m_queue.size())
            break;
        startItem(next);
    }
    m_starting = false;
    return true;
}

void BatchEngine::startMore()
{
    if (!startWaiting())
        return;
    if (m_jobs.empty())
        end();
    else
        showProgress();
}

void BatchEngine::convertStatus(TPipeConvert *sender, int position)
{
    const auto job =
        std::find_if(m_jobs.begin(), m_jobs.end(), [sender](const Job &j) { return j.converter == sender; });
    if (job == m_jobs.end())
        return;
    job->position = qBound(0, position, 100);
    if (m_tally.jobs > 1)
        m_queue.setStatus(job->id, QStringLiteral("Processing... %1%").arg(job->position));
    Q_EMIT itemProgress(job->id, job->position);
    showProgress();
}

QString BatchEngine::commitOutputs(Job &job)
{
    // Every piece is checked before any is renamed, so a failure leaves none of them behind.
    for (const Job::Output &o : job.outputs) {
        // Players would leave out the whole source's delay and padding at the ends of a copied piece.
        if (o.clearsMp3Padding)
            Mp3InfoTag::clearPaddingInFile(o.temporary);
        const QString problem = OutputFile::problemWith(o.temporary);
        if (!problem.isEmpty())
            return job.outputs.size() > 1 ? QStringLiteral("%1: %2").arg(o.planned.outfile, problem)
                                          : problem;
    }
    QString error;
    for (size_t i = 0; i < job.outputs.size(); ++i) {
        Job::Output &o = job.outputs[i];
        for (bool committed = false; !committed;) {
            switch (OutputFile::commit(o.temporary, o.planned.outfile, o.planned.replace, &error)) {
            case OutputFile::Commit::Done:
                committed = true;
                break;
            case OutputFile::Commit::Failed:
                // A source's pieces are kept all or none: those in place go back.
                for (size_t k = i; k-- > 0;)
                    OutputFile::undoCommit(job.outputs[k].temporary, job.outputs[k].planned.outfile);
                return error;
            case OutputFile::Commit::Taken:
                // Someone else wrote that name while this file converted: both are kept.
                o.planned.outfile =
                    freeNumberedName(o.planned.outfile, [this](const QString &p) { return isTaken(p); });
                m_batchOutputs.insert(o.planned.outfile);
                break;
            }
        }
    }
    return QString();
}

void BatchEngine::convertFinished(TPipeConvert *sender, bool failed)
{
    const auto it =
        std::find_if(m_jobs.begin(), m_jobs.end(), [sender](const Job &j) { return j.converter == sender; });
    if (it == m_jobs.end())
        return;
    Job job = *it;
    m_jobs.erase(it);
    if (m_tally.jobs == 1)
        m_percent = 0;

    // Only files cut by a stop are "Stopped"; a failure that came before it stays one.
    const bool stopped = failed && sender->failureText() == QLatin1String("Stopped");
    ItemResult result{job.id,
                      stopped  ? statusStopped
                      : failed ? statusFailed
                               : statusDone,
                      job.input,
                      job.outputs.front().planned.outfile,
                      failed && !stopped ? plainReason(BatchTexts::withoutClosingWords(sender->failureText()))
                                         : QString(),
                      job.copied && !failed};
    // The encoder's words name the outputs, not their temporary files.
    for (const Job::Output &o : job.outputs)
        result.reason.replace(o.temporary, o.planned.outfile);
    if (result.status == statusDone && !job.removed) {
        // The next file's encoder loads while this output is checked: the check costs the batch no time.
        if (!m_stop)
            startWaiting();
        result.reason = commitOutputs(job);
        result.output = job.outputs.front().planned.outfile;
        if (!result.reason.isEmpty()) {
            result.status = statusFailed;
            result.copied = false;
        } else {
            QStringList notes;
            if (job.copied)
                notes << copiedNote;
            if (!job.note.isEmpty())
                notes << job.note;
            result.reason = notes.join(QLatin1Char('\n'));
            if (job.outputs.size() > 1 || !job.madeFolder.isEmpty()) {
                for (const Job::Output &o : job.outputs)
                    result.outputs << o.planned.outfile;
            }
        }
    }
    m_queue.setLog(job.id, (job.note.isEmpty() ? QString() : job.note + QStringLiteral("\n\n")) +
                               job.commandLine + QStringLiteral("\n\n") + sender->logText());
    // Whatever did not become an output goes; the files that were there before are untouched.
    for (const Job::Output &o : job.outputs)
        QFile::remove(o.temporary);
    if (result.status != statusDone && !job.madeFolder.isEmpty())
        QDir().rmdir(job.madeFolder);
    if (!job.removed) {
        m_tally.doneMedia += job.durationMs;
        finishItem(result);
    }
    if (!m_stop)
        startMore();
    else if (m_jobs.empty() && !m_starting)
        end();
    else
        showProgress();
}

void BatchEngine::finishItem(const ItemResult &result)
{
    m_queue.setStatus(result.id, result.status, result.reason);
    if (result.status == statusDone)
        ++m_tally.done;
    else if (result.status == statusSkipped)
        ++m_tally.skipped;
    else if (result.status == statusStopped)
        ++m_tally.stopped;
    else
        ++m_tally.failed;
    Q_EMIT itemFinished(result);
}

void BatchEngine::showProgress()
{
    const int finished = m_tally.done + m_tally.failed + m_tally.stopped + m_tally.skipped;
    const int waiting = qMax(0, m_queue.size() - nextPosition());
    const int total = finished + int(m_jobs.size()) + (m_stop ? 0 : waiting);

    qint64 runningMedia = 0;
    qint64 remainingMedia = 0;
    double runningFraction = 0;
    for (const Job &j : m_jobs) {
        runningFraction += j.position / 100.0;
        runningMedia += j.durationMs * j.position / 100;
        remainingMedia += j.durationMs - j.durationMs * j.position / 100;
    }
    if (m_tally.jobs > 1)
        m_percent = total > 0 ? int(100 * (finished + runningFraction) / total) : 0;
    else if (!m_jobs.empty())
        m_percent = m_jobs.front().position;

    if (!m_stop) {
        for (int i = qMax(0, nextPosition()); i < m_queue.size(); ++i)
            remainingMedia += qMax<qint64>(0, m_queue.at(i).durationMs);
    }
    QString text = QStringLiteral("%1 of %2 files done").arg(finished).arg(total);
    if (m_tally.failed > 0)
        text += QStringLiteral(", %1 failed").arg(m_tally.failed);
    // Media time converted per second of work so far; only a guess after a little work.
    const qint64 elapsed = m_tally.clock.elapsed();
    const qint64 converted = m_tally.doneMedia + runningMedia;
    if (elapsed >= estimateAfterMsecs && converted > 0)
        text += QStringLiteral(", %1 left").arg(clockText(remainingMedia * elapsed / converted));
    Q_EMIT progressChanged(m_percent, text);
}

void BatchEngine::end()
{
    QString summary = QStringLiteral("%1 converted, %2 failed").arg(m_tally.done).arg(m_tally.failed);
    if (m_tally.stopped > 0)
        summary += QStringLiteral(", %1 stopped").arg(m_tally.stopped);
    if (m_tally.skipped > 0)
        summary += QStringLiteral(", %1 skipped").arg(m_tally.skipped);
    m_percent = 0;
    m_running = false;
    m_summary = summary + QStringLiteral(" in ") + clockText(m_tally.clock.elapsed());
    Q_EMIT progressChanged(0, m_summary);
    Q_EMIT finished();
}
