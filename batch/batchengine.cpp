#include "batchengine.h"

#include "batchjob.h"

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

namespace BatchStatus {

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

} // namespace BatchStatus

using namespace BatchStatus;

BatchEngine::BatchEngine(ConversionQueue &queue, const config &settings, const RunOverrides &overrides,
                         QObject *parent)
    : QObject(parent), m_queue(queue), m_settings(settings), m_overrides(overrides)
{
    connect(&m_queue, &ConversionQueue::itemLeaving, this, &BatchEngine::itemLeaving);
    connect(&m_queue, &ConversionQueue::aboutToClear, this, [this] {
        if (m_running && m_lastStarted.id != 0)
            m_lastStarted.gonePosition = 0;
        for (Job &job : m_jobs)
            abandon(job);
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
        if (job.id == id)
            abandon(job);
    }
}

void BatchEngine::abandon(Job &job)
{
    // Nobody wants this file any more: its conversion ends as with Stop, and it is not counted.
    if (!job.removed) {
        job.removed = true;
        job.converter->Stop();
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
    m_queue.setEveryStatus(QStringLiteral("Ready"));
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
    const std::optional<std::vector<PlannedOutput>> planned = planOutputs(id, infile, source, pieces);
    // A question may have been answered after the item went.
    const int now = m_queue.indexOf(id);
    if (!planned || now < 0)
        return;

    Job job;
    job.converter = conv;
    job.id = id;
    job.input = infile;
    if (!makeOutputs(job, *planned, pieces))
        return;
    // A list that shows no facts was not probed: the length read just now serves the estimate.
    job.durationMs = qMax<qint64>(0, m_queue.at(now).probed ? m_queue.at(now).durationMs : source.durationMs);
    job.copied = std::all_of(pieces.cbegin(), pieces.cend(), [](const Piece &p) { return p.plan.copied; });
    const QString input = encoderInput(infile);
    const Encoding::Plan &first = pieces.front().plan;
    Encoding::Extras shared;
    if (wantsCover && first.picture != Encoding::Picture::None) {
        job.cover = std::make_shared<CoverArt>();
        const bool frame = Options::Cover(settings.cover) == Options::Cover::AttachedOrFrame;
        job.note = job.cover->prepare(source, frame ? input : QString(), first.picture, &shared);
    }
    if (!trackNote.isEmpty())
        job.note = job.note.isEmpty() ? trackNote : trackNote + QLatin1Char('\n') + job.note;
    const QString arguments = encoderArguments(job, source, pieces, shared);
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

bool BatchEngine::makeOutputs(Job &job, const std::vector<PlannedOutput> &planned,
                              const std::vector<Piece> &pieces)
{
    // Kept folders of an added tree, and the folder of a video's pieces, are made as they are needed.
    for (const PlannedOutput &o : planned) {
        const QString outdir = QFileInfo(o.outfile).path();
        if (QFileInfo(outdir).isDir())
            continue;
        if (!QDir().mkpath(outdir)) {
            finishItem({job.id, statusFailed, job.input, o.outfile,
                        QStringLiteral("could not create the folder %1").arg(outdir)});
            return false;
        }
        if (pieces.front().piece.chapter > 0 && job.madeFolder.isEmpty())
            job.madeFolder = outdir;
    }
    for (size_t i = 0; i < planned.size(); ++i) {
        const PlannedOutput &o = planned[i];
        m_batchOutputs.insert(o.outfile);
        const QString temporary = OutputFile::temporaryNameFor(o.outfile, QCoreApplication::applicationPid());
        QFile::remove(temporary);
        job.outputs.push_back({o, temporary, pieces[i].plan.clearsMp3Padding});
    }
    return true;
}

QString BatchEngine::encoderArguments(const Job &job, const SourceAudio &source,
                                      const std::vector<Piece> &pieces, const Encoding::Extras &shared) const
{
    const Encoding::Plan &first = pieces.front().plan;
    QString arguments = Encoding::inputText(first, shared);
    if (pieces.size() > 1 || pieces.front().piece.chapter > 0)
        arguments += Encoding::progressOutput(source.streamSpecifier());
    const QString name = BatchTexts::nameFields(job.input, source).name;
    const QString album = source.title.isEmpty() ? name : source.title;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece &p = pieces[i];
        const SourceAudio stream = source.withStream(p.piece.stream);
        Encoding::Extras extras = Encoding::tagExtras(stream, job.input);
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
    return arguments;
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
