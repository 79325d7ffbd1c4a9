#pragma once
// The card display at the top of the main window: kind labels and read
// indicator, the identifier on the colour of its kind, the card description,
// and the DEC / HEX / CST choice. It shows what the card presenter decides.
//
// A card read costs little here, also a thousand a second: the two images of
// the indicator are drawn once, colours change only when the kind (or the
// blink of the card description) changes, the identifier is fitted only when
// its text changes, and the labels that change with every card hold a fixed
// size, so that a new text repaints them and lays out nothing. Whatever
// changes in one event-loop pass reaches the screen in one paint.
#include <QElapsedTimer>
#include <QFrame>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <optional>

#include "display/cardpresenter.h"

class QAction;
class QLabel;
class QMenu;
class QRadioButton;

namespace limra {

class ElidedLabel;
class CardDisplay : public QFrame {
    Q_OBJECT
public:
    explicit CardDisplay(CardPresenter &presenter, QWidget *parent = nullptr);

    // Shows a view as chosen (settings at start-up, or a rule of the presenter).
    void showView(CardPresenter::View view);
    CardPresenter::View chosenView() const;
Q_SIGNALS:
    // The user asks for the card log: a double-click on the identifier strip,
    // the identifier's context menu, or Ctrl+L anywhere in the window (the
    // identifier's tooltip says all three).
    void cardLogRequested();

public:
    // The read indicator is lit for 100 ms after each read.
    bool indicatorLit() const { return m_indicatorTimer.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *indicator;
    std::array<QLabel *, 5> kindLabels{}; // UID, Phone ID, MIR, Nonunique UID, Random UID
    ElidedLabel *identifier;
    ElidedLabel *cardType;
    ElidedLabel *cardSecurity;
    ElidedLabel *cardMemory;
    QRadioButton *decChoice;
    QRadioButton *hexChoice;
    QRadioButton *templateChoice;
    QLabel *identifierCaption; // labels the identifier for screen readers; not drawn
    QAction *cardLogAction;    // "Журнал карт", Ctrl+L
    QMenu *identifierMenu;     // the identifier's context menu

    void identifierShown(const QString &text, IdKind kind);
    void cardInfoShown(const CardInfo &info);
    void setKindColour(quint32 rgb);
    void showCardInfo(bool shown);
    void setIdentifierSelectable(bool on);
    // Keeps a 100 ms state going until 100 ms after the last event: the
    // timer is started when the state begins and extended when it runs out
    // early, not restarted on every event.
    bool extend(QTimer &timer, qint64 &until);
    void runOut(QTimer &timer, const qint64 &until, void (CardDisplay::*end)());
    void indicatorOff();
    void cardInfoShownAgain();

    CardPresenter &m_presenter;
    QWidget *m_identifierStrip;
    const QPixmap m_idleDot;
    const QPixmap m_litDot;
    std::optional<IdKind> m_kind; // of the last read; none before the first
    QElapsedTimer m_clock;
    QTimer m_indicatorTimer;
    qint64 m_indicatorUntil = 0;
    QTimer m_cardInfoTimer;
    qint64 m_cardInfoUntil = 0;
};

} // namespace limra
