#pragma once
// The standard dialogs the tool shows: message windows, questions, an input
// box, file and colour choice. No code outside platform/ opens them itself.
#include <QColor>
#include <QString>
#include <functional>
#include <optional>

namespace limra {

class UserDialogs {
public:
    enum class QuestionIcon { Question, Warning };
    virtual ~UserDialogs() = default;

    // Plain information with the application title and OK.
    virtual void message(const QString &text) = 0;
    // A notice: plain information that the user did not cause with a click
    // (a reader that connected, a card's error during a card wait). It is
    // shown without waiting, and `dismissed` is called once the user has
    // closed it; nothing that runs meanwhile is held up. While the tool's
    // window is not the active one it takes no keyboard focus from the
    // program the user works in. One at a time: a notice with the words of
    // one shown or waiting adds nothing, another waits until the one shown
    // is closed.
    virtual void notify(const QString &text, std::function<void()> dismissed) = 0;
    // A notice as an error: caption "Ошибка", error icon.
    virtual void notifyError(const QString &text) = 0;
    // Error: caption "Ошибка", error icon, OK.
    virtual void error(const QString &text) = 0;
    // Information with its own title and the information icon.
    virtual void information(const QString &title, const QString &text) = 0;
    // Yes/No, with No as the default answer; true for Yes.
    virtual bool question(const QString &caption, const QString &text,
                          QuestionIcon icon = QuestionIcon::Question) = 0;
    // Input box with a caption, a prompt and a value to read and copy (a
    // checksum): the field cannot be changed. nullopt on Cancel.
    virtual std::optional<QString> input(const QString &caption, const QString &prompt, const QString &value) = 0;
    // File dialogs; `filter` in the form "Описание|*.ext". Empty on cancel.
    virtual QString openFile(const QString &filter, const QString &defaultSuffix, const QString &dir = QString()) = 0;
    virtual QString saveFile(const QString &filter, const QString &defaultSuffix, const QString &dir = QString()) = 0;
    // Colour choice starting from `initial`; nullopt on cancel.
    virtual std::optional<QColor> chooseColor(const QColor &initial) = 0;
    // Opens a folder in the desktop's file manager.
    virtual void openFolder(const QString &path) = 0;
};

} // namespace limra
