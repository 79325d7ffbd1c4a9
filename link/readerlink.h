#pragma once
// The reader link: the command exchange and the receive dispatcher. Commands
// go out as frames; whatever the reader sends comes back through the
// dispatcher: replies into the reply slot the exchange waits on, status frames
// into the card events, identifier lines and card information to the sinks.
#include <QObject>
#include <QString>
#include <QTimer>

class QEventLoop;
#include <vector>

#include "link/cardevents.h"
#include "link/messageassembler.h"
#include "link/protocol.h"

namespace limra {

class SerialPort;

// What the dispatcher hands on. Every method has a do-nothing default.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    virtual void identifierRead(const QString &id, IdKind kind) { Q_UNUSED(id) Q_UNUSED(kind) }
    virtual void cardInfoRead(const CardInfo &info) { Q_UNUSED(info) }
    // True while a card wait expects a master card's configuration report.
    virtual bool masterConfigWaiting() const { return false; }
    virtual void masterConfigRead(const QString &items) { Q_UNUSED(items) }
};

class ReaderLink : public QObject {
    Q_OBJECT
public:
    // A reply usually comes within this long: the exchange first waits on
    // the port alone, then lets events run until its time is up.
    static constexpr int kQuickReplyMs = 5;

    explicit ReaderLink(QObject *parent = nullptr);
    ~ReaderLink() override;

    // Sends a command framed and waits for the reply with its cmd while
    // events keep flowing. The reply body, "ER" + status code on a device
    // error, or "ER00" when no reply came in time.
    QString exchange(const QString &payload, int timeoutMs = kReplyTimeoutMs);
    // Sends bytes unframed; the first other message received, or empty text.
    QString exchangeRaw(const QString &hex, int timeoutMs);

    // Handles one received message.
    void dispatch(const QByteArray &message);

    // The port the link talks through; the reader session owns it.
    void attach(SerialPort *port);
    void detach();
    SerialPort *port() const { return m_port; }

    CardEvents &cardEvents() { return m_cardEvents; }

    void addSink(ReceiveSink *sink);
    void removeSink(ReceiveSink *sink);

    // When on, `traffic` reports every frame sent and message received.
    void setTrafficReported(bool on) { m_trafficReported = on; }

Q_SIGNALS:
    void replyStored();
    // Sent (">") or received ("<") bytes as hex text.
    void traffic(QChar direction, const QString &hex);
    // An exchange began (true) or the last one ended (false).
    void busyChanged(bool busy);

private:
    QString send(const QString &frame, const QString &cmd, bool raw, int timeoutMs);
    void readPort();
    void flushHeld();
    void waitForReply(qint64 ms);
    void timerEvent(QTimerEvent *event) override;
    template <class F> void forEachSink(F f);

    SerialPort *m_port = nullptr;
    MessageAssembler m_assembler;
    QTimer m_holdTimer;
    QString m_replySlot;
    bool m_rawMode = false;
    int m_exchanges = 0;
    // The waits now running, innermost last: their timer and their loop.
    struct Wait {
        int timerId;
        QEventLoop *loop;
    };
    std::vector<Wait> m_waits;
    CardEvents m_cardEvents;
    std::vector<ReceiveSink *> m_sinks;
    bool m_trafficReported = false;
};

} // namespace limra
