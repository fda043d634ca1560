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
std::optional<QByteArray> durationLine(const QByteArray &block)
{
    static const QByteArray mark = QByteArrayLiteral("Duration:");
    for (qsizetype at = block.indexOf(mark); at >= 0; at = block.indexOf(mark, at + 1)) {
        qsizetype p = at;
        while (p > 0 && (block.at(p - 1) == ' ' || block.at(p - 1) == '\t'))
            --p;
        if (p > 0 && !isLineEnd(block.at(p - 1)))
            continue;
        qsizetype end = at;
        while (end < block.size() && !isLineEnd(block.at(end)))
            ++end;
        return block.mid(at, end - at);
    }
    return std::nullopt;
}

int integerOrZero(const QByteArray &field)
{
    bool ok = false;
    const int value = field.toInt(&ok, 10);
    return ok ? value : 0;
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

std::optional<qint32> ParseOutput(const QByteArray &Block, double &Duration)
{
    if (const std::optional<QByteArray> line = durationLine(Block)) {
        QByteArray t = ExtractBetween(*line, "Duration:", ",");
        const qsizetype dot = t.indexOf('.');
        t = dot < 0 ? QByteArray() : trimmed(t.left(dot));
        const QList<QByteArray> fields = SplitText(t, ":");
        if (fields.size() < 3)
            throw EEncoderOutput(QStringLiteral("Unreadable duration: %1").arg(QString::fromLatin1(*line)));
        Duration =
            3600.0 * integerOrZero(fields[0]) + 60.0 * integerOrZero(fields[1]) + integerOrZero(fields[2]);
        return std::nullopt;
    }
    if (!Block.contains("time="))
        return std::nullopt;
    const std::optional<double> seconds = parseTimeFigure(ExtractBetween(Block, "time=", " "));
    return seconds ? progressPosition(*seconds, Duration) : std::nullopt;
}

QList<QByteArray> OutputBlocks::add(const QByteArray &bytes)
{
    QList<QByteArray> blocks;
    m_pending += bytes;
    qsizetype end = m_pending.size();
    while (end > 0 && !isLineEnd(m_pending.at(end - 1)))
        --end;
    if (end > 0) {
        blocks.append(m_pending.left(end));
        m_pending.remove(0, end);
    }
    if (m_pending.size() > BlockSize)
        blocks.append(takeRest());
    return blocks;
}

QByteArray OutputBlocks::takeRest()
{
    return std::exchange(m_pending, QByteArray());
}
