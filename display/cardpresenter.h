#pragma once
// What happens when a card is read: the identifier is rendered in the chosen
// view (decimal, hexadecimal or a user template), shown with its kind, put on
// the clipboard and typed into the application in front when the options say
// so. The card display widget shows this state.
#include <QObject>
#include <functional>
#include <optional>

#include "display/typist.h"
#include "link/protocol.h"

namespace limra {

class Clipboard;
class KeyInjector;

struct OutputOptions {
    std::function<bool()> clipboard = [] { return false; };
    std::function<bool()> typing = [] { return false; };
    std::function<bool()> newline = [] { return false; };
    // True while a window of the tool is the active window of the system.
    std::function<bool()> toolActive = [] { return true; };
};

class CardPresenter : public QObject {
    Q_OBJECT
public:
    using View = IdentifierTypist::View;

    CardPresenter(Clipboard *clipboard, KeyInjector *keys, QObject *parent = nullptr);

    OutputOptions options;

    // What the reader sent.
    void identifierRead(const QString &id, limra::IdKind kind);
    void cardInfoRead(const limra::CardInfo &info);

    // The user chooses a view. Nothing happens before the window's first show.
    void chooseDec();
    void chooseHex();
    // Opens the template editor with a sample; the template view is chosen
    // when a template is active afterwards, else the decimal one.
    void chooseTemplate();
    // Sets the view at start-up without running its rule.
    void setView(View view) { m_view = view; }
    View view() const { return m_view; }
    void setStarted() { m_started = true; }

    std::function<void(const QString &sample)> openTemplateEditor = [](const QString &) {};
    QString activeTemplate;

    // The identifier on display and the view it was rendered in (none for the initial "0").
    QString shownText() const { return m_shown; }
    std::optional<View> shownView() const { return m_shownView; }
    IdentifierTypist &typist() { return m_typist; }

Q_SIGNALS:
    // A card was read: its text and kind are shown.
    void identifierShown(const QString &text, limra::IdKind kind);
    // The same read, with the identifier as the reader sent it.
    void identifierLogged(const QString &raw, const QString &shown, limra::IdKind kind);
    // The shown text changed with the view.
    void shownTextChanged(const QString &text);
    void cardInfoShown(const limra::CardInfo &info);
    // The view choice changed by a rule (the template editor closed without a template).
    void viewChanged(limra::CardPresenter::View view);

private:
    Clipboard *m_clipboard;
    IdentifierTypist m_typist;
    View m_view = View::Dec;
    std::optional<View> m_shownView;
    QString m_shown = QStringLiteral("0");
    QString m_lastRead; // the last identifier as the reader sent it
    bool m_started = false;
};

} // namespace limra
