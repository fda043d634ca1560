#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>

class TVInfoDownload;

// Fetches the published version file, compares its version with ours and offers the download.
// Check() returns at once; the download runs on a thread of its own and everything the user sees
// happens on the thread that owns this object.
class TmGetNewVer : public QObject
{
    Q_OBJECT

public:
    using TOnGetURLEvent =
        std::function<void(TmGetNewVer *sender, const QString &CurrentVersion, const QString &DownloadURL)>;

    explicit TmGetNewVer(QObject *parent = nullptr);
    ~TmGetNewVer() override;

    QString URLCurrVerFile;
    // Kept for the owner that sets it; the prompt names the host of the address it offers instead.
    QString SiteName;
    bool FailureDlg = true;
    bool DownloadDlg = true;
    TOnGetURLEvent OnGetURL;

    // Starts one check; ignored while one is running (the download buffer is the check's alone).
    void Check();
    bool isChecking() const { return m_thread != nullptr; }

    // How long a download may take before it counts as failed.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

Q_SIGNALS:
    // A check has ended, whatever it showed.
    void checkFinished();

private:
    friend class TVInfoDownload;
    void ProcessVersionInfo();
    void threadFinished();

    std::shared_ptr<QByteArray> m_buffer;
    TVInfoDownload *m_thread = nullptr;
    std::chrono::milliseconds m_timeLimit{30000};
};

// One check's download. The owner's fields it touches are touched on the owner's thread only,
// inside Synchronize, while this thread waits.
class TVInfoDownload : public QThread
{
    Q_OBJECT

public:
    TVInfoDownload(TmGetNewVer *owner, QString url, std::shared_ptr<QByteArray> buffer, bool failureDlg,
                   std::chrono::milliseconds timeLimit);

    bool DownloadFailed = false;

    // The owner is going away: nothing more reaches it. Owner's thread only.
    void detach();
    // True while a hand-over runs on the owner's thread (the thread is waiting for it).
    bool isHandingOver() const { return m_handingOver; }
    // Runs hand-overs already posted, so a waiting thread can go on. Owner's thread only.
    void deliverPending();

protected:
    void run() override;

private:
    // Runs fn on the owner's thread and waits until it has run (or was dropped).
    void Synchronize(std::function<void()> fn);
    void ReportResult();

    QPointer<TmGetNewVer> m_owner;
    bool m_detached = false;
    bool m_handingOver = false;
    QString m_url;
    std::shared_ptr<QByteArray> m_buffer;
    bool m_failureDlg;
    std::chrono::milliseconds m_timeLimit;
    QObject m_relay; // lives on the owner's thread; hand-overs are posted to it
};
