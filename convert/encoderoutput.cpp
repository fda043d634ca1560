#include "encoderoutput.h"

#include <climits>
#include <cmath>
#include <utility>

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArray trimmed(const QByteArray &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// The line that starts (after blanks) with "Duration:", from that mark to the line's end. File names
// and tags also print the word, but never at the start of a line.
const QByteArray DurationMark = QByteArrayLiteral("Duration:");

bool isIndent(char c)
{
    return c == ' ' || c == '\t';
}

QList<QByteArray> durationLines(const QByteArray &block, bool startsLine)
{
    QList<QByteArray> lines;
    for (qsizetype at = block.indexOf(DurationMark); at >= 0; at = block.indexOf(DurationMark, at + 1)) {
        qsizetype p = at;
        while (p > 0 && isIndent(block.at(p - 1)))
            --p;
        if (p > 0 ? !isLineEnd(block.at(p - 1)) : !startsLine)
            continue;
        qsizetype end = at;
        while (end < block.size() && !isLineEnd(block.at(end)))
            ++end;
        lines.append(block.mid(at, end - at));
        at = end;
    }
    return lines;
}

// A line that is, or may still become, a duration line whose comma has not come yet.
bool isUnfinishedDurationLine(const QByteArray &line)
{
    qsizetype p = 0;
    while (p < line.size() && isIndent(line.at(p)))
        ++p;
    const QByteArray rest = line.mid(p);
    if (rest.size() < DurationMark.size())
        return DurationMark.startsWith(rest);
    return rest.startsWith(DurationMark) && rest.indexOf(',', DurationMark.size()) < 0;
}

int integerOrZero(const QByteArray &field)
{
    bool ok = false;
    const int value = field.toInt(&ok, 10);
    return ok ? value : 0;
}

// Seconds of a duration line's h:m:s; nothing when it holds none.
std::optional<double> durationSeconds(const QByteArray &line)
{
    QByteArray t = ExtractBetween(line, DurationMark, ",");
    const qsizetype dot = t.indexOf('.');
    t = dot < 0 ? QByteArray() : trimmed(t.left(dot));
    const QList<QByteArray> fields = SplitText(t, ":");
    if (fields.size() < 3)
        return std::nullopt;
    return 3600.0 * integerOrZero(fields[0]) + 60.0 * integerOrZero(fields[1]) + integerOrZero(fields[2]);
}

} // namespace

QByteArray ExtractBetween(const QByteArray &Text, const QByteArray &StartMark, const QByteArray &EndMark)
{
    const qsizetype start = Text.indexOf(StartMark);
    if (start < 0)
        return {};
    const qsizetype from = start + StartMark.size();
    const qsizetype end = Text.indexOf(EndMark, from);
    if (end < 0)
        return {};
    return trimmed(Text.mid(from, end - from));
}

QList<QByteArray> SplitText(const QByteArray &Text, const QByteArray &Delimiter)
{
    QList<QByteArray> fields;
    qsizetype from = 0;
    for (qsizetype at = Text.indexOf(Delimiter); at >= 0; at = Text.indexOf(Delimiter, from)) {
        fields.append(Text.mid(from, at - from));
        from = at + Delimiter.size();
    }
    fields.append(Text.mid(from));
    return fields;
}

std::optional<double> parseTimeFigure(const QByteArray &text)
{
    bool ok = false;
    if (!text.contains(':')) {
        const double seconds = text.toDouble(&ok);
        if (!ok || !std::isfinite(seconds))
            return std::nullopt;
        return seconds;
    }
    // Newer encoders print the position as hours:minutes:seconds.
    const bool negative = text.startsWith('-');
    const QList<QByteArray> fields = SplitText(negative ? text.mid(1) : text, ":");
    if (fields.size() != 3)
        return std::nullopt;
    bool hOk = false, mOk = false, sOk = false;
    const uint h = fields[0].toUInt(&hOk, 10);
    const uint m = fields[1].toUInt(&mOk, 10);
    const double s = fields[2].toDouble(&sOk);
    if (!hOk || !mOk || !sOk || !std::isfinite(s) || s < 0)
        return std::nullopt;
    const double seconds = 3600.0 * h + 60.0 * m + s;
    return negative ? -seconds : seconds;
}

