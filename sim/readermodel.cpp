#include "sim/readermodel.h"

#include "link/hextext.h"
#include "link/logging.h"

namespace limra::sim {

namespace {
constexpr int kLoaderIdleMs = 3000;
constexpr int kErrBadCommand = 0x0F;
constexpr int kErrMasterNotEmpty = 0x0E;
constexpr int kErrNoMasterData = 0x10;
constexpr int kErrCardEmpty = 0x19;
constexpr int kErrMasterPresented = 0x13;
} // namespace

QString ReaderModel::defaultConfigItems()
{
    return QStringLiteral("0202670003030000400601000401000501000C0800F8E00700F8E0FF");
}

ReaderModel::ReaderModel(QObject *parent) : QObject(parent), configItems(defaultConfigItems())
{
    loaderIdle.setSingleShot(true);
    loaderIdle.setInterval(kLoaderIdleMs);
    connect(&loaderIdle, &QTimer::timeout, this, [this] {
        mode = Mode::Reading;
        pending.clear();
        Q_EMIT note(QStringLiteral("loader: %1 blocks taken, back to card reading").arg(loaderBlocks));
    });
}

void ReaderModel::receive(const QByteArray &bytes)
{
    pending += bytes;
    if (mode == Mode::Loader) {
        loaderIdle.start();
        while (pending.size() >= 16) {
            pending.remove(0, 16);
            ++loaderBlocks;
            if (faults.silent)
                continue;
            emitBytes(faults.statusCode >= 0 ? hexToBytes(QStringLiteral("00") + hexByte(faults.statusCode))
                                             : QByteArray("\x01\x00", 2));
        }
        return;
    }
    while (!pending.isEmpty()) {
        if (pending.at(0) != '\x23') {
            pending.remove(0, 1);
            continue;
        }
        if (pending.size() < 2)
            return;
        const int len = quint8(pending.at(1));
        if (len < 5) {
            pending.remove(0, 1);
            continue;
        }
        if (pending.size() < len)
            return;
        if (pending.at(len - 1) != '\x24') {
            pending.remove(0, 1);
            continue;
        }
        const QString payload = bytesToHex(pending.mid(2, len - 3));
        pending.remove(0, len);
        handleFrame(payload);
    }
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
        const QString readMode = gettagvalue(0x06, rest, false);
        reply(cmdVer);
        if (readMode == QLatin1String("01") || readMode == QLatin1String("03")) {
            mode = Mode::ObjectCode;
            Q_EMIT note(QStringLiteral("waiting for the master card with the object code"));
        }
    } else if (cmd == QLatin1String("01") && ver == QLatin1String("02")) {
        const int at = rest.lastIndexOf(QLatin1String("1101"));
        masterConfigItems = at >= 0 && at == rest.size() - 6 ? rest.left(at) : rest;
        masterProtection = at >= 0 && at == rest.size() - 6 ? rest.mid(at + 4, 2) : QString();
        reply(cmdVer);
    } else if (cmd == QLatin1String("01") && ver == QLatin1String("04")) {
        secureZones = gettagvalue(0x0B, rest, false);
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0201")) {
        mode = Mode::CreateMasters;
        cardsToWrite = int(hextoint(gettagvalue(0x01, rest, false).mid(2, 2)));
        cardsWritten = 0;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0301")) {
        mode = Mode::ClearMasters;
        reply(cmdVer);
    } else if (cmdVer == QLatin1String("0401") || cmdVer == QLatin1String("0601")) {
        mode = cmd == QLatin1String("04") ? Mode::CreateSecure : Mode::ClearSecure;
        masterAccepted = false;
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
        reply(cmdVer);
        mode = Mode::Loader;
        loaderBlocks = 0;
        pending.clear();
        loaderIdle.start();
        Q_EMIT note(QStringLiteral("switched to the firmware loader"));
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
    if (!b.contains(QLatin1String("0D01")) || gettagvalue(0x0D, b, false).isEmpty())
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
        const int half = bytes.size() / 2;
        Q_EMIT output(bytes.left(half));
        const QByteArray rest = bytes.mid(half);
        QTimer::singleShot(5, this, [this, rest] { Q_EMIT output(rest); });
        return;
    }
    Q_EMIT output(bytes);
}

