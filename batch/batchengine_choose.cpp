// Choosing what becomes of a file: the names of its outputs, what happens to those that exist, and how
// its audio is taken.
#include "batchengine.h"

#include "batchjob.h"
#include "batchtexts.h"
#include "conversionqueue.h"
#include "inputpaths.h"
#include "outputfile.h"

#include "platform/dialogs.h"

#include <QDir>
#include <QFileInfo>

using namespace BatchStatus;

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
    const BatchTexts::Target target =
        BatchTexts::outputFor(infile, m_settings, extension, subfolderOf(id), &source);
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
    if (refusedAsSource(id, infile, plan.outfile))
        return std::nullopt;
    return plan;
}

QString BatchEngine::subfolderOf(int id) const
{
    const int index = m_queue.indexOf(id);
    return index >= 0 ? m_queue.at(index).subfolder : QString();
}

bool BatchEngine::refusedAsSource(int id, const QString &infile, const QString &outfile)
{
    if (!isSourceName(infile, outfile))
        return false;
    finishItem(
        {id, statusFailed, infile, outfile, QStringLiteral("the output %1 is a source file").arg(outfile)});
    return true;
}

namespace {
// What of a source's outputs exists: the folder of its pieces, else the first of its files.
QString existingOf(const std::vector<BatchEngine::PlannedOutput> &outputs, const QString &folder)
{
    if (!folder.isEmpty())
        return OutputFile::entryExists(folder) ? folder : QString();
    for (const BatchEngine::PlannedOutput &o : outputs) {
        if (OutputFile::entryExists(o.outfile))
            return o.outfile;
    }
    return QString();
}
} // namespace

std::optional<std::vector<BatchEngine::PlannedOutput>>
BatchEngine::planPieces(int id, const QString &infile, const SourceAudio &source,
                        const std::vector<Piece> &pieces)
{
    std::vector<PlannedOutput> outputs;
    for (const Piece &p : pieces) {
        const BatchTexts::Target target =
            BatchTexts::outputFor(infile, m_settings, p.plan.extension, subfolderOf(id), &source, &p.piece);
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
    const QString existing = existingOf(outputs, folder);
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
        if (refusedAsSource(id, infile, o.outfile))
            return std::nullopt;
    }
    if (chapters)
        m_batchOutputs.insert(folder);
    return outputs;
}

std::optional<std::vector<BatchEngine::PlannedOutput>>
BatchEngine::planOutputs(int id, const QString &infile, const SourceAudio &source,
                         const std::vector<Piece> &pieces)
{
    if (pieces.size() > 1 || pieces.front().piece.chapter > 0)
        return planPieces(id, infile, source, pieces);
    if (const auto one = planOutput(id, infile, pieces.front().plan.extension,
                                    source.withStream(pieces.front().piece.stream)))
        return std::vector<PlannedOutput>{*one};
    return std::nullopt;
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
