#include "logwindow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

LogWindow::LogWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("logWindow"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    resize(640, 400);
}

void LogWindow::showLog(const QString &source, const QString &log)
{
    setWindowTitle(QStringLiteral("Log - %1").arg(QFileInfo(source).fileName()));
    // Progress lines end in a carriage return: each is shown on a line of its own.
    QString shown = log;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_text->setPlainText(shown.isEmpty() ? QStringLiteral("This file has not been converted yet.") : shown);
    m_text->moveCursor(QTextCursor::End);
    show();
    raise();
    activateWindow();
}

QString LogWindow::text() const
{
    return m_text->toPlainText();
}