int ReaderModel::takeCardError()
{
    const int e = faults.cardError;
    faults.cardError = -1;
    return e;
}

void ReaderModel::cardStatus(int code)
{
    const int forced = takeCardError();
    if (forced >= 0)
        code = forced;
    Q_EMIT note(QStringLiteral("card operation status %1").arg(hexByte(code)));
    emitBytes(hexToBytes(QStringLiteral("230800010D01") + hexByte(code) + QStringLiteral("24")));
}

void ReaderModel::presentCard(IdKind kind, const QString &id)
{
    if (mode == Mode::Reading) {
        emitBytes(QByteArray(idKindInfo(kind).prefix) + id.toLatin1() + "\r\n");
        return;
    }
    presentBlank();
}

void ReaderModel::sendCardInfo(int type, int level, qint32 memory, int capacitance)
{
    const QString value = swapbytes(hexDigits(quint64(type) & 0xFFFF, 4)) + hexByte(level)
        + swapbytes(hexDigits(quint64(quint32(memory)), 8)) + hexByte(capacitance);
    // Card information comes as an unsolicited frame of its own.
    emitBytes(hexToBytes(frameText(QStringLiteral("0001") + QStringLiteral("1308") + value)));
}

void ReaderModel::presentBlank()
{
    switch (mode) {
    case Mode::Reading:
        presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
        return;
    case Mode::CreateMasters:
        if (cardsWritten >= cardsToWrite) {
            cardStatus(0x0D);
            return;
        }
        masterCards << MasterCard{masterConfigItems, cardsWritten, cardsToWrite};
        ++cardsWritten;
        cardStatus(0);
        return;
    case Mode::ClearMasters:
    case Mode::ReadMaster:
    case Mode::TakeOverMaster:
        cardStatus(mode == Mode::ClearMasters ? kErrCardEmpty : kErrNoMasterData);
        return;
    case Mode::CreateSecure:
    case Mode::ClearSecure:
        cardStatus(masterAccepted ? 0 : kErrCardEmpty);
        return;
    case Mode::ClearAllSecure:
        cardStatus(0);
        return;
    case Mode::ObjectCode:
        cardStatus(kErrCardEmpty);
        return;
    case Mode::Loader:
        return;
    }
}

void ReaderModel::presentMaster(int index)
{
    MasterCard card;
    if (masterCards.isEmpty()) {
        card.items = defaultConfigItems(); // a card written by another tool
    } else {
        if (index < 0 || index >= masterCards.size())
            index = masterCards.size() - 1;
        card = masterCards.at(index);
    }
    switch (mode) {
    case Mode::Reading:
        presentCard(IdKind::Uid, QStringLiteral("04FFEEDDCCBBAA"));
        return;
    case Mode::CreateMasters:
        cardStatus(kErrMasterNotEmpty);
        return;
    case Mode::ClearMasters:
        if (!masterCards.isEmpty())
            masterCards.removeAt(index);
        cardStatus(0);
        return;
    case Mode::ReadMaster: {
        const QString items = card.items + QStringLiteral("0102") + hexByte(card.place) + hexByte(card.setSize);
        emitBytes(hexToBytes(frameText(QStringLiteral("0103") + items)));
        return;
    }
    case Mode::TakeOverMaster:
        configItems = card.items;
        cardStatus(0);
        return;
    case Mode::CreateSecure:
    case Mode::ClearSecure:
        if (masterAccepted) {
            cardStatus(kErrMasterPresented);
        } else {
            masterAccepted = true;
            cardStatus(0);
        }
        return;
    case Mode::ClearAllSecure:
        cardStatus(kErrMasterPresented);
        return;
    case Mode::ObjectCode:
        objectCodeChecksum = QStringLiteral("5A3C");
        mode = Mode::Reading;
        cardStatus(0);
        return;
    case Mode::Loader:
        return;
    }
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
    static const struct { const char *word; IdKind kind; } table[] = {
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
