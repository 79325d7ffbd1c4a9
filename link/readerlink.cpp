#include "link/readerlink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "link/hextext.h"
#include "link/logging.h"

namespace limra {

const std::vector<IdKindInfo> &idKinds()
{
    static const std::vector<IdKindInfo> kinds = {
        {IdKind::PhoneId, "PhoneID: ", "Phone ID", 0xBFFFBF},
        {IdKind::RandomUid, "Random UID: ", "Random UID", 0xFFB9B9},
        {IdKind::NonuniqueUid, "Nonunic UID: ", "Nonunique UID", 0xFFFFC4},
        {IdKind::Mir, "MIR: ", "MIR", 0xD7F3FF},
        {IdKind::Uid, "UID: ", "UID", 0xFFFFFF},
    };
    return kinds;
}

const IdKindInfo &idKindInfo(IdKind kind)
{
    const auto &kinds = idKinds();
    return *std::find_if(kinds.begin(), kinds.end(), [kind](const IdKindInfo &k) { return k.kind == kind; });
}

const std::vector<IdKind> &idKindLabelOrder()
{
    static const std::vector<IdKind> order = {IdKind::Uid, IdKind::PhoneId, IdKind::Mir,
                                              IdKind::NonuniqueUid, IdKind::RandomUid};
    return order;
}

static QString cardTypeName(qint64 type)
{
    static const char *const names[] = {
        nullptr, "Mifare ID", "Mifare Classic", "Mifare Classic", "Mifare Classic",
        "Mifare Ultralight", "Mifare Plus S", "Mifare Plus X", "SmartMX or BANK",
        "SmartMX с Mifare Classic", "Mifare Plus SE", "Mifare Plus EV1", "Mifare Plus EV2",
        "Mifare DESFire EV1", "Mifare DESFire EV2", "Mifare DESFire EV3", "NTag216", "NTag4XX",
        "TagNPlay", "ISO14443B", "ICODE", "PHONE", "BANK", "EM-Marine"};
    if (type <= 0 || type >= qint64(sizeof names / sizeof names[0]))
        return QString();
    return QString::fromUtf8(names[type]);
}

CardInfo decodeCardInfo(const QString &v)
{
    CardInfo info;
    info.type = cardTypeName(hextoint(swapbytes(v.mid(0, 4))));
    if (info.type.isEmpty())
        return info;
    static const char *const levels[] = {"SL0", "SL1", "SL2", "SL3"};
    const qint64 level = hextoint(v.mid(4, 2));
    if (level >= 1 && level <= 4)
        info.security = QString::fromLatin1(levels[level - 1]);
    const qint32 memory = qint32(quint32(hextoint(swapbytes(v.mid(6, 8)))));
    if (memory > 0)
        info.memory = memory < 1024 ? QString::number(memory) + QLatin1Char('B')
                                    : QString::number(memory / 1024) + QLatin1Char('K');
    const qint64 capacitance = hextoint(v.mid(14, 2));
    if (capacitance == 1 || capacitance == 2) {
        if (!info.memory.isEmpty())
            info.memory += QLatin1Char(' ');
        info.memory += capacitance == 1 ? QStringLiteral("17пФ") : QStringLiteral("70пФ");
    }
    return info;
}

ReaderLink::ReaderLink(QObject *parent) : QObject(parent) {}

ReaderLink::~ReaderLink() = default;

void ReaderLink::addSink(ReceiveSink *sink)
{
    sinks.push_back(sink);
}

void ReaderLink::removeSink(ReceiveSink *sink)
{
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink), sinks.end());
}

void ReaderLink::setPort(std::unique_ptr<SerialPort> port)
{
    closePort();
    comport = std::move(port);
    if (!comport)
        return;
    SerialPort *p = comport.get();
    connect(p, &SerialPort::readyRead, this, &ReaderLink::ComPort1RxChar);
    connect(p, &SerialPort::lineError, this, &ReaderLink::ComPort1Error);
    connect(p, &SerialPort::failed, this, [this, p](bool ioError) {
        const QString name = p->name();
        if (ioError)
            ComPort1Error(IoError);
        Q_EMIT portFailed(name);
    });
}

void ReaderLink::closePort()
{
    if (!comport)
        return;
    disconnect(comport.get(), nullptr, this, nullptr);
    comport->close();
    // The port may be closed from inside one of its own signals.
    comport.release()->deleteLater();
}

