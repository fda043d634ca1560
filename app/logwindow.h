#pragma once

#include <QDialog>

class QPlainTextEdit;

// The encoder's command line and output of one row's last conversion, to read and copy.
class LogWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LogWindow(QWidget *parent);
    void showLog(const QString &source, const QString &log);
    QString text() const;

private:
    QPlainTextEdit *m_text = nullptr;
};
