#pragma once

#include "platform/exception.h"

#include <QByteArray>
#include <QList>
#include <optional>

// The encoder's diagnostic text is read as bytes and examined as such.

class EEncoderOutput : public Exception
{
public:
    using Exception::Exception;
};

// The text between the first StartMark and the next EndMark after it, without surrounding blanks and
// control characters; empty when either mark is missing.
QByteArray ExtractBetween(const QByteArray &Text, const QByteArray &StartMark, const QByteArray &EndMark);

// The parts between the delimiters; an empty text gives one empty part.
QList<QByteArray> SplitText(const QByteArray &Text, const QByteArray &Delimiter);

// Seconds of a "time=" figure, either 83.45 or 00:01:23.45; nothing when it is neither.
std::optional<double> parseTimeFigure(const QByteArray &text);

// 0, 10, ... 100 (more past the end): ten times the tenths done, an exact half going to the even
// neighbour. Nothing when the duration is unknown or the figure is not a usable position.
std::optional<qint32> progressPosition(double seconds, double duration);

// Examines one block as a whole. A block holding the encoder's duration line ("Duration: h:m:s.ff,")
// sets Duration and reports nothing; any other block with a positive "time=" figure gives the
// progress position. Throws EEncoderOutput when the duration line holds no h:m:s.
std::optional<qint32> ParseOutput(const QByteArray &Block, double &Duration);

// Regroups what the pipe gives into blocks that end at a line end, so a line cut between two reads
// is examined whole. A line longer than a block is passed on in pieces.
class OutputBlocks
{
public:
    static constexpr qsizetype BlockSize = 1024;

    QList<QByteArray> add(const QByteArray &bytes);
    // What is left after the last line end.
    QByteArray takeRest();

private:
    QByteArray m_pending;
};
