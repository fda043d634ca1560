#include "exception.h"

Exception::Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

const char *Exception::what() const noexcept
{
    return m_utf8.constData();
}

QString errorReportText(const QString &message)
{
    if (message.endsWith(QLatin1Char('.')))
        return message;
    return message + QLatin1Char('.');
}
