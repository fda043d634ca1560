#pragma once

#include <QString>
#include <QtGlobal>

// Turning MediaInfo's text answers into numbers. The library answers numbers as text, sometimes
// with a fractional part or as "first / second" for streams with more than one value.

// The part of Text before the first Separator; empty when Separator does not occur.
QString CopyBefore(const QString &Separator, const QString &Text);

// The whole part of the first value, or Default when there is none.
qint64 MediaValueToInt(const QString &Text, qint64 Default);

// The first value with "." as decimal separator whatever the locale, or Default when there is none.
double MediaValueToFloat(const QString &Text, double Default);
