#pragma once
// The card wait every kind of wait builds on: while the reader performs
// card operations (writing master cards, taking an object code, clearing
// cards...) a wait tells the user which card to present, counts down the
// time left or counts the cards done, and follows the reader's
// card-operation statuses, each as it arrives.
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
#include "common/timings.h"

namespace limra {

// How a card wait ended: Yes (the awaited card operation succeeded, or the
// user finished), Done (everything the wait was for has come: every master
// card written, the master card's report read), No (its time ran out),
// Cancel (closed any other way).
enum class WaitResult { Cancel, Yes, No, Done };

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

    CardWait(ReaderLink &link, const Timings &timings, const QString &caption, QObject *parent = nullptr);
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
    const QString &caption() const { return m_caption; }
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
    QString m_caption;
    QTimer m_timer;
    bool m_open = false;
    bool m_ticking = false;
    int m_unacknowledged = 0;
    WaitResult m_result = WaitResult::Cancel;
    QMetaObject::Connection m_statuses;
};

// What the user is told of a notice.
QString noticeText(const CardWait::Notice &notice);

} // namespace limra

// Every kind of wait, for the callers that use this header for all of them;
// the others include the kind they use.
#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"
#include "provisioning/masterconfigwait.h"
#include "provisioning/securecardwait.h"
#include "provisioning/singlecardwait.h"
