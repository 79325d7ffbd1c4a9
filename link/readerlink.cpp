#include "link/readerlink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimerEvent>
#include <algorithm>

#include "common/logging.h"
#include "link/hextext.h"
#include "platform/serialport.h"

namespace limra {

ReaderLink::ReaderLink(QObject *parent) : QObject(parent)
{
    // A stored reply ends the innermost wait.
    connect(this, &ReaderLink::replyStored, this, [this] {
        if (!m_waits.empty())
            m_waits.back().loop->quit();
    });
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(MessageAssembler::kHoldMs);
    connect(&m_holdTimer, &QTimer::timeout, this, &ReaderLink::flushHeld);
}

ReaderLink::~ReaderLink() = default;

void ReaderLink::addSink(ReceiveSink *sink)
{
    m_sinks.push_back(sink);
}

void ReaderLink::removeSink(ReceiveSink *sink)
{
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

template <class F>
void ReaderLink::forEachSink(F f)
{
    // A sink may remove itself while it is told.
    const std::vector<ReceiveSink *> sinks = m_sinks;
    for (ReceiveSink *s : sinks)
        if (std::find(m_sinks.begin(), m_sinks.end(), s) != m_sinks.end())
            f(s);
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
    if (m_port)
        disconnect(m_port, nullptr, this, nullptr);
    m_port = nullptr;
    m_holdTimer.stop();
    m_assembler.clear();
}

QString ReaderLink::exchange(const QString &payload, int timeoutMs)
{
    const QString frame = frameText(payload);
    QString reply = send(frame, frame.mid(4, 2), false, timeoutMs);
    if (reply.isEmpty())
        return QStringLiteral("ER00");
    const QString status = tagValue(tag::Status, reply, Packet::Items);
    if (!status.isEmpty() && status != QLatin1String("00"))
        return QStringLiteral("ER") + status;
    return reply;
}

QString ReaderLink::exchangeRaw(const QString &hex, int timeoutMs)
{
    return send(hex, QString(), true, timeoutMs);
}

QString ReaderLink::send(const QString &frame, const QString &cmd, bool raw, int timeoutMs)
{
    m_replySlot.clear();
    m_rawMode = raw;
    if (m_exchanges++ == 0)
        Q_EMIT busyChanged(true);
    struct End {
        ReaderLink &link;
        ~End()
        {
            link.m_rawMode = false;
            if (--link.m_exchanges == 0)
                Q_EMIT link.busyChanged(false);
        }
    } end{*this};

    if (m_trafficReported)
        Q_EMIT traffic(QLatin1Char('>'), frame);
    if (m_port && m_port->isOpen() && !m_port->write(hexToBytes(frame)))
        qCDebug(lcLink) << "write failed";

    // Waits are measured on the monotonic clock, so a change of the wall
    // clock cannot stretch or cut them.
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    auto reply = [&] {
        QString local = m_replySlot;
        if (!raw && !local.isEmpty()) {
            if (local.left(2) == cmd)
                local = local.mid(4);
            else
                local.clear(); // a frame of another command; the slot keeps it
        }
        return local;
    };
    // Events run at least once, so even a limit of 0 ms gives the reply a
    // chance; a wait wakes when a reply is stored or its time is up.
    if (timeoutMs <= 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    QString local = reply();
    const QDeadlineTimer quick(std::min<qint64>(kQuickReplyMs, deadline.remainingTime()));
    while (local.isEmpty() && m_port && !quick.hasExpired() && m_port->waitForData(int(quick.remainingTime())))
        local = reply();
    while (local.isEmpty() && !deadline.hasExpired()) {
        waitForReply(deadline.remainingTime());
        local = reply();
    }
    return local;
}

void ReaderLink::waitForReply(qint64 ms)
{
    QEventLoop loop;
    const int timerId = startTimer(int(std::clamp<qint64>(ms, 1, 1 << 30)), Qt::PreciseTimer);
    m_waits.push_back({timerId, &loop});
    loop.exec();
    m_waits.pop_back();
    killTimer(timerId);
}

void ReaderLink::timerEvent(QTimerEvent *event)
{
    for (const Wait &wait : m_waits)
        if (wait.timerId == event->timerId())
            wait.loop->quit();
}

void ReaderLink::readPort()
{
    if (!m_port)
        return;
    SerialPort *const port = m_port;
    const QByteArray bytes = port->readAll();
    if (bytes.isEmpty())
        return;
    if (m_trafficReported)
        Q_EMIT traffic(QLatin1Char('<'), bytesToHex(bytes));
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
    const QString h = bytesToHex(message);

    // Card information: item 13 of exactly 8 bytes in a whole frame.
    const QString info = tagValue(tag::CardInfo, h, Packet::Frame);
    if (info.size() == 16) {
        const CardInfo decoded = decodeCardInfo(info);
        forEachSink([&](ReceiveSink *s) { s->cardInfoRead(decoded); });
    }

    // Card-operation status frame.
    if (h.size() == 16 && h.startsWith(kStatusFramePrefix)) {
        m_cardEvents.statusArrived(h.mid(8, 6));
        return;
    }

    // Identifier line.
    static const QStringList prefixHex = [] {
        QStringList out;
        for (const IdKindInfo &kind : idKinds())
            out << bytesToHex(QByteArray(kind.prefix));
        return out;
    }();
    for (size_t k = 0; k < idKinds().size(); ++k) {
        const int at = h.indexOf(prefixHex[int(k)]);
        if (at < 0)
            continue;
        int p = at + int(prefixHex[int(k)].size());
        QString id;
        while (h.size() - p > 2) {
            const int b = int(hexToInt(QStringView(h).mid(p, 2)) & 0xFF);
            if (b < kFirstIdentifierByte)
                break;
            id += QChar(b);
            p += 2;
        }
        if (!id.isEmpty()) {
            m_cardEvents.drop();
            const IdKind kind = idKinds()[k].kind;
            forEachSink([&](ReceiveSink *s) { s->identifierRead(id, kind); });
        }
        return;
    }

    if (m_rawMode) {
        m_replySlot = h;
        Q_EMIT replyStored();
        return;
    }

    if (h.size() >= 10 && h.startsWith(QLatin1String("23")) && h.endsWith(QLatin1String("24"))
        && hexToInt(h.mid(2, 2)) * 2 == h.size()) {
        m_replySlot = h.mid(4, h.size() - 6);
        Q_EMIT replyStored();
        if (m_replySlot.startsWith(command::MasterCardReport)) {
            const QString items = h.mid(8, h.size() - 10);
            forEachSink([&](ReceiveSink *s) {
                if (s->masterConfigWaiting())
                    s->masterConfigRead(items);
            });
        }
        return;
    }
    qCDebug(lcLink) << "dropped" << h;
}

} // namespace limra
