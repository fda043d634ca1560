#include "resultline.h"

#include <cstdio>

namespace ResultLine {

namespace {
void appendHex(QByteArray &out, uint byte)
{
    out += "\\x";
    out += QByteArray::number(byte, 16).rightJustified(2, '0');
}
} // namespace

QByteArray escapeField(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += text.mid(i, 2).toUtf8();
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            appendHex(out, c - 0xDC00);
        } else if (QChar::isSurrogate(c)) {
            out += "\xEF\xBF\xBD"; // a lone surrogate that stands for no byte: the replacement character
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            appendHex(out, c);
        } else {
            out += QString(QChar(c)).toUtf8();
        }
    }
    return out;
}

QByteArray line(const QString &status, const QString &input, const QString &third)
{
    return escapeField(status) + '\t' + escapeField(input) + '\t' + escapeField(third) + '\n';
}

void print(const QString &status, const QString &input, const QString &third)
{
    const QByteArray bytes = line(status, input, third);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace ResultLine