QString ReaderLink::SendToComPort(const QString &text, int timeout, bool bl)
{
    QString frame;
    QString cmd;
    if (!bl) {
        frame = frameText(text);
        cmd = frame.mid(4, 2);
    } else {
        frame = text;
    }
    const QByteArray bytes = hexToBytes(frame);

    replyslot.clear();
    rawmode = bl;
    struct RawModeGuard {
        bool &flag;
        ~RawModeGuard() { flag = false; }
    } guard{rawmode};

    if (trafficLogging)
        Q_EMIT traffic(QLatin1Char('>'), frame);
    if (comport && comport->isOpen() && !comport->write(bytes))
        qCDebug(lcLink) << "write failed";

    // Waits are measured on the monotonic clock, so a change of the wall
    // clock cannot stretch or cut them.
    const QDeadlineTimer deadline(std::max(timeout, 0));
    QString local;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        local = replyslot;
        if (!bl && !local.isEmpty()) {
            if (local.left(2) == cmd)
                local = local.mid(4);
            else
                local.clear(); // a frame of another command; the slot keeps it
        }
        if (!local.isEmpty())
            break;
        if (deadline.hasExpired())
            break;
        waitForReply(deadline.remainingTime());
    }

    if (!bl) {
        if (local.isEmpty()) {
            local = QStringLiteral("ER00");
        } else {
            const QString status = gettagvalue(0x0D, local, false);
            if (!status.isEmpty() && status != QLatin1String("00"))
                local = QStringLiteral("ER") + status;
        }
    }
    return local;
}

void ReaderLink::waitForReply(qint64 ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &ReaderLink::replyStored, &loop, &QEventLoop::quit);
    timer.start(int(std::min<qint64>(ms, 1 << 30)));
    loop.exec();
}

void ReaderLink::ComPort1RxChar()
{
    while (comport) {
        const QByteArray message = comport->takeMessage();
        if (message.isEmpty())
            break;
        dispatch(message);
    }
}

void ReaderLink::ComPort1Error(LineErrors errors)
{
    if (connectedport.isEmpty())
        return;
    const QStringList messages = lineErrorTexts(errors);
    if (!messages.isEmpty())
        Q_EMIT lineErrors(messages);
}

void ReaderLink::dispatch(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return;
    const QString h = bytesToHex(chunk);
    if (trafficLogging)
        Q_EMIT traffic(QLatin1Char('<'), h);

    // Card information: item 13 of exactly 8 bytes in a whole frame.
    const QString info = gettagvalue(0x13, h, true);
    if (info.size() == 16) {
        const CardInfo decoded = decodeCardInfo(info);
        for (ReceiveSink *s : std::vector<ReceiveSink *>(sinks))
            s->cardInfoRead(decoded);
    }

    // Card-operation status frame.
    if (h.size() == 16 && h.startsWith(QLatin1String("230800010D01"))) {
        statusanswer.cmd = 0;
        statusanswer.ver = 1;
        statusanswer.body = h.mid(8, 6);
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
        const IdKindInfo &kind = idKinds()[k];
        const int at = h.indexOf(prefixHex[int(k)]);
        if (at < 0)
            continue;
        int p = at + int(prefixHex[int(k)].size());
        QString id;
        while (h.size() - p > 2) {
            const int b = int(hextoint(QStringView(h).mid(p, 2)) & 0xFF);
            if (b < 0x30)
                break;
            id += QChar(b);
            p += 2;
        }
        if (!id.isEmpty()) {
            statusanswer.cmd = 255; // a waiting card-operation status is dropped
            for (ReceiveSink *s : std::vector<ReceiveSink *>(sinks))
                s->identifierRead(id, kind.kind);
        }
        return;
    }

    if (rawmode) {
        replyslot = h;
        Q_EMIT replyStored();
        return;
    }

    if (h.size() >= 10 && h.startsWith(QLatin1String("23")) && h.endsWith(QLatin1String("24"))
        && hextoint(h.mid(2, 2)) * 2 == h.size()) {
        replyslot = h.mid(4, h.size() - 6);
        Q_EMIT replyStored();
        if (replyslot.startsWith(QLatin1String("0103"))) {
            for (ReceiveSink *s : std::vector<ReceiveSink *>(sinks))
                if (s->masterConfigWaiting())
                    s->masterConfigRead(h.mid(8, h.size() - 10));
        }
        return;
    }
    qCDebug(lcLink) << "dropped" << h;
}

} // namespace limra
