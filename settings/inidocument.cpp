#include "inidocument.h"

#include <QStringDecoder>

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A name that reads back as itself from its own line.
bool writableName(const QString &name)
{
    return name.isValidUtf16() && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r')) &&
           !name.contains(QLatin1Char('='));
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The surrogate written as four hex digits at pos, as in "\uD800".
std::optional<char16_t> surrogateAt(QStringView text, qsizetype pos)
{
    if (pos < 0 || pos + 4 > text.size())
        return std::nullopt;
    int code = 0;
    for (qsizetype i = pos; i < pos + 4; ++i) {
        const int digit = hexDigit(text.at(i));
        if (digit < 0)
            return std::nullopt;
        code = code * 16 + digit;
    }
    if (!QChar::isSurrogate(char32_t(code)))
        return std::nullopt;
    return char16_t(code);
}

bool isLoneSurrogate(QStringView text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate())
        return i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate();
    if (c.isLowSurrogate())
        return i == 0 || !text.at(i - 1).isHighSurrogate();
    return false;
}

QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        switch (text.at(i + 1).unicode()) {
        case u'n':
            out += QLatin1Char('\n');
            ++i;
            break;
        case u'r':
            out += QLatin1Char('\r');
            ++i;
            break;
        case u'\\':
        case u'"':
            out += text.at(i + 1);
            ++i;
            break;
        case u'u':
            if (const auto surrogate = surrogateAt(text, i + 2)) {
                out += QChar(*surrogate);
                i += 5;
            } else {
                out += c;
            }
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString decodeValue(QStringView stored)
{
    QStringView text = trimBlanks(stored);
    if (text.size() >= 2 && text.front() == QLatin1Char('"') && text.back() == QLatin1Char('"'))
        text = text.sliced(1, text.size() - 2);
    return unescape(text);
}

// Whether a backslash written before text[next] would be read as the start of an escape.
bool backslashNeedsEscape(QStringView text, qsizetype next)
{
    if (next >= text.size())
        return false;
    switch (text.at(next).unicode()) {
    case u'n':
    case u'r':
    case u'\\':
    case u'"':
    case u'\n':
    case u'\r':
        return true;
    case u'u':
        return surrogateAt(text, next + 1).has_value();
    default:
        return isLoneSurrogate(text, next); // written as "\u...."
    }
}

QString encodeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (isLoneSurrogate(value, i))
            out += QLatin1String("\\u") + QString::number(c.unicode(), 16).toUpper();
        else if (c == QLatin1Char('\\') && backslashNeedsEscape(value, i + 1))
            out += QLatin1String("\\\\");
        else
            out += c;
    }
    const bool quoted = out.size() >= 2 && out.front() == QLatin1Char('"') && out.back() == QLatin1Char('"');
    if (!out.isEmpty() && (isBlank(out.front()) || isBlank(out.back()) || quoted))
        return QLatin1Char('"') + out + QLatin1Char('"');
    return out;
}

QString decodeLine(QByteArrayView bytes)
{
    // fromUtf8 would drop a U+FEFF that starts any line, and with it part of a name.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace

IniDocument::Line IniDocument::classify(QByteArray raw, bool firstLine)
{
    Line line;
    line.raw = std::move(raw);
    QByteArrayView body(line.raw);
    if (body.endsWith('\r'))
        body.chop(1);
    if (firstLine && body.startsWith(byteOrderMark))
        body = body.sliced(byteOrderMark.size());
    const QString text = decodeLine(body);

    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        line.kind = Kind::Entry;
        line.name = trimBlanks(QStringView(text).first(equals)).toString();
        line.valueText = text.sliced(equals + 1);
        return line;
    }
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.size() >= 2 && trimmed.front() == QLatin1Char('[') && trimmed.back() == QLatin1Char(']')) {
        line.kind = Kind::Group;
        line.name = trimBlanks(trimmed.sliced(1, trimmed.size() - 2)).toString();
    }
    return line;
}

