#include "conversionqueue.h"

#include "inputpaths.h"
#include "listtexts.h"

#include "mediainfo/mediainfodll.h"
#include "mediainfo/sourceaudio.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>

#include <sys/stat.h>

namespace {
constexpr qint64 refreshEveryMsecs = 30;
const QString statusReady = QStringLiteral("Ready");

// A folder's identity on disk, so a link back up the tree is not walked twice.
QString folderIdentity(const QString &folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QString();
    return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
}

QString absoluteInputName(const QString &name)
{
    return InputPaths::absoluteName(name, QDir::currentPath());
}
} // namespace

ConversionQueue::ConversionQueue(QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(QThread::idealThreadCount());
}

int ConversionQueue::indexOf(int id) const
{
    for (int i = 0, n = size(); i < n; ++i) {
        if (m_items[i].id == id)
            return i;
    }
    return -1;
}

bool ConversionQueue::isListed(const QString &name) const
{
    return m_listed.contains(InputPaths::canonicalName(absoluteInputName(name)));
}

void ConversionQueue::addFile(const QString &name, const QString &subfolder)
{
    add(name, false, subfolder);
}

namespace {
// What the list keeps of a probe: the facts a row shows and the batch needs.
struct Probed
{
    std::vector<AudioStream> streams;
    QString format;
    qint64 durationMs = 0;
};

Probed probe(const QString &fileName)
{
    TMediaInfoDll info(fileName);
    Probed p;
    p.streams = audioStreamsOf(info);
    // The stream the encoder takes unless told otherwise.
    const int picked = defaultStreamOf(p.streams);
    p.format =
        ListTexts::format(info.GetVideoCodec(), picked >= 0 ? p.streams[picked].formatName : QString());
    p.durationMs = info.GetDuration();
    return p;
}
} // namespace

struct ConversionQueue::Pending
{
    QueueItem item;
    bool needsAudio = false;
    std::future<Probed> probe; // not valid when the file is not probed
};

// Here, where a file on its way in is a complete type; the pool waits for probes still at work.
ConversionQueue::~ConversionQueue() = default;

void ConversionQueue::add(const QString &name, bool needsAudio, const QString &subfolder)
{
    enqueue(name, needsAudio, subfolder);
    commitPending(true);
}

void ConversionQueue::enqueue(const QString &name, bool needsAudio, const QString &subfolder)
{
    const QString fileName = absoluteInputName(name);
    // Only a regular file is opened: a FIFO would block the probe. A name that leads nowhere still
    // gets its item (a dialog may name a file gone since), and its conversion says what is wrong.
    const InputPaths::Entry entry = InputPaths::examine(fileName);
    if (entry.present && entry.kind != InputPaths::Entry::File) {
        reportIgnored(fileName, entry.kind == InputPaths::Entry::Folder ? QStringLiteral("not a regular file")
                                                                        : entry.reason);
        return;
    }
    const QString canonical = InputPaths::canonicalName(fileName);
    if (m_listed.contains(canonical))
        return;
    // Taken now, so the same file named twice in one drop is one item.
    m_listed.insert(canonical);
    auto pending = std::make_unique<Pending>();
    pending->item.source = fileName;
    // The same text once, when the name is the real one.
    pending->item.canonical = canonical == fileName ? fileName : canonical;
    pending->item.status = statusReady;
    pending->item.subfolder = shared(subfolder);
    pending->needsAudio = needsAudio;
    if (m_probing || needsAudio) {
        // Files are probed on every core, each with a probe of its own; the list keeps their order.
        auto task = std::make_shared<std::packaged_task<Probed()>>([fileName] { return probe(fileName); });
        pending->probe = task->get_future();
        m_pool.start([task] { (*task)(); });
    }
    m_pending.push_back(std::move(pending));
    // A bounded look-ahead: enough to keep the cores busy, little memory.
    commitPending(false);
}

