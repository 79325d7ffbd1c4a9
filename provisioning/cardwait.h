#pragma once
// Card waits: while the reader performs card operations (writing master
// cards, taking an object code, clearing cards...) a modal wait tells the
// user which card to present, counts down the time left or counts the cards
// done, and follows the reader's card-operation status. Each wait here is a
// state machine: it is opened, it gets timer ticks and the user's acts, and
// it tells its host what to show, when to stop or start the timer, which
// message to show and how it ends. The dialogs only show them.
#include <QString>
#include <functional>

#include "link/cardevents.h"
#include "link/readerlink.h"

namespace limra {

// Whoever shows a card wait: a dialog, or a test.
class CardWaitHost {
public:
    virtual ~CardWaitHost() = default;
    virtual void startTimer() = 0;
    virtual void stopTimer() = 0;
    // A plain message box; returns when the user has dismissed it.
    virtual void message(const QString &text) = 0;
    // The wait ends with this result; the host's timer stops.
    virtual void finish(WaitResult result) = 0;
    // What the wait shows has changed.
    virtual void changed() = 0;
};

class CardWait {
public:
    static constexpr int kTickMs = 100;
    // 15 seconds; 120 in debug mode.
    static constexpr int kBudgetTicks = 150;
    static constexpr int kDebugBudgetTicks = 1200;

    enum class Kind { MasterCardWriting, SingleCard, Clearing, SecureCards, MasterConfig };

    explicit CardWait(CardEvents &events) : m_events(events) {}
    virtual ~CardWait() = default;
    virtual Kind kind() const = 0;
    virtual int tickMs() const { return kTickMs; }

    // Opens the wait for a host, with the budget of ticks for one card.
    void open(CardWaitHost &host, int budgetTicks);
    virtual void tick() = 0;

    // The window's caption.
    QString caption;
    // The seconds shown: the ticks left divided by 10.
    int secondsShown() const { return m_ticksLeft / 10; }

protected:
    virtual void opened() = 0;
    // Shows "Ошибка: " and the text of the waiting failure, with the timer
    // stopped while the message is open.
    void showFailure();
    // A countdown tick: a waiting failure is told, one tick goes, and the
    // last closes the wait with No.
    void countDown();

    CardEvents &m_events;
    CardWaitHost *m_host = nullptr;
    int m_budget = kBudgetTicks;
    int m_ticksLeft = 0;
};

// Writes 1 to 5 master cards: the count is chosen on the first page, then
// every card gets its own countdown.
class MasterCardWriting : public CardWait {
public:
    enum class Page { Count, Progress };
    // Writes the configuration and starts the writing of `count` cards, with
    // the protected-mode option or without; tells the user of a failure
    // itself. True when the writing has started.
    using Start = std::function<bool(int count, bool protectedMode)>;
    // Asks before the protected-mode option is taken.
    using ConfirmOption = std::function<bool()>;

    MasterCardWriting(CardEvents &events, Start start, ConfirmOption confirmOption);
    Kind kind() const override { return Kind::MasterCardWriting; }
    void tick() override;

    // The user's acts.
    void chooseCount(int count);
    void setOption(bool checked);

    QString cardType;           // a card-type word with one trailing blank, or empty
    bool optionVisible = false;
    bool optionChecked = false;
    Page page = Page::Count;
    QString heading;
    QString prompt;
    int requested = 0;
    int written = 0;

protected:
    void opened() override;

private:
    void promptNextCard();

    Start m_start;
    ConfirmOption m_confirmOption;
};

// Waits for one card operation to succeed (the master card with the object
// code, or with a configuration): Yes on success, No when the time is out.
class SingleCardWait : public CardWait {
public:
    SingleCardWait(CardEvents &events, const QString &caption, const QString &prompt);
    Kind kind() const override { return Kind::SingleCard; }
    void tick() override;
    QString prompt;

protected:
    void opened() override;
};

// Clears any number of cards: a counter and a finish button, no time limit.
class ClearingWait : public CardWait {
public:
    ClearingWait(CardEvents &events, const QString &caption, const QString &prompt, const QString &finishText);
    Kind kind() const override { return Kind::Clearing; }
    void tick() override;
    void finishByUser();

    QString prompt;
    QString finishText;
    int cleared = 0;
    // The count shown; a card cleared in one tick shows at the next.
    int countShown = 0;

protected:
    void opened() override;
};

// First the master card with the object code, with a countdown; then any
// number of cards, counted, until the user finishes.
class SecureCardWait : public CardWait {
public:
    enum class Page { MasterCard, Cards };
    SecureCardWait(CardEvents &events, const QString &caption, const QString &counterCaption,
                   const QString &finishText);
    Kind kind() const override { return Kind::SecureCards; }
    void tick() override;
    void finishByUser();

    QString counterCaption;
    QString finishText;
    Page page = Page::MasterCard;
    int made = 0;

protected:
    void opened() override;
};

// Waits up to 30 seconds for a master card's configuration report, which the
// receive dispatcher hands over while the wait is open.
class MasterConfigWait : public CardWait, public ReceiveSink {
public:
    static constexpr int kSeconds = 30;
    static constexpr int kTickMs = 1000;

    explicit MasterConfigWait(CardEvents &events);
    Kind kind() const override { return Kind::MasterConfig; }
    int tickMs() const override { return kTickMs; }
    void tick() override;

    // ReceiveSink
    bool masterConfigWaiting() const override { return m_waiting; }
    void masterConfigRead(const QString &items) override;

    int secondsLeft = kSeconds;
    // The configuration items read, "timeout", or empty when closed by the user.
    QString report;

protected:
    void opened() override;

private:
    bool m_waiting = false;
};

// Shows card waits modally.
class CardWaits {
public:
    virtual ~CardWaits() = default;
    // Opens the wait and returns when it has ended.
    virtual WaitResult run(CardWait &wait) = 0;
};

} // namespace limra
