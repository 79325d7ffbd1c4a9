#pragma once
// Dialogs that record what was shown and give planned answers.
#include <QQueue>
#include <QStringList>
#include <functional>
#include <utility>

#include "platform/dialogs.h"

namespace limra::testing {

class ScriptedDialogs : public UserDialogs {
public:
    void message(const QString &text) override { shown << QStringLiteral("message: ") + text; }
    // Notices are shown as their messages are, and listed besides.
    void notify(const QString &text, std::function<void()> dismissed) override
    {
        shown << QStringLiteral("message: ") + text;
        notices << text;
        if (dismissed)
            dismissed();
    }
    void notifyError(const QString &text) override
    {
        shown << QStringLiteral("error: ") + text;
        notices << text;
    }
    void error(const QString &text) override { shown << QStringLiteral("error: ") + text; }
    void information(const QString &title, const QString &text) override
    {
        shown << QStringLiteral("information: ") + title + QStringLiteral(": ") + text;
    }
    bool question(const QString &caption, const QString &text, QuestionIcon) override
    {
        shown << QStringLiteral("question: ") + caption + QStringLiteral(": ") + text;
        if (auto meanwhile = std::exchange(whileAsking, nullptr))
            meanwhile();
        return answers.isEmpty() ? false : answers.dequeue();
    }
    std::optional<QString> input(const QString &caption, const QString &prompt, const QString &value) override
    {
        shown << QStringLiteral("input: ") + caption + QStringLiteral(": ") + prompt + QStringLiteral(": ") + value;
        return value;
    }
    QString openFile(const QString &filter, const QString &, const QString &dir) override
    {
        shown << QStringLiteral("open: ") + filter;
        startFolder = dir;
        return files.isEmpty() ? QString() : files.dequeue();
    }
    QString saveFile(const QString &filter, const QString &, const QString &dir) override
    {
        shown << QStringLiteral("save: ") + filter;
        startFolder = dir;
        return files.isEmpty() ? QString() : files.dequeue();
    }
    std::optional<QColor> chooseColor(const QColor &initial) override
    {
        lastInitialColour = initial;
        if (colours.isEmpty()) return std::nullopt;
        return colours.dequeue();
    }

    void openFolder(const QString &path) override { shown << QStringLiteral("folder: ") + path; }

    QStringList shown;
    QStringList notices; // what was told as a notice
    QQueue<bool> answers;
    // Runs once, while the next question is open and before it is answered:
    // a question is modal, and everything else goes on meanwhile.
    std::function<void()> whileAsking;
    QQueue<QString> files;
    QQueue<QColor> colours;
    QColor lastInitialColour;
    QString startFolder; // where the last file dialog started
};

} // namespace limra::testing