void ConversionQueue::commitPending(bool all)
{
    // A file dropped while the window turns below joins the files on their way in, which the outer
    // call commits.
    if (m_committing)
        return;
    m_committing = true;
    const qsizetype ahead = all ? 0 : qsizetype(4 * qMax(1, m_pool.maxThreadCount()));
    while (!m_pending.empty()) {
        Pending *front = m_pending.front().get();
        if (front->probe.valid()) {
            const bool ready = front->probe.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            if (!ready && qsizetype(m_pending.size()) <= ahead)
                break;
            // Waiting for the oldest probe, the window still turns.
            while (front->probe.wait_for(std::chrono::milliseconds(refreshEveryMsecs)) !=
                   std::future_status::ready)
                refresh(true);
        }
        std::unique_ptr<Pending> pending = std::move(m_pending.front());
        m_pending.pop_front();
        commit(*pending);
    }
    m_committing = false;
}

void ConversionQueue::commit(Pending &pending)
{
    QueueItem &item = pending.item;
    if (pending.probe.valid()) {
        Probed p = pending.probe.get();
        item.hasAudio = !p.streams.empty();
        // One stream is read again when its menu is opened: a row keeps only what it shows.
        if (p.streams.size() > 1)
            item.streams = std::move(p.streams);
        item.format = shared(p.format);
        item.durationMs = p.durationMs;
        item.probed = true;
        // A file of a type the list does not know by name is taken for the sound in it.
        if (pending.needsAudio && !item.hasAudio) {
            m_listed.remove(item.canonical);
            reportIgnored(item.source, QStringLiteral("no audio stream"));
            return;
        }
    }
    item.id = ++m_lastId;
    m_listed.insert(item.canonical); // again, should the list have been cleared meanwhile
    m_items.push_back(std::move(item));
    Q_EMIT itemAdded(size() - 1);
    refresh(false);
}

QString ConversionQueue::shared(const QString &text)
{
    // Many rows have the same format and folder: they share one copy of its text.
    if (text.isEmpty())
        return QString();
    const auto found = m_texts.constFind(text);
    if (found != m_texts.constEnd())
        return *found;
    m_texts.insert(text);
    return text;
}

void ConversionQueue::refresh(bool force)
{
    // Refreshing after every file would cost more than probing it.
    if (m_refresh && (force || !m_refreshClock.isValid() || m_refreshClock.elapsed() >= refreshEveryMsecs)) {
        m_refresh();
        m_refreshClock.restart();
    }
}

void ConversionQueue::addArgument(const QString &name)
{
    const QString absolute = absoluteInputName(name);
    const InputPaths::Entry entry = InputPaths::examine(absolute);
    if (entry.kind == InputPaths::Entry::Folder)
        m_folders << absolute;
    else if (entry.kind == InputPaths::Entry::Unusable)
        reportIgnored(absolute, entry.reason);
    else if (!ListTexts::isAcceptedName(absolute))
        reportIgnored(absolute, QStringLiteral("not a video file of a known type"));
    else
        addFile(absolute);
}

void ConversionQueue::addDropped(const QStringList &names)
{
    // Dropping things that are not videos is normal: only a video that cannot be taken is told.
    for (const QString &name : names) {
        const QString absolute = absoluteInputName(name);
        const InputPaths::Entry entry = InputPaths::examine(absolute);
        if (entry.kind == InputPaths::Entry::Folder)
            m_folders << absolute;
        else if (!ListTexts::isAcceptedName(absolute))
            continue;
        else if (entry.kind == InputPaths::Entry::File)
            enqueue(absolute, false);
        else
            reportIgnored(absolute, entry.reason);
    }
    commitPending(true);
}

void ConversionQueue::addChosen(const QStringList &names)
{
    for (const QString &name : names) {
        if (InputPaths::examine(absoluteInputName(name)).kind == InputPaths::Entry::Folder)
            m_folders << name;
        else
            enqueue(name, !ListTexts::isAcceptedName(name));
    }
    commitPending(true);
}

void ConversionQueue::scanFolders(bool subfolders)
{
    m_scanning = true;
    m_scanStop = false;
    m_visitedFolders.clear();
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        QString root = absoluteInputName(m_folders.at(i));
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        FindFiles(root, subfolders, root.left(ListTexts::fileNameStart(root)));
    }
    commitPending(true);
    m_folders.clear();
    m_visitedFolders.clear();
    m_scanning = false;
}

