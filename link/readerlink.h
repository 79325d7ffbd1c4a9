#pragma once
// The reader link: requests to the reader and everything the reader sends.
//
// A request is a command (framed) or raw bytes (the firmware loader's
// blocks). Requests queue; one at a time is written and waits for its
// answer, which its handler gets later, from the event loop: the frame with
// the command's code, or the first other message for raw bytes, or why none
// came. Nothing waits on the stack.
//
// What the reader sends on its own goes out as signals: identifier lines,
// card information, card-operation statuses (each one, none dropped) and
// frames no request took. Their listeners must not block.
#include <QBasicTimer>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

#include "link/frame.h"
#include "link/linkerror.h"
#include "common/timings.h"
#include "link/messageassembler.h"
#include "link/protocol.h"

namespace limra {

class SerialPort;

class ReaderLink : public QObject {
    Q_OBJECT
public:
    // How a request ended.
    struct Answer {
        std::optional<LinkError> error;
        Reply reply;    // a command: the reply with its code
        QByteArray raw; // raw bytes: the message that answered them
        bool ok() const { return !error; }
    };
    using Handler = std::function<void(const Answer &)>;
    using RequestId = quint64;

    explicit ReaderLink(const Timings &timings = Timings(), QObject *parent = nullptr);
    ~ReaderLink() override;

    // Queues a command's payload (cmd, ver, items), sent framed. The handler
    // is called once, never before this returns, and not at all once
    // `context` is gone. A reply whose status item holds a code other than
    // 00 ends the request as refused with that code.
    RequestId send(const QByteArray &payload, int timeoutMs, QObject *context, Handler handler);
    // Queues bytes sent as they are; the first message received that is
    // neither a card status nor an identifier line answers them.
    RequestId sendRaw(const QByteArray &bytes, int timeoutMs, QObject *context, Handler handler);
    // The request's handler will not be called. A request already written
    // still waits out its answer, so that a late answer is not taken for
    // the next request's.
    void cancel(RequestId id);
    // Nothing is written and waiting, nothing queued.
    bool idle() const { return !m_inFlight && m_queue.empty(); }
    // A piece of a message is held for its rest.
    bool holdingPiece() const { return m_assembler.holding(); }

    // The port the link talks through; the reader session owns it.
    void attach(SerialPort *port);
    // The port is gone: every request ends as PortLost.
    void detach();
    SerialPort *port() const { return m_port; }

    // When on, `traffic` reports every frame written and every piece read.
    void setTrafficReported(bool on) { m_trafficReported = on; }

    // Handles one whole message as the port would hand it over.
    void dispatch(const QByteArray &message);

Q_SIGNALS:
    void identifierRead(const QString &id, limra::IdKind kind);
    void cardInfoRead(const limra::CardInfo &info);
    // A card-operation status frame: kCardDone or the reader's error code.
    void cardStatus(quint8 code);
    // A whole frame that no request took (a master card's configuration report...).
    void frameReceived(const limra::Reply &frame);
    // Written ('>') or read ('<') bytes.
    void traffic(char direction, const QByteArray &bytes);
    // The port was taken away (it failed, or the session closed it).
    void detached();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Request {
        RequestId id = 0;
        QByteArray bytes; // as written: a frame, or raw bytes
        bool raw = false;
        quint8 cmd = 0;
        int timeoutMs = 0;
        bool hasContext = false;
        QPointer<QObject> context;
        Handler handler;
    };
    RequestId enqueue(Request request);
    void writeNext();
    void armDeadline(int timeoutMs);
    void complete(Answer answer);
    void call(Request &request, const Answer &answer);
    void failQueued(const LinkError &error);
    void readPort();
    void flushHeld();
    void dispatchFrame(const QByteArray &frame);
    bool dispatchLine(const QByteArray &message);

    SerialPort *m_port = nullptr;
    // What the port handed over last; its storage is kept between reads.
    QByteArray m_received;
    MessageAssembler m_assembler;
    QTimer m_holdTimer;
    // The request in flight times out at m_dueNs (monotonic clock). The
    // timer is not stopped when an answer comes: it fires at the deadline it
    // was set for (m_timerDueNs) and is set again for the request then in
    // flight, so that a round trip costs no timer of its own.
    QBasicTimer m_deadline;
    qint64 m_dueNs = 0;
    qint64 m_timerDueNs = 0;
    std::optional<Request> m_inFlight;
    std::deque<Request> m_queue;
    // The answer the request in flight got while a message was handled.
    std::optional<Answer> m_answered;
    RequestId m_nextId = 1;
    bool m_trafficReported = false;
    bool m_failPosted = false;
};

} // namespace limra
