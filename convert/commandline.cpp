#include "commandline.h"

QString quoteArgument(const QString &text)
{
    QString result(QLatin1Char('"'));
    qsizetype backslashes = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
        } else if (c == QLatin1Char('"')) {
            result += QString(backslashes + 1, QLatin1Char('\\'));
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        result += c;
    }
    // Backslashes before the closing quote would escape it.
    result += QString(backslashes, QLatin1Char('\\'));
    result += QLatin1Char('"');
    return result;
}

QStringList splitCommandLine(const QString &commandLine)
{
    QStringList result;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype size = commandLine.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = commandLine.at(i);
        if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inArgument)
                result.append(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('\\')) {
            qsizetype n = 0;
            while (i < size && commandLine.at(i) == QLatin1Char('\\')) {
                ++n;
                ++i;
            }
            if (i < size && commandLine.at(i) == QLatin1Char('"')) {
                current += QString(n / 2, QLatin1Char('\\'));
                if (n % 2)
                    current += QLatin1Char('"');
                else
                    quoted = !quoted;
            } else {
                current += QString(n, QLatin1Char('\\'));
                --i;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else {
            current += c;
        }
    }
    if (inArgument)
        result.append(current);
    return result;
}

QString encoderCommandLine(const QString &EncoderPath, const QString &InputFile, const QString &Arguments)
{
    return quoteArgument(EncoderPath) + QStringLiteral(" -y -i ") + quoteArgument(InputFile) +
           QLatin1Char(' ') + Arguments;
}