IniDocument IniDocument::parse(const QByteArray &text)
{
    IniDocument document;
    const QList<QByteArray> pieces = text.split('\n');
    document.m_lines.reserve(pieces.size());
    for (const QByteArray &piece : pieces)
        document.m_lines.append(classify(piece, document.m_lines.isEmpty()));
    return document;
}

QByteArray IniDocument::serialize() const
{
    QByteArray out;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            out += '\n';
        out += m_lines.at(i).raw;
    }
    return out;
}

QByteArray IniDocument::lineEnd() const
{
    // New lines follow the file's first line end.
    return m_lines.size() > 1 && m_lines.constFirst().raw.endsWith('\r') ? QByteArray("\r") : QByteArray();
}

bool IniDocument::hasGroup(const QString &group) const
{
    const QStringView name = trimBlanks(group);
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Group && sameName(line.name, name))
            return true;
    }
    return false;
}

void IniDocument::addGroup(const QString &group)
{
    if (!writableName(group) || hasGroup(group))
        return;
    if (m_lines.isEmpty())
        m_lines.append(Line());
    // Keep the last piece empty, so the file ends with a line feed.
    if (!m_lines.constLast().raw.isEmpty())
        m_lines.append(Line());
    const QByteArray end = lineEnd();
    qsizetype at = m_lines.size() - 1;
    if (at > 0 && !m_lines.at(at - 1).raw.trimmed().isEmpty()) {
        m_lines.insert(at, classify(end, false)); // a blank line between groups
        ++at;
    }
    const QByteArray header = '[' + trimBlanks(group).toUtf8() + ']' + end;
    m_lines.insert(at, classify(header, at == 0));
}

QList<qsizetype> IniDocument::entries(const QString &group, const QString &key) const
{
    const QStringView groupName = trimBlanks(group);
    const QStringView keyName = trimBlanks(key);
    QList<qsizetype> found;
    bool inGroup = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Group)
            inGroup = sameName(line.name, groupName);
        else if (inGroup && line.kind == Kind::Entry && sameName(line.name, keyName))
            found.append(i);
    }
    return found;
}

qsizetype IniDocument::lastLineOfGroup(const QString &group) const
{
    const QStringView groupName = trimBlanks(group);
    qsizetype last = -1;
    bool inGroup = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Group)
            inGroup = sameName(line.name, groupName);
        if (inGroup && line.kind != Kind::Other)
            last = i;
    }
    return last;
}

std::optional<QString> IniDocument::value(const QString &group, const QString &key) const
{
    const QList<qsizetype> found = entries(group, key);
    if (found.isEmpty())
        return std::nullopt;
    return decodeValue(m_lines.at(found.constLast()).valueText);
}

void IniDocument::setValue(const QString &group, const QString &key, const QString &value)
{
    if (!writableName(group) || !writableName(key))
        return;
    const QString name = trimBlanks(key).toString();
    QList<qsizetype> found = entries(group, key);
    if (found.isEmpty()) {
        addGroup(group);
        const qsizetype at = lastLineOfGroup(group) + 1;
        m_lines.insert(at, classify(name.toUtf8() + '=' + encodeValue(value).toUtf8() + lineEnd(), at == 0));
        return;
    }

    const qsizetype kept = found.takeLast();
    Line &line = m_lines[kept];
    const bool crlf = line.raw.endsWith('\r');
    if (decodeValue(line.valueText) != value) {
        line = classify(name.toUtf8() + '=' + encodeValue(value).toUtf8() + (crlf ? "\r" : ""), kept == 0);
    } else if (line.name != name) {
        // Only the name's spelling changes; the value keeps its bytes.
        line = classify(name.toUtf8() + line.raw.sliced(line.raw.indexOf('=')), kept == 0);
    }
    for (auto it = found.crbegin(); it != found.crend(); ++it)
        m_lines.removeAt(*it);
}

void IniDocument::remove(const QString &group, const QString &key)
{
    const QList<qsizetype> found = entries(group, key);
    for (auto it = found.crbegin(); it != found.crend(); ++it)
        m_lines.removeAt(*it);
}
