#include "batch/namepattern.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <utility>

namespace NamePattern {
namespace {

const QRegularExpression &fieldExpression()
{
    static const QRegularExpression expression(QStringLiteral("\\{([^{}]*)\\}"));
    return expression;
}

// The value a known field stands for, or nullptr when the program does not know the field.
const QString *valueOf(const QString &field, const Fields &fields)
{
    static const std::pair<QStringView, QString Fields::*> known[] = {
        {u"name", &Fields::name},   {u"title", &Fields::title},     {u"artist", &Fields::artist},
        {u"album", &Fields::album}, {u"date", &Fields::date},       {u"track", &Fields::track},
        {u"lang", &Fields::lang},   {u"chapter", &Fields::chapter}, {u"chaptertitle", &Fields::chapterTitle},
    };
    for (const auto &[key, member] : known)
        if (field.compare(key, Qt::CaseInsensitive) == 0)
            return &(fields.*member);
    return nullptr;
}

// "/" would make a folder, and control characters (NUL included) or a lone half of a surrogate pair
// have no place in a name.
QString sanitized(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c == u'/' || c.category() == QChar::Other_Control || c.isSurrogate())
            text[i] = u'_';
    }
    return text;
}

bool isSeparatorOnly(const QString &text)
{
    static const QString separators = QStringLiteral("-_.,\u2013");
    for (const QChar c : text)
        if (!c.isSpace() && !separators.contains(c))
            return false;
    return true;
}

// The brackets of "({date})" or "[{lang}]" go with an empty field.
void dropBrackets(QString &before, QString &after)
{
    const QString trimmedBefore = before.trimmed();
    const QString trimmedAfter = after.trimmed();
    for (const auto &[open, close] : {std::pair{u'(', u')'}, std::pair{u'[', u']'}}) {
        if (trimmedBefore.endsWith(open) && trimmedAfter.startsWith(close)) {
            before.chop(before.size() - before.lastIndexOf(open));
            after.remove(0, after.indexOf(close) + 1);
            return;
        }
    }
}

QString stemFor(const QString &pattern, const Fields &fields)
{
    // literals[i] comes before values[i], the last literal after the last value.
    QStringList literals{QString()};
    QStringList values;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : fieldExpression().globalMatch(pattern)) {
        const QString *value = valueOf(match.captured(1), fields);
        if (!value)
            continue; // unknown: kept as written, with the text around it
        literals.last() += sanitized(pattern.mid(from, match.capturedStart() - from));
        values.append(sanitized(*value).trimmed());
        literals.append(QString());
        from = match.capturedEnd();
    }
    literals.last() += sanitized(pattern.mid(from));

    // Empty fields go from left to right, so every value left of i holds text.
    for (qsizetype i = 0; i < values.size();) {
        if (!values.at(i).isEmpty()) {
            ++i;
            continue;
        }
        QString before = literals.at(i);
        QString after = literals.at(i + 1);
        dropBrackets(before, after);
        if (isSeparatorOnly(before) && isSeparatorOnly(after)) {
            bool textFollows = false;
            for (qsizetype j = i + 1; j < values.size() && !textFollows; ++j)
                textFollows = !values.at(j).isEmpty() || !isSeparatorOnly(literals.at(j + 1));
            after.clear();
            if (i == 0 || !textFollows)
                before.clear();
        }
        literals[i] = before + after;
        literals.removeAt(i + 1);
        values.removeAt(i);
    }

    QString stem;
    for (qsizetype i = 0; i < values.size(); ++i)
        stem += literals.at(i) + values.at(i);
    stem += literals.last();
    return stem.simplified();
}

// The longest start of text that fits in maxBytes of UTF-8, ending between whole characters.
QString cutToBytes(const QString &text, qsizetype maxBytes)
{
    qsizetype end = 0;
    qsizetype bytes = 0;
    while (end < text.size()) {
        char32_t c = text.at(end).unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && end + 1 < text.size() && text.at(end + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(end), text.at(end + 1));
            width = 2;
        }
        const qsizetype size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += width;
    }
    if (end == text.size())
        return text;
    // Back to the start of a letter with its accents, unless that letter alone is too long.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    graphemes.setPosition(end);
    if (!graphemes.isAtBoundary()) {
        const qsizetype boundary = graphemes.toPreviousBoundary();
        if (boundary > 0)
            end = boundary;
    }
    return text.left(end).trimmed();
}

bool isDotsOnly(const QString &text)
{
    return !text.isEmpty() && text.count(u'.') == text.size();
}

} // namespace

QString fileName(const QString &pattern, const Fields &fields, const QString &extension, const QString &tail)
{
    const QString suffix = sanitized(tail) + (extension.isEmpty() ? QString() : u'.' + sanitized(extension));
    QString stem = stemFor(pattern, fields);
    if (stem.isEmpty())
        stem = stemFor(defaultPattern, fields);
    stem = cutToBytes(stem, maxNameBytes - suffix.toUtf8().size());
    if (stem.isEmpty() || isDotsOnly(stem))
        stem = QStringLiteral("_");
    return stem + suffix;
}

QString fitted(const QString &stem, const QString &tail, qsizetype limit)
{
    return cutToBytes(stem, limit - tail.toUtf8().size()) + tail;
}

QStringList unknownFields(const QString &pattern)
{
    QStringList unknown;
    const Fields none;
    for (const QRegularExpressionMatch &match : fieldExpression().globalMatch(pattern)) {
        if (!valueOf(match.captured(1), none) && !unknown.contains(match.captured(0)))
            unknown.append(match.captured(0));
    }
    return unknown;
}

} // namespace NamePattern
