#pragma once
// Card waits: while the reader performs card operations (writing master
// cards, taking an object code, clearing cards...) a wait tells the user
// which card to present, counts down the time left or counts the cards done,
// and follows the reader's card-operation statuses, each as it arrives.
//
// A wait is a state machine with its own timer. Whoever shows it (a dialog,
// the command line, a test) reads its state on `changed`, shows its notices
// and passes the user's acts on; a notice holds the countdown until it is
// acknowledged, as a message box the user must close would. It ends once,
// with a result; operations run it and decide what the result means.
#include <QObject>
#include <QString>
#include <QTimer>

#include "link/readerlink.h"
#include "link/timings.h"

namespace limra {

// How a card wait ended: Yes (the awaited operation succeeded, or the user
// finished), No (its time ran out), Cancel (closed any other way).
enum class WaitResult { Cancel, Yes, No };

class CardWait : public QObject {
    Q_OBJECT
public:
    enum class Kind { MasterCardWriting, SingleCard, Clearing, SecureCards, MasterConfig };

    // Something the user is to be told, in the order it happens.
    struct Notice {
        enum class Kind {
            CardError,         // the reader reports an error for a card: code
            TimeUp,            // no master card written in time
            MasterCardsWritten // every master card asked for is written: count
        };
        Kind kind = Kind::CardError;
        int code = 0;
        int count = 0;
    };

    CardWait(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    virtual Kind kind() const = 0;

    // Opens the wait; a card gets the budget of ticks of the timings.
    void open();
    bool isOpen() const { return m_open; }
    // The user closed the wait: it ends with Cancel.
    void close();
    // The notice told last has been seen (its message box closed).
    void acknowledge();
    WaitResult result() const { return m_result; }
    // One tick of the wait's timer (tests call it to go tick by tick).
    virtual void tick() = 0;
    // The timer's period.
    int tickMs() const;

    // The window's caption.
    QString caption;
    // The seconds shown: the ticks left divided by 10.
    int secondsShown() const { return m_ticksLeft / 10; }

Q_SIGNALS:
    // What the wait shows has changed.
    void changed();
    void notice(const limra::CardWait::Notice &notice);
    void ended(limra::WaitResult result);

protected:
    virtual void opened() = 0;
    // A card-operation status: kCardDone or the reader's error code.
    virtual void status(quint8 code) = 0;

    void startTicking();
    void stopTicking();
    // Tells a notice; a running countdown waits until it is acknowledged.
    void tell(const Notice &notice);
    // A card error told, the countdown waiting meanwhile.
    void tellCardError(quint8 code) { tell({Notice::Kind::CardError, code, 0}); }
    // A countdown tick: one tick goes, and the last ends the wait with No.
    void countDown();
    void finish(WaitResult result);

    ReaderLink &m_link;
    const Timings &m_timings;
    int m_budget = 0;
    int m_ticksLeft = 0;

private:
    QTimer m_timer;
    bool m_open = false;
    bool m_ticking = false;
    int m_unacknowledged = 0;
    WaitResult m_result = WaitResult::Cancel;
    QMetaObject::Connection m_statuses;
};

// What the user is told of a notice.
QString noticeText(const CardWait::Notice &notice);

// Writes 1 to 5 master cards: the count is chosen on the first page, then
// every card gets its own countdown. The writing operation starts the
// reader's writing when the count is chosen and tells the wait when it has.
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

// Waits for one card operation to succeed (the master card with the object
// code, or with a configuration): Yes on success, No when the time is out.
class SingleCardWait : public CardWait {
    Q_OBJECT
public:
    SingleCardWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &prompt,
                   QObject *parent = nullptr);
    Kind kind() const override { return Kind::SingleCard; }
    void tick() override;
    QString prompt;

protected:
    void opened() override;
    void status(quint8 code) override;
};

// Clears any number of cards: a counter and a finish button, no time limit.
class ClearingWait : public CardWait {
    Q_OBJECT
public:
    ClearingWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &prompt,
                 const QString &finishText, QObject *parent = nullptr);
    Kind kind() const override { return Kind::Clearing; }
    void tick() override {}
    void finishByUser();

    QString prompt;
    QString finishText;
    int cleared = 0;

protected:
    void opened() override;
    void status(quint8 code) override;
};

// First the master card with the object code, with a countdown; then any
// number of cards, counted, until the user finishes.
class SecureCardWait : public CardWait {
    Q_OBJECT
public:
    enum class Page { MasterCard, Cards };
    SecureCardWait(ReaderLink &link, const Timings &timings, const QString &caption, const QString &counterCaption,
                   const QString &finishText, QObject *parent = nullptr);
    Kind kind() const override { return Kind::SecureCards; }
    void tick() override;
    void finishByUser();

    QString counterCaption;
    QString finishText;
    Page page = Page::MasterCard;
    int made = 0;

protected:
    void opened() override;
    void status(quint8 code) override;
};

// Waits up to 30 seconds for a master card's configuration report: a frame
// with command 01, version 03 and the configuration items.
class MasterConfigWait : public CardWait {
    Q_OBJECT
public:
    MasterConfigWait(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    Kind kind() const override { return Kind::MasterConfig; }
    void tick() override;

    int secondsLeft = 0;
    // The configuration items the card reported (hex text), empty when none came.
    QString report;
    bool timedOut = false;

protected:
    void opened() override;
    void status(quint8) override {}

private:
    QMetaObject::Connection m_frames;
};

} // namespace limra
