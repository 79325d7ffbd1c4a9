#include "sim/readermodel.h"

#include "common/logging.h"
#include "firmware/crc16.h"
#include "link/hextext.h"

namespace limra::sim {

namespace {
constexpr int kBlockSize = 16;
constexpr int kErrAllMastersWritten = 0x0D;
constexpr int kErrMasterNotEmpty = 0x0E;
constexpr int kErrBadCommand = 0x0F;
constexpr int kErrNoMasterData = 0x10;
constexpr int kErrCodeExists = 0x12;
constexpr int kErrMasterPresented = 0x13;
constexpr int kErrCardEmpty = 0x19;
constexpr int kErrModesDiffer = 0x1A;
} // namespace

QString ReaderModel::defaultConfigItems()
{
    return QStringLiteral("0202670003030000400601000401000501000C0800F8E00700F8E0FF");
}

ReaderModel::ReaderModel(QObject *parent) : QObject(parent), configItems(defaultConfigItems())
{
    m_loaderIdle.setSingleShot(true);
    connect(&m_loaderIdle, &QTimer::timeout, this, [this] {
        // A loader whose upload broke off keeps waiting for a new one: the
        // firmware is not whole.
        if (loaderStuck() || m_uploadBroken || loaderData.isEmpty())
            return;
        mode = Mode::Reading;
        m_pending.clear();
        Q_EMIT note(QStringLiteral("loader: %1 blocks taken, back to card reading").arg(blocksTaken()));
        Q_EMIT leftLoader();
    });
}

QString ReaderModel::deviceIdentity() const
{
    return swapBytes(hardware.left(2) + hexByte(readerType)) + swapBytes(identityTail);
}

quint16 ReaderModel::uploadedCrc() const
{
    return sectionCrc(loaderData);
}

void ReaderModel::receive(const QByteArray &bytes)
{
    m_pending += bytes;
    if (mode == Mode::Loader) {
        m_loaderIdle.start(loaderIdleMs);
        while (m_pending.size() >= kBlockSize) {
            const QByteArray block = m_pending.left(kBlockSize);
            m_pending.remove(0, kBlockSize);
            loaderBlock(block);
        }
        return;
    }
    while (!m_pending.isEmpty()) {
        if (m_pending.at(0) != kFrameStart) {
            m_pending.remove(0, 1);
            continue;
        }
        if (m_pending.size() < 2)
            return;
        const int len = quint8(m_pending.at(1));
        if (len < kMinFrameLength) {
            m_pending.remove(0, 1);
            continue;
        }
        if (m_pending.size() < len)
            return;
        if (m_pending.at(len - 1) != kFrameEnd) {
            m_pending.remove(0, 1);
            continue;
        }
        const QString payload = bytesToHex(m_pending.mid(2, len - kFrameOverhead));
        m_pending.remove(0, len);
        handleFrame(payload);
    }
}

void ReaderModel::pluggedIn()
{
    m_pending.clear();
    if (mode == Mode::Loader) {
        m_uploadBroken = true;
        m_loaderIdle.stop();
    }
}

void ReaderModel::loaderBlock(const QByteArray &block)
{
    loaderBlocks << block;
    if (loaderFaults.stuckBlock < 0)
        m_stuck = false;
    if (m_uploadBroken) {
        loaderData.clear();
        m_uploadBroken = false;
    }
    const int index = blocksTaken();
    if (loaderFaults.stuckBlock >= 0 && (m_stuck || index >= loaderFaults.stuckBlock)) {
        if (!m_stuck)
            Q_EMIT note(QStringLiteral("loader: stuck at block %1").arg(index));
        m_stuck = true;
        m_uploadBroken = true;
        return;
    }
    if (index == loaderFaults.silentBlock) {
        Q_EMIT note(QStringLiteral("loader: block %1 not answered").arg(index));
        loaderData += block; // taken, but the answer is lost
        m_uploadBroken = true;
        return;
    }
    if (index == loaderFaults.rejectBlock) {
        Q_EMIT note(QStringLiteral("loader: block %1 rejected").arg(index));
        m_uploadBroken = true;
        emitBytes(QByteArray(1, '\0') + char(loaderFaults.rejectCode));
        return;
    }
    loaderData += block;
    emitBytes(index == loaderFaults.longReplyBlock ? QByteArray("\x01\x00\x00", 3) : QByteArray("\x01\x00", 2));
}

void ReaderModel::handleFrame(const QString &payload)
{
    commandsReceived << payload;
    Q_EMIT note(QStringLiteral("command %1").arg(payload));
    if (faults.silent)
        return;
    const QString cmd = payload.left(2);
    const QString ver = payload.mid(2, 2);
    const QString cmdVer = payload.left(4);
    if (faults.statusCode >= 0) {
        reply(cmdVer, QStringLiteral("0D01") + hexByte(faults.statusCode));
        return;
    }
    if (!faults.refuse.isEmpty() && payload.startsWith(faults.refuse)) {
        reply(cmdVer, QStringLiteral("0D01") + hexByte(faults.refuseCode));
        return;
    }
    const QString rest = payload.mid(4);
    if (cmdVer == QLatin1String("FF01")) {
        const QString ff = hardware.left(2) + hexByte(readerType);
        reply(cmdVer, QStringLiteral("FD") + hexByte(serial.size() / 2) + serial + QStringLiteral("FF02") + ff
                          + QStringLiteral("FE") + hexByte(identityTail.size() / 2) + identityTail);
    } else if (cmdVer == QLatin1String("0501")) {
        mode = Mode::Reading;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0B01")) {
        reply(cmdVer, readConfigReply());
    } else if (cmd == QLatin1String("01") && ver == QLatin1String("01")) {
        configItems = rest;
        const QString readMode = tagValue(0x06, rest, Packet::Items);
        reply(cmdVer);
        if (readMode == QLatin1String("01") || readMode == QLatin1String("03")) {
            mode = Mode::ObjectCode;
            Q_EMIT note(QStringLiteral("waiting for the master card with the object code"));
        }
    } else if (cmd == QLatin1String("01") && ver == QLatin1String("02")) {
        const bool tagged = rest.size() >= 6 && rest.mid(rest.size() - 6, 4) == QLatin1String("1101");
        masterConfigItems = tagged ? rest.left(rest.size() - 6) : rest;
        masterProtection = tagged ? rest.right(2) : QString();
        reply(cmdVer);
    } else if (cmd == QLatin1String("01") && ver == QLatin1String("04")) {
        secureZones = tagValue(0x0B, rest, Packet::Items);
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0201")) {
        mode = Mode::CreateMasters;
        cardsToWrite = int(hexToInt(tagValue(0x01, rest, Packet::Items).mid(2, 2)));
        cardsWritten = 0;
        ++m_sets;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0301")) {
        mode = Mode::ClearMasters;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0401") || cmdVer == QLatin1String("0601")) {
        mode = cmd == QLatin1String("04") ? Mode::CreateSecure : Mode::ClearSecure;
        acceptedObjectCode.clear();
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0701")) {
        mode = Mode::ReadMaster;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0801")) {
        mode = Mode::TakeOverMaster;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0901")) {
        mode = Mode::ClearAllSecure;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0A01")) {
        reply(cmdVer, firmwareItems);
    } else if (cmdVer == QLatin1String("0C01")) {
        if (!loaderFaults.switchUnanswered)
            reply(cmdVer);
        mode = Mode::Loader;
        loaderData.clear();
        loaderBlocks.clear();
        m_uploadBroken = false;
        m_stuck = false;
        m_pending.clear();
        m_loaderIdle.stop();
        Q_EMIT note(QStringLiteral("switched to the firmware loader"));
        Q_EMIT switchedToLoader();
    } else {
        reply(cmdVer, QStringLiteral("0D01") + hexByte(kErrBadCommand));
    }
}

QString ReaderModel::readConfigReply() const
{
    QString body = configItems;
    if (!objectCodeChecksum.isEmpty())
        body += QStringLiteral("0E") + hexByte(objectCodeChecksum.size() / 2) + objectCodeChecksum;
    if (!blockKeyChecksum.isEmpty())
        body += QStringLiteral("0F") + hexByte(blockKeyChecksum.size() / 2) + blockKeyChecksum;
    if (emMarine)
        body += QStringLiteral("140101");
    return body;
}

void ReaderModel::reply(const QString &cmdVer, const QString &body)
{
    QString b = body;
    if (tagValue(0x0D, b, Packet::Items).isEmpty())
        b += QStringLiteral("0D0100");
    emitBytes(hexToBytes(frameText(cmdVer + b)));
}

void ReaderModel::emitBytes(const QByteArray &bytes)
{
    if (faults.delayMs > 0) {
        QTimer::singleShot(faults.delayMs, this, [this, bytes] { writeNow(bytes); });
        return;
    }
    writeNow(bytes);
}

void ReaderModel::writeNow(const QByteArray &bytes)
{
    if (faults.split && bytes.size() > 1) {
        const int half = int(bytes.size() / 2);
        Q_EMIT output(bytes.left(half));
        const QByteArray rest = bytes.mid(half);
        QTimer::singleShot(5, this, [this, rest] { Q_EMIT output(rest); });
        return;
    }
    Q_EMIT output(bytes);
}

void ReaderModel::cardStatus(int code)
{
    if (faults.cardError >= 0) {
        code = faults.cardError;
        faults.cardError = -1;
    }
    Q_EMIT note(QStringLiteral("card operation status %1").arg(hexByte(code)));
    emitBytes(hexToBytes(QStringLiteral("230800010D01") + hexByte(code) + QStringLiteral("24")));
}

void ReaderModel::presentCard(IdKind kind, const QString &id)
{
    if (mode == Mode::Reading) {
        emitBytes(QByteArray(idKindInfo(kind).prefix) + id.toLatin1() + "\r\n");
        return;
    }
    cardPresented(id);
}

void ReaderModel::sendCardInfo(int type, int level, qint32 memory, int capacitance)
{
    const QString value = swapBytes(hexDigits(quint64(type) & 0xFFFF, 4)) + hexByte(level)
                          + swapBytes(hexDigits(quint64(quint32(memory)), 8)) + hexByte(capacitance);
    // Card information comes as an unsolicited frame of its own.
    emitBytes(hexToBytes(frameText(QStringLiteral("0001") + QStringLiteral("1308") + value)));
}

QString ReaderModel::newUid()
{
    return QStringLiteral("04") + hexDigits(quint64(m_nextUid++), 12);
}

int ReaderModel::masterIndex(const QString &uid) const
{
    for (int i = 0; i < masterCards.size(); ++i)
        if (masterCards[i].uid == uid)
            return i;
    return -1;
}

int ReaderModel::secureIndex(const QString &uid) const
{
    for (int i = 0; i < secureCards.size(); ++i)
        if (secureCards[i].uid == uid)
            return i;
    return -1;
}

void ReaderModel::presentBlank(const QString &uid)
{
    const QString id = uid.isEmpty() ? newUid() : uid.toUpper();
    if (mode == Mode::Reading) {
        presentCard(IdKind::Uid, id);
        return;
    }
    cardPresented(id);
}

void ReaderModel::presentMaster(int index)
{
    if (masterCards.isEmpty()) {
        // A master card written elsewhere, with the factory configuration.
        masterCards << MasterCard{newUid(), defaultConfigItems(), QStringLiteral("00"), QString(), 0, 1};
    }
    if (index < 0 || index >= masterCards.size())
        index = int(masterCards.size()) - 1;
    if (mode == Mode::Reading) {
        presentCard(IdKind::Uid, masterCards[index].uid);
        return;
    }
    masterPresented(index);
}

// A card that is not a master card: blank, or secure.
void ReaderModel::cardPresented(const QString &uid)
{
    const int master = masterIndex(uid);
    if (master >= 0) {
        masterPresented(master);
        return;
    }
    int secure = secureIndex(uid);
    switch (mode) {
    case Mode::Reading:
    case Mode::Loader:
        return;
    case Mode::CreateMasters:
        if (cardsWritten >= cardsToWrite) {
            cardStatus(kErrAllMastersWritten);
            return;
        }
        if (secure >= 0 && !secureCards[secure].objectCodes.isEmpty()) {
            cardStatus(kErrMasterNotEmpty);
            return;
        }
        {
            const QString readMode = tagValue(0x06, masterConfigItems, Packet::Items);
            const bool objectCode = readMode == QLatin1String("01") || readMode == QLatin1String("03");
            masterCards << MasterCard{uid, masterConfigItems, masterProtection,
                                      objectCode ? QStringLiteral("OC%1").arg(m_sets) : QString(), cardsWritten,
                                      cardsToWrite};
        }
        ++cardsWritten;
        cardStatus(0);
        return;
    case Mode::ClearMasters:
    case Mode::ObjectCode:
        cardStatus(kErrCardEmpty);
        return;
    case Mode::ReadMaster:
    case Mode::TakeOverMaster:
        cardStatus(kErrNoMasterData);
        return;
    case Mode::CreateSecure:
        if (acceptedObjectCode.isEmpty()) {
            cardStatus(kErrCardEmpty);
            return;
        }
        if (secure < 0) {
            secureCards << SecureCard{uid, {}, QString()};
            secure = int(secureCards.size()) - 1;
        }
        if (secureCards[secure].objectCodes.contains(acceptedObjectCode)) {
            cardStatus(kErrCodeExists);
            return;
        }
        secureCards[secure].objectCodes << acceptedObjectCode;
        secureCards[secure].zones = secureZones;
        cardStatus(0);
        return;
    case Mode::ClearSecure:
        if (acceptedObjectCode.isEmpty() || secure < 0
            || !secureCards[secure].objectCodes.removeOne(acceptedObjectCode)) {
            cardStatus(kErrCardEmpty);
            return;
        }
        cardStatus(0);
        return;
    case Mode::ClearAllSecure:
        if (secure >= 0)
            secureCards.removeAt(secure);
        cardStatus(0);
        return;
    }
}

void ReaderModel::masterPresented(int index)
{
    const MasterCard card = masterCards.at(index);
    switch (mode) {
    case Mode::Reading:
    case Mode::Loader:
        return;
    case Mode::CreateMasters:
        cardStatus(kErrMasterNotEmpty);
        return;
    case Mode::ClearMasters:
        masterCards.removeAt(index);
        cardStatus(0);
        return;
    case Mode::ReadMaster: {
        QString items = card.items + QStringLiteral("0102") + hexByte(card.place) + hexByte(card.setSize);
        if (!card.objectCode.isEmpty())
            items += QStringLiteral("0E02") + hexDigits(qHash(card.objectCode) & 0xFFFF, 4);
        emitBytes(hexToBytes(frameText(QStringLiteral("0103") + items)));
        return;
    }
    case Mode::TakeOverMaster:
        configItems = card.items;
        cardStatus(0);
        return;
    case Mode::CreateSecure:
    case Mode::ClearSecure:
        if (!acceptedObjectCode.isEmpty()) {
            cardStatus(kErrMasterPresented);
        } else if (card.objectCode.isEmpty()) {
            cardStatus(kErrModesDiffer);
        } else {
            acceptedObjectCode = card.objectCode;
            cardStatus(0);
        }
        return;
    case Mode::ClearAllSecure:
        cardStatus(kErrMasterPresented);
        return;
    case Mode::ObjectCode:
        objectCodeChecksum = card.objectCode.isEmpty() ? QStringLiteral("5A3C")
                                                       : hexDigits(qHash(card.objectCode) & 0xFFFF, 4);
        mode = Mode::Reading;
        cardStatus(0);
        return;
    }
}

QStringList ReaderModel::describeCards() const
{
    QStringList out;
    for (int i = 0; i < masterCards.size(); ++i) {
        const MasterCard &m = masterCards[i];
        out << QStringLiteral("master %1: %2, No %3 of %4, protection %5%6, items %7")
                   .arg(i)
                   .arg(m.uid)
                   .arg(m.place + 1)
                   .arg(m.setSize)
                   .arg(m.protection.isEmpty() ? QStringLiteral("-") : m.protection,
                        m.objectCode.isEmpty() ? QString() : QStringLiteral(", object code ") + m.objectCode,
                        m.items);
    }
    for (const SecureCard &s : secureCards)
        out << QStringLiteral("secure %1: object codes %2, zones %3")
                   .arg(s.uid, s.objectCodes.join(QLatin1Char(',')), s.zones.isEmpty() ? QStringLiteral("-") : s.zones);
    return out;
}

QString modeName(ReaderModel::Mode mode)
{
    switch (mode) {
    case ReaderModel::Mode::Reading: return QStringLiteral("card reading");
    case ReaderModel::Mode::CreateMasters: return QStringLiteral("writing master cards");
    case ReaderModel::Mode::ClearMasters: return QStringLiteral("clearing master cards");
    case ReaderModel::Mode::CreateSecure: return QStringLiteral("creating secure cards");
    case ReaderModel::Mode::ClearSecure: return QStringLiteral("clearing secure cards");
    case ReaderModel::Mode::ReadMaster: return QStringLiteral("reading a master card");
    case ReaderModel::Mode::TakeOverMaster: return QStringLiteral("taking over a master card");
    case ReaderModel::Mode::ClearAllSecure: return QStringLiteral("clearing all secure cards");
    case ReaderModel::Mode::ObjectCode: return QStringLiteral("waiting for the object-code master card");
    case ReaderModel::Mode::Loader: return QStringLiteral("firmware loader");
    }
    return QString();
}

bool parseKind(const QString &word, IdKind *kind)
{
    static const struct {
        const char *word;
        IdKind kind;
    } table[] = {
        {"uid", IdKind::Uid}, {"phone", IdKind::PhoneId}, {"mir", IdKind::Mir},
        {"nonunique", IdKind::NonuniqueUid}, {"random", IdKind::RandomUid},
    };
    for (const auto &row : table)
        if (word.compare(QLatin1String(row.word), Qt::CaseInsensitive) == 0) {
            *kind = row.kind;
            return true;
        }
    return false;
}

} // namespace limra::sim

#include "moc_readermodel.cpp"
