#include "link/readerlink.h"

#include <QTimerEvent>
#include <chrono>

#include "common/logging.h"
#include "link/hextext.h"
#include "platform/serialport.h"

namespace limra {

namespace {
// The fixed part of a card-operation status frame: 23 08 00 01 0D 01.
constexpr char kStatusHead[] = {kFrameStart, char(kStatusFrameLength), 0x00, 0x01, char(tag::Status), 0x01};
// Card information is item 13 of exactly 8 bytes.
constexpr int kCardInfoSize = 8;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr qint64 kNsPerMs = 1000000;
} // namespace

ReaderLink::ReaderLink(const Timings &timings, QObject *parent) : QObject(parent)
{
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(timings.assemblerHold);
    connect(&m_holdTimer, &QTimer::timeout, this, &ReaderLink::flushHeld);
}

ReaderLink::~ReaderLink() = default;

ReaderLink::RequestId ReaderLink::send(const QByteArray &payload, int timeoutMs, QObject *context, Handler handler)
{
    Request r;
    r.bytes = frameOf(payload);
    r.cmd = payload.isEmpty() ? 0 : quint8(payload.front());
    r.timeoutMs = timeoutMs;
    r.hasContext = context != nullptr;
    r.context = context;
    r.handler = std::move(handler);
    return enqueue(std::move(r));
}

ReaderLink::RequestId ReaderLink::sendRaw(const QByteArray &bytes, int timeoutMs, QObject *context, Handler handler)
{
    Request r;
    r.bytes = bytes;
    r.raw = true;
    r.timeoutMs = timeoutMs;
    r.hasContext = context != nullptr;
    r.context = context;
    r.handler = std::move(handler);
    return enqueue(std::move(r));
}

ReaderLink::RequestId ReaderLink::enqueue(Request request)
{
    request.id = m_nextId++;
    const RequestId id = request.id;
    m_queue.push_back(std::move(request));
    if (!m_port) {
        // Told from the event loop, never inside send().
        if (!m_failPosted) {
            m_failPosted = true;
            QTimer::singleShot(0, this, [this] {
                m_failPosted = false;
                if (!m_port)
                    failQueued(LinkError::portLost());
            });
        }
        return id;
    }
    if (!m_inFlight)
        writeNext();
    return id;
}

void ReaderLink::cancel(RequestId id)
{
    if (m_inFlight && m_inFlight->id == id) {
        m_inFlight->handler = nullptr;
        return;
    }
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
        if (it->id == id) {
            m_queue.erase(it);
            return;
        }
}

void ReaderLink::writeNext()
{
    while (!m_inFlight && !m_queue.empty() && m_port) {
        m_inFlight = std::move(m_queue.front());
        m_queue.pop_front();
        Request &r = *m_inFlight;
        if (r.bytes.isEmpty() && !r.raw) {
            // A payload the frame's length byte cannot carry is never written.
            Request done = std::move(r);
            m_inFlight.reset();
            call(done, Answer{LinkError::malformed(), {}, {}});
            continue;
        }
        if (m_trafficReported)
            Q_EMIT traffic('>', r.bytes);
        m_answered.reset();
        // A failed write is not told apart: the request waits out its time.
        if (!m_port->write(r.bytes))
            qCDebug(lcLink) << "write failed";
        armDeadline(std::max(r.timeoutMs, 0));
    }
}

void ReaderLink::armDeadline(int timeoutMs)
{
    m_dueNs = nowNs() + qint64(timeoutMs) * kNsPerMs;
    // A timer still set for an earlier request's later deadline would fire
    // too late for this one.
    if (!m_deadline.isActive() || m_timerDueNs > m_dueNs) {
        m_deadline.start(timeoutMs, Qt::PreciseTimer, this);
        m_timerDueNs = m_dueNs;
    }
}

void ReaderLink::call(Request &request, const Answer &answer)
{
    if (!request.handler || (request.hasContext && !request.context))
        return;
    const Handler handler = std::move(request.handler);
    handler(answer);
}

void ReaderLink::complete(Answer answer)
{
    if (!m_inFlight)
        return;
    Request done = std::move(*m_inFlight);
    m_inFlight.reset();
    call(done, answer);
    if (!m_inFlight)
        writeNext();
}

void ReaderLink::failQueued(const LinkError &error)
{
    std::deque<Request> failed;
    failed.swap(m_queue);
    if (m_inFlight) {
        failed.push_front(std::move(*m_inFlight));
        m_inFlight.reset();
    }
    m_deadline.stop();
    m_answered.reset();
    for (Request &r : failed)
        call(r, Answer{error, {}, {}});
}

void ReaderLink::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_deadline.timerId())
        return QObject::timerEvent(event);
    if (!m_inFlight) {
        m_deadline.stop();
        return;
    }
    // Set for an earlier request: the one in flight has time left.
    const qint64 left = m_dueNs - nowNs();
    if (left > 0) {
        m_deadline.start(int((left + kNsPerMs - 1) / kNsPerMs), Qt::PreciseTimer, this);
        m_timerDueNs = m_dueNs;
        return;
    }
    m_deadline.stop();
    complete(Answer{LinkError::timedOut(), {}, {}});
}

