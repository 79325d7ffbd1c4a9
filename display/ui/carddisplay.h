#pragma once
// The card display at the top of the main window: kind labels and read
// indicator, the identifier on the colour of its kind, the card description,
// and the DEC / HEX / CST choice. It shows what the card presenter decides.
#include <QFrame>
#include <QTimer>
#include <array>

#include "display/cardpresenter.h"

class QLabel;
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
    // The identifier strip was double-clicked.
    void identifierDoubleClicked();

public:
    // The read indicator is lit for 100 ms after each read.
    bool indicatorLit() const { return m_indicatorTimer.isActive(); }

    QLabel *indicator;
    std::array<QLabel *, 5> kindLabels{}; // UID, Phone ID, MIR, Nonunique UID, Random UID
    ElidedLabel *identifier;
    ElidedLabel *cardType;
    ElidedLabel *cardSecurity;
    ElidedLabel *cardMemory;
    QRadioButton *decChoice;
    QRadioButton *hexChoice;
    QRadioButton *templateChoice;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void identifierShown(const QString &text, IdKind kind);
    void cardInfoShown(const CardInfo &info);
    void setKindColour(quint32 rgb);

    CardPresenter &m_presenter;
    QWidget *m_identifierStrip;
    QTimer m_indicatorTimer;
    QTimer m_cardInfoTimer;
};

} // namespace limra