std::optional<qint32> progressPosition(double seconds, double duration)
{
    if (!(duration > 0) || !(seconds > 0))
        return std::nullopt;
    const double tenths = std::nearbyint(10.0 * seconds / duration);
    if (!(tenths <= INT_MAX / 10))
        return std::nullopt;
    return qint32(tenths) * 10;
}

std::optional<qint32> ParseOutput(const QByteArray &Block, double &Duration, bool startsLine)
{
    const QList<QByteArray> lines = durationLines(Block, startsLine);
    for (const QByteArray &line : lines) {
        if (ExtractBetween(line, DurationMark, ",") == "N/A") {
            // A stream of unknown length converts all the same; only its progress cannot be told.
            Duration = 0;
        } else if (const std::optional<double> seconds = durationSeconds(line)) {
            Duration = *seconds;
        }
        // Anything else is a file name or tag that put the mark at a line start: it says nothing.
    }
    if (!lines.isEmpty() || !Block.contains("time="))
        return std::nullopt;
    const std::optional<double> seconds = parseTimeFigure(ExtractBetween(Block, "time=", " "));
    return seconds ? progressPosition(*seconds, Duration) : std::nullopt;
}

QString decodeOutputText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    const auto byteAt = [&bytes](qsizetype i) { return uchar(bytes.at(i)); };
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const uchar lead = byteAt(i);
        // The length a lead byte announces (0: it cannot start a sequence) and the bits it carries.
        const int length = lead < 0x80   ? 1
                           : lead < 0xC2 ? 0
                           : lead < 0xE0 ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF5 ? 4
                                         : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool valid = length > 0 && i + length <= size;
        for (int k = 1; valid && k < length; ++k) {
            const uchar next = byteAt(i + k);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are not valid UTF-8 either.
        constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= Smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            // The byte stays recoverable: no text decoded from valid UTF-8 holds a lone surrogate.
            text += QChar(0xDC00 + lead);
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(code)) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(char16_t(code));
        }
        i += length;
    }
    return text;
}

bool StallWatch::add(const QByteArray &bytes)
{
    QByteArray text = std::exchange(m_unfinished, QByteArray()) + bytes;
    qsizetype lastEnd = text.size();
    while (lastEnd > 0 && !isLineEnd(text.at(lastEnd - 1)))
        --lastEnd;
    // A line still being written is judged once it is whole, unless it grows too long for a line.
    if (text.size() - lastEnd <= UnfinishedSize) {
        m_unfinished = text.mid(lastEnd);
        text.truncate(lastEnd);
    }
    bool alive = false;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && !isLineEnd(text.at(end)))
            ++end;
        const QByteArray line = trimmed(text.mid(from, end - from));
        from = end + 1;
        if (line.isEmpty())
            continue;
        const qsizetype at = line.indexOf("time=");
        if (at < 0) {
            alive = true;
            continue;
        }
        QByteArray figure = line.mid(at + 5);
        if (const qsizetype blank = figure.indexOf(' '); blank >= 0)
            figure.truncate(blank);
        const std::optional<double> seconds = parseTimeFigure(figure);
        if (seconds && (!m_furthest || *seconds > *m_furthest)) {
            m_furthest = seconds;
            alive = true;
        }
    }
    return alive;
}

QByteArray OutputBlocks::add(const QByteArray &bytes)
{
    QByteArray block = std::exchange(m_held, QByteArray()) + bytes;
    m_startsLine = m_heldStartsLine;
    qsizetype lastLine = block.size();
    while (lastLine > 0 && !isLineEnd(block.at(lastLine - 1)))
        --lastLine;
    const QByteArray line = block.mid(lastLine);
    // Held back even when empty or only blanks so far: the next block then still begins a line.
    m_heldStartsLine =
        (lastLine > 0 || m_startsLine) && line.size() <= HeldSize && isUnfinishedDurationLine(line);
    if (m_heldStartsLine) {
        m_held = line;
        block.truncate(lastLine);
    }
    return block;
}
