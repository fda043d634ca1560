#pragma once

// What the parts of the batch engine share: the status texts, and a file being converted.
#include "batchengine.h"
#include "coverart.h"

#include <QString>

#include <memory>
#include <vector>

class TPipeConvert;

namespace BatchStatus {
inline const QString statusProcessing = QStringLiteral("Processing...");
inline const QString statusDone = QStringLiteral("Done!");
inline const QString statusFailed = QStringLiteral("Failed");
inline const QString statusStopped = QStringLiteral("Stopped");
inline const QString statusSkipped = QStringLiteral("Skipped");
inline const QString noAudio = QStringLiteral("no audio stream");
inline const QString copiedNote = QStringLiteral("copied without re-encoding");
inline constexpr qint64 estimateAfterMsecs = 2000;

// A source as the encoder is given it: always a file, never an option or a protocol ("-y.avi", "pipe:0.avi").
QString encoderInput(const QString &infile);
// The encoder's words when a file that was not probed has nothing to extract.
QString plainReason(const QString &failureText);
// "4:31", "1:02:03".
QString clockText(qint64 msecs);
} // namespace BatchStatus

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
