#pragma once

#include "platform/dialogs.h"
#include "platform/launcher.h"

#include <QList>
#include <functional>

// Answers every dialog and shell launch of the program under test and remembers them.
struct DialogRecorder
{
    QList<Dialogs::Request> requests;
    QList<Launcher::Request> launches;
    // Answers in order; when they run out, boxes take their default and file dialogs cancel.
    QList<Dialogs::Reply> answers;

    DialogRecorder()
    {
        Dialogs::setHandler([this](const Dialogs::Request &r) {
            requests << r;
            if (!answers.isEmpty())
                return answers.takeFirst();
            return r.kind == Dialogs::Kind::Message ? Dialogs::Reply{r.defaultAnswer, {}} : Dialogs::Reply{};
        });
        Launcher::setHandler([this](const Launcher::Request &r) {
            launches << r;
            return true;
        });
    }
    ~DialogRecorder()
    {
        Dialogs::setHandler({});
        Launcher::setHandler({});
    }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QStringList texts() const
    {
        QStringList t;
        for (const auto &r : requests)
            t << r.text;
        return t;
    }
};
