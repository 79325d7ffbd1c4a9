#pragma once
// Writes 1 to 5 master cards: the count is chosen on the first page, then
// every card gets its own countdown. The writing operation starts the
// reader's writing when the count is chosen and tells the wait when it has.
#include "provisioning/cardwait.h"

namespace limra {

class MasterCardWriting : public CardWait {
    Q_OBJECT
public:
    enum class Page { Count, Progress };
    using CardWait::CardWait;
    Kind kind() const override { return Kind::MasterCardWriting; }

    // The user's acts on the count page.
    void chooseCount(int count);
    void setOption(bool checked);
    // The reader writes the cards from now on.
    void writingStarted();

    QString cardType;           // a card-type word with one trailing blank, or empty
    bool optionVisible = false;
    bool optionChecked = false;
    Page page = Page::Count;
    QString heading;
    QString prompt;
    int requested = 0;
    int written = 0;
    bool timedOut = false; // a card was not written in time

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
};

} // namespace limra
