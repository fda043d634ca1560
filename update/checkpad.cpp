#include "checkpad.h"

#include "download.h"
#include "pad.h"
#include "version.h"

#include "buildinfo.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QUrl>

namespace {

QString applicationTitle()
{
    return QLatin1String(BuildInfo::productName);
}

// The download address the prompt may offer: https with a host, or an empty URL. It only ever
// goes to the browser, never to a local program or document, and never over plain http.
QUrl offeredDownload(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.scheme().toLower() != QLatin1String("https"))
        return QUrl();
    return url;
}

// Releases the waiting thread when the hand-over is done with, run or dropped.
struct Release
{
    QSemaphore *semaphore;
    ~Release() { semaphore->release(); }
};

} // namespace

TmGetNewVer::TmGetNewVer(QObject *parent)
    : QObject(parent), URLCurrVerFile(QStringLiteral("https://") + QLatin1String(BuildInfo::siteHost) +
                                      QStringLiteral("/quorrel/quorrel.xml")),
      SiteName(QLatin1String(BuildInfo::siteHost)), m_buffer(std::make_shared<QByteArray>())
{}

TmGetNewVer::~TmGetNewVer()
{
    if (!m_thread)
        return;
    TVInfoDownload *thread = m_thread;
    m_thread = nullptr;
    thread->detach();
    thread->requestInterruption();
    if (thread->isHandingOver()) {
        // Destroyed from inside our own dialog: the thread ends as soon as that returns. The
        // application frees it should no event loop run any more.
        thread->setParent(QCoreApplication::instance());
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        return;
    }
    while (!thread->wait(20))
        thread->deliverPending();
    delete thread;
}

void TmGetNewVer::Check()
{
    if (m_thread)
        return;
    m_thread = new TVInfoDownload(this, URLCurrVerFile, m_buffer, FailureDlg, m_timeLimit);
    connect(m_thread, &QThread::finished, this, &TmGetNewVer::threadFinished);
    m_thread->start();
}

void TmGetNewVer::threadFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    Q_EMIT checkFinished();
}

void TmGetNewVer::ProcessVersionInfo()
{
    QStringList list;
    if (!ReadVersionInfo(list) || list.isEmpty())
        return;
    const QString installed = list.constFirst();
    const PadInfo pad = readPad(*m_buffer);

    if (OnGetURL) {
        const QPointer<TmGetNewVer> self(this);
        OnGetURL(this, pad.version, pad.downloadUrl);
        if (!self)
            return;
    }

    if (IsNewerVersion(pad.version, installed)) {
        if (!DownloadDlg)
            return;
        // Nothing safe to offer: as quiet as a version file that cannot be read.
        const QUrl download = offeredDownload(pad.downloadUrl);
        if (download.isEmpty())
            return;
        // The host Yes leads to, in its ASCII form so that look-alike letters cannot pose as a known
        // site; user info before it cannot either.
        const QString text = QStringLiteral("There's a new version ") + pad.version +
                             QStringLiteral(" of this program") + QStringLiteral("\r\navaliable at: ") +
                             download.host(QUrl::FullyEncoded) +
                             QStringLiteral("\r\nDo you wan't to download it now ?");
        const Dialogs::Answer answer =
            Dialogs::message(nullptr, text, QStringLiteral("Confirm"), Dialogs::Icon::Question,
                             Dialogs::Buttons::YesNo, Dialogs::Answer::Yes);
        if (answer == Dialogs::Answer::Yes)
            Launcher::open(download.toString(QUrl::FullyEncoded));
    } else {
        Dialogs::message(nullptr,
                         QStringLiteral("You already have the latest version ") + installed +
                             QStringLiteral(" of this program"),
                         QStringLiteral("Confirm"), Dialogs::Icon::Question);
    }
}

TVInfoDownload::TVInfoDownload(TmGetNewVer *owner, QString url, std::shared_ptr<QByteArray> buffer,
                               bool failureDlg, std::chrono::milliseconds timeLimit)
    : m_owner(owner), m_url(std::move(url)), m_buffer(std::move(buffer)), m_failureDlg(failureDlg),
      m_timeLimit(timeLimit)
{}

void TVInfoDownload::detach()
{
    m_detached = true;
}

void TVInfoDownload::deliverPending()
{
    QCoreApplication::sendPostedEvents(&m_relay, QEvent::MetaCall);
}

void TVInfoDownload::run()
{
    m_buffer->clear();
    DownloadOptions options;
    options.timeLimit = m_timeLimit;
    options.cancelled = [this] { return isInterruptionRequested(); };
    options.readFailed = [this] {
        // Shown and closed before the warning that ReportResult may add.
        Synchronize([] {
            Dialogs::message(nullptr, QStringLiteral("Unable to download file."), applicationTitle(),
                             Dialogs::Icon::None);
        });
    };
    if (DownloadFile(m_url, *m_buffer, options) != 0)
        DownloadFailed = true;
    if (!isInterruptionRequested())
        Synchronize([this] { ReportResult(); });
}

void TVInfoDownload::Synchronize(std::function<void()> fn)
{
    QSemaphore done;
    {
        const std::shared_ptr<Release> release(new Release{&done});
        QMetaObject::invokeMethod(
            &m_relay,
            [this, fn = std::move(fn), release] {
                if (m_detached || !m_owner)
                    return;
                m_handingOver = true;
                try {
                    fn();
                } catch (const std::exception &) {
                    // An error while reporting ends the check quietly.
                }
                m_handingOver = false;
            },
            Qt::QueuedConnection);
    }
    done.acquire();
}

void TVInfoDownload::ReportResult()
{
    if (DownloadFailed && m_failureDlg) {
        Dialogs::message(nullptr,
                         QStringLiteral("Couldn't download file version information from:\r\n") + m_url +
                             QStringLiteral(" !"),
                         QStringLiteral("Warning"), Dialogs::Icon::Warning);
        return;
    }
    m_owner->ProcessVersionInfo();
}
