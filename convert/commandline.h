#pragma once

#include <QString>
#include <QStringList>

// Command lines are single texts, split into arguments by the usual Windows rules: blanks separate,
// double quotes group, a backslash escapes a double quote.

// The text between double quotes, unchanged unless it holds a double quote or ends in backslashes;
// those are escaped so that splitCommandLine gives the text back.
QString quoteArgument(const QString &text);

QStringList splitCommandLine(const QString &commandLine);

// "EncoderPath" -y -i "InputFile" Arguments
QString encoderCommandLine(const QString &EncoderPath, const QString &InputFile, const QString &Arguments);
