#pragma once

#include "mediainfo/sourceaudio.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <utility>
#include <vector>

// One file of the conversion list.
struct QueueItem
{
    int id = 0;            // stays with the file when others move or go
    QString source;        // absolute name, as the encoder is given it
    QString canonical;     // real path: two spellings of one file are one item
    QString format;        // "video/audio" codecs, as probed
    qint64 durationMs = 0; // as probed, for the time-left estimate
    bool probed = false;   // the facts above were read from the file
    bool hasAudio = false; // the probe found an audio stream
    QString status;        // "Ready", "Processing...", "Done!", ...
    QString reason;        // why it failed, in the encoder's words
    QString subfolder; // found in an added folder: its path there, from that folder's name on ("added/sub")
    std::vector<AudioStream> streams; // as probed, when there are several to choose from
    QString track; // the row's own audio track choice: a stream's specifier or "all"; empty: the setting's
    QByteArray packedLog; // compressed

    // The encoder's command line and output of the last conversion.
    QString log() const;
};

// The conversion list without a window: what gets in and why the rest is left out, in the order
// a person arranged it, with the state of each file.
class ConversionQueue : public QObject
{
    Q_OBJECT
public:
    explicit ConversionQueue(QObject *parent = nullptr);
    ~ConversionQueue() override;

    int size() const { return int(m_items.size()); }
    const QueueItem &at(int index) const { return m_items.at(index); }
    // -1 when the item has gone.
    int indexOf(int id) const;
    bool contains(int id) const { return indexOf(id) >= 0; }
    // Any spelling of a listed file, relative names against the working folder.
    bool isListed(const QString &name) const;
    // A listed file by its real path.
    bool isListedReal(const QString &canonical) const { return m_listed.contains(canonical); }

    // The ways in. Relative names are taken against the working folder; only regular files become
    // items, each probed once; a file already listed under any name is passed over.
    void addFile(const QString &name, const QString &subfolder = QString());
    // A command-line name: a video, or a folder to scan; anything else is reported.
    void addArgument(const QString &name);
    // Names dropped from a file manager: what is not a video is passed over without a word.
    void addDropped(const QStringList &names);
    // Names chosen in a file dialog: folders among them are scanned; a file of a type the list does not
    // take by name gets in when it has an audio stream.
    void addChosen(const QStringList &names);
    void addFolder(const QString &folder) { m_folders << folder; }

    // Folders wait for scanFolders; one added during a scan joins that scan.
    bool hasFoldersToScan() const { return !m_folders.isEmpty(); }
    void scanFolders(bool subfolders);
    void stopScan() { m_scanStop = true; }
    bool isScanning() const { return m_scanning; }

    // Off: items get no format and no length (a run that shows neither need not wait for the probe).
    void setProbing(bool on) { m_probing = on; }

    // Runs while files are added, a few dozen times a second, so a face stays live and Stop comes through.
    void setRefreshHook(std::function<void()> hook) { m_refresh = std::move(hook); }

    // What the ways in left out since the list was last cleared: path and reason.
    const QList<std::pair<QString, QString>> &ignored() const { return m_ignored; }
    void reportIgnored(const QString &path, const QString &reason) { m_ignored.append({path, reason}); }

    void setStatus(int id, const QString &status, const QString &reason = QString());
    // Every item at once, with no reason: one change for a list of any length.
    void setEveryStatus(const QString &status);
    void setTrack(int id, const QString &track);
    void setLog(int id, const QString &log);
    void remove(int id);
    void move(int from, int to);
    void clear();

Q_SIGNALS:
    // Items are added at the end only.
    void itemAdded(int index);
    void itemChanged(int id);
    void everyItemChanged();
    // Before the item goes, while it still has its place; then once it has gone from there.
    void itemLeaving(int id);
    void itemRemoved(int index);
    // Around a move of the item at from to the place to (counted as after it left from).
    void aboutToMove(int from, int to);
    void itemMoved(int from, int to);
    void aboutToClear();
    void cleared();

private:
    struct Pending;
    void add(const QString &name, bool needsAudio, const QString &subfolder = QString());
    // A file on its way in: checked and its probe started; it becomes an item, in order, when committed.
    void enqueue(const QString &name, bool needsAudio, const QString &subfolder = QString());
    // Files whose probes are done become items; all: every one, waiting as needed.
    void commitPending(bool all);
    void commit(Pending &pending);
    void refresh(bool force);
    QString shared(const QString &text);
    // base: the folder the added one is in, which the items' subfolders start from.
    void FindFiles(const QString &folder, bool subfolders, const QString &base);

    // A deque: a long list grows without moving all of its items at once.
    std::deque<QueueItem> m_items;
    QSet<QString> m_texts; // texts many items share, kept once
    QSet<QString> m_listed; // real paths of all items
    int m_lastId = 0;
    QStringList m_folders;
    QSet<QString> m_visitedFolders;
    bool m_scanning = false;
    bool m_scanStop = false;
    QList<std::pair<QString, QString>> m_ignored;
    std::function<void()> m_refresh;
    bool m_probing = true;
    QElapsedTimer m_refreshClock;
    std::deque<std::unique_ptr<Pending>> m_pending;
    bool m_committing = false;
    QThreadPool m_pool;
};
