#include "download.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

const QByteArray userAgent = QByteArrayLiteral("Check updates");
constexpr int readBlock = 1024;
// What the network layer may hold for us before it stops reading from the connection.
constexpr qint64 replyBufferSize = 16 * 1024;
constexpr std::chrono::milliseconds cancelPoll{50};

// The announced length, or -1 when the response has none (or an unusable one).
qint64 announcedLength(const QNetworkReply &reply)
{
    if (!reply.hasRawHeader("Content-Length"))
        return -1;
    bool ok = false;
    const qint64 length = reply.rawHeader("Content-Length").trimmed().toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

// Errors Qt derives from the status code: the response itself arrived.
bool isStatusError(QNetworkReply::NetworkError e)
{
    return (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError) ||
           (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError);
}

} // namespace

DownloadOutcome fetchFile(const QString &url, QByteArray &buffer, const DownloadOptions &options)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    // Compressed transfer would make the byte count differ from the announced length.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(0); // our own limit below covers the whole download

    QNetworkReply *reply = manager.get(request);
    // Unbounded by default: an endless answer would pile up in the reply faster than it is read.
    reply->setReadBufferSize(replyBufferSize);
    QEventLoop loop;
    qint64 total = 0;
    qint64 expected = -1;
    bool timedOut = false;
    bool tooLarge = false;
    bool cancelled = false;

    auto readAvailable = [&] {
        while (!tooLarge && reply->bytesAvailable() > 0) {
            const QByteArray block = reply->read(readBlock);
            total += block.size();
            if (total > options.sizeLimit) {
                tooLarge = true;
                reply->abort();
                return;
            }
            buffer.append(block);
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        expected = announcedLength(*reply);
        if (expected > options.sizeLimit) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, readAvailable);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    limit.start(options.timeLimit);

    QTimer poll;
    if (options.cancelled) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (options.cancelled()) {
                cancelled = true;
                reply->abort();
            }
        });
        poll.start(cancelPoll);
    }

    if (!reply->isFinished())
        loop.exec();
    if (!tooLarge && !timedOut && !cancelled)
        readAvailable();
    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    delete reply;

    if (cancelled)
        return DownloadOutcome::Cancelled;
    if (tooLarge)
        return DownloadOutcome::TooLarge;
    // A connection closed early after the headers is the end of the data, not a failed read:
    // the count below tells whether everything came.
    const bool readOk = error == QNetworkReply::NoError || isStatusError(error) ||
                        (answered && error == QNetworkReply::RemoteHostClosedError);
    if (timedOut || !readOk) {
        if (options.readFailed)
            options.readFailed();
        return DownloadOutcome::ReadFailed;
    }
    return expected >= 0 && total == expected ? DownloadOutcome::Complete : DownloadOutcome::LengthMismatch;
}

int DownloadFile(const QString &url, QByteArray &buffer, const DownloadOptions &options)
{
    return fetchFile(url, buffer, options) == DownloadOutcome::Complete ? 0 : -1;
}
