#include "mediavalue.h"

#include <cmath>

namespace {

// Blanks and control characters, as the library may pad its answers with either.
QString trimControls(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

QString firstValue(const QString &text)
{
    return text.contains(u'/') ? CopyBefore(QStringLiteral("/"), text) : text;
}

} // namespace

QString CopyBefore(const QString &Separator, const QString &Text)
{
    const qsizetype at = Text.indexOf(Separator);
    return at < 0 ? QString() : Text.left(at);
}

qint64 MediaValueToInt(const QString &Text, qint64 Default)
{
    QString value = Text;
    if (value.contains(u'.'))
        value = CopyBefore(QStringLiteral("."), value);
    value = trimControls(firstValue(value));
    if (value.isEmpty())
        return Default;
    bool ok = false;
    // QString's own conversions always use the C locale.
    const qint64 parsed = value.toLongLong(&ok, 10);
    return ok ? parsed : Default;
}

double MediaValueToFloat(const QString &Text, double Default)
{
    const QString value = trimControls(firstValue(Text));
    if (value.isEmpty())
        return Default;
    bool ok = false;
    const double parsed = value.toDouble(&ok);
    // "inf" and "nan" parse, but no bit rate is either, and callers round the value to an integer.
    return ok && std::isfinite(parsed) ? parsed : Default;
}
