#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The encoder's diagnostic text is read as bytes and examined as such.

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
// sets Duration and reports nothing; "Duration: N/A" (a stream of unknown length) makes it unknown (0).
// A line that starts with the mark but holds no h:m:s (a file name with a line break can print one)
// leaves Duration as it was. Any other block with a positive "time=" figure gives the progress
// position. startsLine says whether the block begins at the start of a line.
std::optional<qint32> ParseOutput(const QByteArray &Block, double &Duration, bool startsLine = true);

// The encoder's bytes as text, losing none: valid UTF-8 is decoded, and every byte of an invalid
// sequence becomes the lone surrogate U+DC00 + byte, which valid UTF-8 never gives.
QString decodeOutputText(const QByteArray &bytes);

// Tells an encoder at work from a stalled one by its output. Signs of life are output other than a
// progress line, and a progress line whose "time=" figure passed the furthest one so far: an encoder
// printing the same position over and over is stuck.
class StallWatch
{
public:
    // Longer than any progress line; an unfinished line beyond it is judged as it is.
    static constexpr qsizetype UnfinishedSize = 4096;

    // Whether these bytes, the next ones read, show a sign of life. A line without its end yet is
    // judged with the bytes that end it.
    bool add(const QByteArray &bytes);

private:
    QByteArray m_unfinished;
    std::optional<double> m_furthest;
};

// Turns what each read of the pipe gives into the block to examine. Only a duration line cut by the
// end of a read is held back, to be put before the next read's bytes; nothing else is joined.
class OutputBlocks
{
public:
    // Longer than any duration line up to its comma; a longer text is not held back.
    static constexpr qsizetype HeldSize = 80;

    // The block for these bytes, without a duration line left unfinished at its end.
    QByteArray add(const QByteArray &bytes);
    // Whether the block add gave last begins at the start of a line.
    bool startsLine() const { return m_startsLine; }

private:
    QByteArray m_held;
    bool m_heldStartsLine = true;
    bool m_startsLine = true;
};