void ReaderLink::attach(SerialPort *port)
{
    detach();
    m_port = port;
    if (m_port)
        connect(m_port, &SerialPort::readyRead, this, &ReaderLink::readPort);
}

void ReaderLink::detach()
{
    const bool had = m_port != nullptr;
    if (m_port)
        disconnect(m_port, nullptr, this, nullptr);
    m_port = nullptr;
    m_holdTimer.stop();
    m_assembler.clear();
    failQueued(LinkError::portLost());
    if (had)
        Q_EMIT detached();
}

void ReaderLink::readPort()
{
    if (!m_port)
        return;
    SerialPort *const port = m_port;
    m_received.resize(0);
    port->readInto(m_received);
    if (m_received.isEmpty())
        return;
    // Shared, not copied: the buffer keeps its storage once this is handled.
    const QByteArray bytes = m_received;
    if (m_trafficReported)
        Q_EMIT traffic('<', bytes);
    // Mostly one whole message (a frame, a line, a loader's answer) comes at
    // a time: it is handled as it came.
    if (m_assembler.takeWhole(bytes)) {
        m_holdTimer.stop();
        dispatch(bytes);
        return;
    }
    const QList<QByteArray> messages = m_assembler.take(bytes);
    if (m_assembler.holding())
        m_holdTimer.start(); // the unfinished tail waits for its rest from its latest piece
    else
        m_holdTimer.stop();
    for (const QByteArray &message : messages) {
        if (m_port != port)
            return; // the port went away while a message was handled
        dispatch(message);
    }
}

void ReaderLink::flushHeld()
{
    const QByteArray held = m_assembler.flush();
    if (!held.isEmpty())
        dispatch(held);
}

void ReaderLink::dispatch(const QByteArray &message)
{
    if (message.isEmpty())
        return;
    if (isWholeFrame(message)) {
        dispatchFrame(message);
    } else if (!dispatchLine(message)) {
        if (m_inFlight && m_inFlight->raw)
            m_answered = Answer{std::nullopt, {}, message};
        else
            qCDebug(lcLink) << "dropped" << bytesToHex(message);
    }
    // The request's handler runs once the message has been handled whole.
    if (m_answered) {
        Answer answer = std::move(*m_answered);
        m_answered.reset();
        complete(std::move(answer));
    }
}

void ReaderLink::dispatchFrame(const QByteArray &frame)
{
    const QByteArrayView items = QByteArrayView(frame).sliced(4);
    const std::optional<QByteArrayView> info = findItem(items, tag::CardInfo);
    if (info && info->size() == kCardInfoSize)
        Q_EMIT cardInfoRead(decodeCardInfo(info->toByteArray()));

    if (frame.size() == kStatusFrameLength && QByteArrayView(frame).startsWith(QByteArrayView(kStatusHead, 6))) {
        Q_EMIT cardStatus(quint8(frame[6]));
        return;
    }
    if (m_inFlight && m_inFlight->raw) {
        m_answered = Answer{std::nullopt, {}, frame};
        return;
    }
    Reply reply = replyOf(frame);
    // A reply with only cmd and ver counts as none.
    if (m_inFlight && reply.cmd == m_inFlight->cmd && !reply.body.isEmpty()) {
        // A status of 00, or an empty one, is no refusal.
        const std::optional<QByteArrayView> status = findItem(reply.body, tag::Status);
        if (status && !status->isEmpty() && !(status->size() == 1 && status->front() == 0))
            m_answered = Answer{LinkError::refused(quint8(status->front())), {}, {}};
        else
            m_answered = Answer{std::nullopt, std::move(reply), {}};
        return;
    }
    Q_EMIT frameReceived(reply);
}

bool ReaderLink::dispatchLine(const QByteArray &message)
{
    for (const IdKindInfo &kind : idKinds()) {
        const QByteArrayView prefix(kind.prefix);
        const qsizetype at = message.indexOf(prefix);
        if (at < 0)
            continue;
        // Characters from 0x30 up; the message's last byte is its line end.
        qsizetype p = at + prefix.size();
        const qsizetype start = p;
        while (p < message.size() - 1 && quint8(message[p]) >= kFirstIdentifierByte)
            ++p;
        if (p > start)
            Q_EMIT identifierRead(QString::fromLatin1(message.constData() + start, p - start), kind.kind);
        return true;
    }
    return false;
}

} // namespace limra

#include "moc_readerlink.cpp"
