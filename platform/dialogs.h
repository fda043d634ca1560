#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Every message box and file or folder dialog of the program goes through here, so tests can
// answer them and headless runs never wait for a person. Asking needs no widgets; showing them is
// the window's part (personDialog in the application).
namespace Dialogs {

enum class Icon
{
    None,
    Information,
    Warning,
    Error,
    Question
};
enum class Buttons
{
    Ok,
    YesNo
};
enum class Answer
{
    Ok,
    Yes,
    No,
    Cancel
};
enum class Kind
{
    Message,
    OpenFiles,
    SaveFile,
    Folder
};

struct Request
{
    Kind kind = Kind::Message;
    QWidget *owner = nullptr;
    QString text;
    QString caption;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    Answer defaultAnswer = Answer::Ok;
    QString directory;     // file and folder dialogs: where they start
    QString filter;        // "Description|pattern;pattern|Description|pattern"
    QString defaultSuffix; // save dialog
};

struct Reply
{
    Answer answer = Answer::Cancel;
    QStringList paths; // chosen files or folder; empty when cancelled
};

using Handler = std::function<Reply(const Request &)>;

// Replaces the real dialogs (tests). An empty handler restores them.
void setHandler(Handler handler);

// The real dialogs, shown to a person: installed by the part of the program that has a window
// system. Without it, and on a platform without a display, every box is answered unattended.
void setPersonHandler(Handler handler);

// For runs nobody watches: a box is printed to standard error and takes its default answer; file
// and folder dialogs count as cancelled.
Reply answerUnattended(const Request &request);

Answer message(QWidget *owner, const QString &text, const QString &caption, Icon icon,
               Buttons buttons = Buttons::Ok, Answer defaultAnswer = Answer::Ok);
QStringList openFiles(QWidget *owner, const QString &directory, const QString &filter);
QString saveFile(QWidget *owner, const QString &directory, const QString &filter,
                 const QString &defaultSuffix);
QString folder(QWidget *owner, const QString &start);

// "Video Files |*.avi;*.mkv|AVI Files (*.avi)|*.avi" -> Qt name filters, one per pair.
QStringList qtNameFilters(const QString &filter);

} // namespace Dialogs