namespace {
// The folder's path from base on; empty when it would lead anywhere but below base ("..", ".").
QString subfolderOf(const QString &folder, const QString &base)
{
    if (!folder.startsWith(base))
        return QString();
    const QString below = folder.mid(base.size());
    const QStringList parts = below.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return QString();
    }
    return below;
}
} // namespace

void ConversionQueue::FindFiles(const QString &folder, bool subfolders, const QString &base)
{
    if (m_scanStop)
        return;
    const QString identity = folderIdentity(folder);
    if (!identity.isEmpty()) {
        if (m_visitedFolders.contains(identity))
            return;
        m_visitedFolders.insert(identity);
    }
    QString dir = folder;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');

    const InputPaths::Listing listing = InputPaths::listFolder(dir);
    if (!listing.problem.isEmpty())
        reportIgnored(folder, listing.problem);
    for (const QString &name : listing.undecodable)
        reportIgnored(dir + name, QStringLiteral("the name is not valid in the current encoding"));
    // As a file manager shows them: "clip2" before "clip10".
    QStringList names = listing.names;
    std::stable_sort(names.begin(), names.end(), ListTexts::naturalLess);
    for (const QString &name : std::as_const(names)) {
        if (m_scanStop)
            break;
        // Links are followed: what counts is what the entry leads to.
        const InputPaths::Entry entry = InputPaths::examine(dir + name);
        if (entry.kind == InputPaths::Entry::Folder) {
            if (subfolders)
                FindFiles(dir + name, subfolders, base);
        } else if (entry.kind == InputPaths::Entry::File) {
            if (!ListTexts::isAcceptedName(name))
                continue;
            try {
                enqueue(dir + name, false, subfolderOf(folder, base));
            } catch (const std::exception &) {
                Dialogs::message(nullptr, QStringLiteral("Could not add file: ") + dir + name,
                                 QStringLiteral("Error!"), Dialogs::Icon::Error);
            }
        } else if (ListTexts::isAcceptedName(name) || !entry.present) {
            // An entry that cannot be reached at all may be a folder full of videos.
            reportIgnored(dir + name, entry.reason);
        }
    }
}

void ConversionQueue::setStatus(int id, const QString &status, const QString &reason)
{
    const int index = indexOf(id);
    if (index < 0)
        return;
    m_items[index].status = status;
    m_items[index].reason = reason;
    Q_EMIT itemChanged(id);
}

void ConversionQueue::setEveryStatus(const QString &status)
{
    for (QueueItem &item : m_items) {
        item.status = status;
        item.reason.clear();
    }
    Q_EMIT everyItemChanged();
}

void ConversionQueue::setTrack(int id, const QString &track)
{
    const int index = indexOf(id);
    if (index < 0)
        return;
    m_items[index].track = track;
    Q_EMIT itemChanged(id);
}

void ConversionQueue::setLog(int id, const QString &log)
{
    const int index = indexOf(id);
    // Up to 64 KiB of the encoder's words for every row of a long batch: kept compressed.
    if (index >= 0)
        m_items[index].packedLog = qCompress(log.toUtf8());
}

QString QueueItem::log() const
{
    return packedLog.isEmpty() ? QString() : QString::fromUtf8(qUncompress(packedLog));
}

void ConversionQueue::remove(int id)
{
    const int index = indexOf(id);
    if (index < 0)
        return;
    Q_EMIT itemLeaving(id);
    m_listed.remove(m_items[index].canonical);
    m_items.erase(m_items.begin() + index);
    Q_EMIT itemRemoved(index);
}

void ConversionQueue::move(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= size() || to >= size())
        return;
    Q_EMIT aboutToMove(from, to);
    QueueItem item = std::move(m_items[from]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, std::move(item));
    Q_EMIT itemMoved(from, to);
}

void ConversionQueue::clear()
{
    Q_EMIT aboutToClear();
    m_items.clear();
    m_listed.clear();
    m_texts.clear();
    m_ignored.clear();
    Q_EMIT cleared();
}
