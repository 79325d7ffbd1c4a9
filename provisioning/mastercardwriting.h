#pragma once
// Writes 1 to 5 master cards: the count is chosen on the first page, then
// every card gets its own countdown. The writing operation starts the
// reader's writing when the count is chosen and tells the wait when it has.
// Done when every card is written, No when a card's time ran out.
#include "provisioning/cardwait.h"

namespace limra {

class MasterCardWriting : public CardWait {
    Q_OBJECT
public:
    enum class Page { Count, Progress };
    // `cardType`: a card-type word with one trailing blank, or empty;
    // `optionVisible`: the protected-mode option is offered on the count page.
    MasterCardWriting(ReaderLink &link, const Timings &timings, const QString &cardType, bool optionVisible,
                      QObject *parent = nullptr);
    Kind kind() const override { return Kind::MasterCardWriting; }

    // The user's acts on the count page.
    void chooseCount(int count);
    void setOption(bool checked);
    // The reader writes the cards from now on.
    void writingStarted();

    bool optionVisible() const { return m_optionVisible; }
    bool optionChecked() const { return m_optionChecked; }
    Page page() const { return m_page; }
    const QString &heading() const { return m_heading; }
    const QString &prompt() const { return m_prompt; }
    // The cards asked for (0 until the count is chosen), and written so far.
    int requested() const { return m_requested; }
    int written() const { return m_written; }

Q_SIGNALS:
    // The user chose how many cards, with or without the protected-mode option.
    void countChosen(int count, bool protectedMode);

public:
    void tick() override;

protected:
    void opened() override;
    void status(quint8 code) override;

private:
    void promptNextCard();

    QString m_cardType;
    bool m_optionVisible = false;
    bool m_optionChecked = false;
    Page m_page = Page::Count;
    QString m_heading;
    QString m_prompt;
    int m_requested = 0;
    int m_written = 0;
};

} // namespace limra
