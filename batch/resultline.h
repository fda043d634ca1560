#pragma once

#include <QByteArray>
#include <QString>

// The lines an unattended run prints, one per file: "status<TAB>input<TAB>output or reason".
namespace ResultLine {

// A field made safe for one line: backslash, line feed, carriage return and tab become \\, \n, \r, \t;
// other control characters, and bytes that were not valid text (kept as U+DC00 + byte by the
// lossless decoders), become \xHH. So no file name or reason can forge a line or a field.
QByteArray escapeField(const QString &text);

// The whole line, with its line feed.
QByteArray line(const QString &status, const QString &input, const QString &third);

// Writes a line to standard output at once, so a reader sees each file as it ends.
void print(const QString &status, const QString &input, const QString &third);

} // namespace ResultLine
