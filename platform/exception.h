#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every error the program raises with a message meant for the user.
class Exception : public std::exception
{
public:
    explicit Exception(QString message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};

// The message as the general error report shows it: with a full stop at the end.
QString errorReportText(const QString &message);
