#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>

struct DownloadOptions
{
    std::chrono::milliseconds timeLimit{30000};
    qint64 sizeLimit = 1024 * 1024;
    // Polled while waiting; true aborts the download (the owner is going away).
    std::function<bool()> cancelled;
    // Called once when reading fails: no connection, connection reset, time limit.
    std::function<void()> readFailed;
};

// Why a download ended; everything but Complete counts as failed.
enum class DownloadOutcome
{
    Complete,
    ReadFailed,
    LengthMismatch,
    TooLarge,
    Cancelled
};

// Fetches url into buffer (appending) with its own event loop, so it may run on any thread.
// Complete only when the server announced a content length and exactly that many bytes arrived.
// The HTTP status is not examined: an error page with a length is a complete download.
DownloadOutcome fetchFile(const QString &url, QByteArray &buffer, const DownloadOptions &options);

// 0 for success, -1 for failure.
int DownloadFile(const QString &url, QByteArray &buffer, const DownloadOptions &options = {});
