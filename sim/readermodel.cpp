#include "sim/readermodel.h"

#include "common/logging.h"
#include "link/hextext.h"

namespace limra::sim {

namespace {
constexpr int kErrBadCommand = 0x0F;
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
        if (!firmwareWhole())
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

void ReaderModel::receive(const QByteArray &bytes)
{
    m_pending += bytes;
    if (mode == Mode::Loader) {
        if (!bytes.isEmpty())
            loaderReceived();
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
        restartLoader(false);
        m_loaderIdle.stop();
    }
}

void ReaderModel::loaderBlock(const QByteArray &block)
{
    const BlockOutcome outcome = takeBlock(block);
    if (!outcome.note.isEmpty())
        Q_EMIT note(outcome.note);
    if (!outcome.answer.isEmpty())
        emitBytes(outcome.answer);
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
        beginMasterSet(int(hexToInt(tagValue(0x01, rest, Packet::Items).mid(2, 2))));
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
        restartLoader(true);
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
    // A loader is not idle while its own answer is on its way: its idle
    // time counts from the answer.
    if (mode == Mode::Loader && m_loaderIdle.isActive())
        m_loaderIdle.start(loaderIdleMs);
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

void ReaderModel::tell(const CardOutcome &outcome)
{
    if (outcome.takenItems)
        configItems = *outcome.takenItems;
    if (outcome.objectCodeChecksum) {
        objectCodeChecksum = *outcome.objectCodeChecksum;
        mode = Mode::Reading;
    }
    if (!outcome.report.isEmpty())
        emitBytes(hexToBytes(frameText(QStringLiteral("0103") + outcome.report)));
    if (outcome.status >= 0)
        cardStatus(outcome.status);
}

void ReaderModel::presentCard(IdKind kind, const QString &id)
{
    if (mode == Mode::Reading) {
        emitBytes(QByteArray(idKindInfo(kind).prefix) + id.toLatin1() + "\r\n");
        return;
    }
    tell(cardPresented(mode, id));
}

void ReaderModel::sendCardInfo(int type, int level, qint32 memory, int capacitance)
{
    const QString value = swapBytes(hexDigits(quint64(type) & 0xFFFF, 4)) + hexByte(level)
                          + swapBytes(hexDigits(quint64(quint32(memory)), 8)) + hexByte(capacitance);
    // Card information comes as an unsolicited frame of its own.
    emitBytes(hexToBytes(frameText(QStringLiteral("0001") + QStringLiteral("1308") + value)));
}

void ReaderModel::presentBlank(const QString &uid)
{
    const QString id = uid.isEmpty() ? newUid() : uid.toUpper();
    if (mode == Mode::Reading) {
        presentCard(IdKind::Uid, id);
        return;
    }
    tell(cardPresented(mode, id));
}

void ReaderModel::presentMaster(int index)
{
    index = masterToPresent(index, defaultConfigItems());
    if (mode == Mode::Reading) {
        presentCard(IdKind::Uid, masterCards[index].uid);
        return;
    }
    tell(masterPresented(mode, index));
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
