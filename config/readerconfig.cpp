#include "config/readerconfig.h"

#include <QDate>

#include "link/hextext.h"

namespace limra {

std::vector<CardFormat> offeredFormats(int readMode, ReaderKind reader, bool emMarine)
{
    static const CardFormat kMifarePlus{0x0010, "MifarePLUS - высокий уровень защиты", 64};
    switch (readMode) {
    case 0:
        if (reader == ReaderKind::Ble)
            return {{0x0200, "Телефон (BLE) - 8 байт", 64}, {0x0400, "Брелок (BLE) - 8 байт", 64}};
        else {
            std::vector<CardFormat> f = {
                {0x0001, "ISO14443AUID - 4 байта", 32},   {0x0002, "ISO14443AUID - 7 байт", 56},
                {0x0004, "Телефон (NFC) - 8 байт", 64},   {0x0020, "ISO14443B - 4 байта", 32},
                {0x0040, "ISO15693 (ICODE) - 8 байт", 64}, {0x0080, "Банковские карты - 8 байт", 64}};
            if (emMarine)
                f.push_back({0x0100, "Em-Marine - 3 байта", 24});
            return f;
        }
    case 1:
        return {{0x0008, "MifareClassic - низкий уровень защиты", 64}, kMifarePlus};
    case 2:
    case 3:
        return {kMifarePlus};
    default:
        return {};
    }
}

// The default bank-card key of the reader family, built from its pieces:
// the leading byte 4C; two 6-byte pieces, each the Julian day number of a
// fixed date times the golden-ratio constant 9E3779B1, kept to 48 bits
// (dates 2009-03-17 and 2015-11-02); and the tail 5A C3 17.
QString defaultBankKey()
{
    auto piece = [](const QDate &date) {
        const quint64 v = (quint64(date.toJulianDay()) * 0x9E3779B1ull) & 0xFFFFFFFFFFFFull;
        return hexDigits(v, 12);
    };
    static const QString key = QStringLiteral("4C") + piece(QDate(2009, 3, 17)) + piece(QDate(2015, 11, 2))
                               + QStringLiteral("5AC317");
    return key;
}

static QString le16(int value)
{
    return swapBytes(hexDigits(quint64(value) & 0xFFFF, 4));
}

QString buildConfig(ReaderConfig &c, Producer producer, ReaderKind reader)
{
    c.blockKey = c.blockKey.rightJustified(32, QLatin1Char('0'));
    QString out = QStringLiteral("0202") + le16(c.formats);
    if (c.readMode == 3 && producer != Producer::MasterCards)
        out += QStringLiteral("0303000040");
    else
        out += QStringLiteral("0303") + hexByte(c.conversion == 2 ? 2 : c.conversion == 1 ? 1 : 0) + hexByte(c.bitShift)
               + hexByte(c.significantBits);
    out += QStringLiteral("0601") + hexByte(c.readMode);
    if (c.readMode == 2)
        out += QStringLiteral("0802") + le16(c.blockNumber) + QStringLiteral("0901") + hexByte(c.blockOffset)
               + QStringLiteral("0A01") + hexByte(c.blockCount) + QStringLiteral("0B10") + c.blockKey;
    if (c.readMode == 0) {
        if (producer == Producer::Reader && reader == ReaderKind::Ble) {
            if (!c.bleName.isEmpty()) {
                out += QStringLiteral("20") + hexByte(c.bleName.size() + 1);
                for (QChar ch : c.bleName)
                    out += hexByte(ch.unicode());
                out += QStringLiteral("00");
            }
        } else if (c.bankKeyMode == BankKeyMode::Default) {
            out += QStringLiteral("0B10") + defaultBankKey();
        } else {
            c.bankKey = c.bankKey.rightJustified(32, QLatin1Char('0'));
            out += QStringLiteral("0B10") + c.bankKey;
        }
    }
    if (c.readMode == 3)
        out += QStringLiteral("0802") + le16(c.pulse) + QStringLiteral("0B10") + zoneMask(c.zones);
    out += QStringLiteral("0401") + hexByte(c.wiegandType);
    out += c.wiegandWidth == 0 ? QStringLiteral("050100") : QStringLiteral("0501") + hexByte(c.wiegandWidth);
    if (!(producer == Producer::Reader && reader == ReaderKind::Ble)) {
        out += QStringLiteral("0C08");
        for (const QColor &colour : c.ledColours)
            out += colourCode(colour);
    }
    return out;
}

ConfigTable parseConfig(const QString &items)
{
    ConfigTable table;
    QString rest = items;
    while (!rest.isEmpty()) {
        const int tag = int(hexToInt(rest.left(2)) & 0xFF);
        const int len = int(hexToInt(rest.mid(2, 2)) & 0xFF);
        table[size_t(tag)] = rest.mid(4, 2 * len);
        rest.remove(0, 4 + 2 * len);
    }
    return table;
}

QString colourCode(const QColor &colour)
{
    const QString bits = byteToBits(quint8(colour.red())).left(5) + byteToBits(quint8(colour.green())).left(6)
                         + byteToBits(quint8(colour.blue())).left(5);
    return swapBytes(hexDigits(quint64(bitsToInt(bits)), 4));
}

QColor colourFromCode(const QString &fourDigits)
{
    const int lo = int(hexToInt(fourDigits.left(2)) & 0xFF);
    const int hi = int(hexToInt(fourDigits.mid(2, 2)) & 0xFF);
    const int code = lo + 256 * hi;
    return QColor(((code >> 11) & 0x1F) << 3, ((code >> 5) & 0x3F) << 2, (code & 0x1F) << 3);
}

QColor reducedColour(const QColor &c)
{
    return QColor(c.red() & 0xF8, c.green() & 0xFC, c.blue() & 0xF8);
}

QColor captionColour(const QColor &c)
{
    return (2 * c.red() + 3 * c.green() + c.blue()) / 6 >= 125 ? QColor(Qt::black) : QColor(Qt::white);
}

QString zoneBitString(const std::array<bool, 64> &zones)
{
    QString bits;
    for (int z = 0; z < 64; ++z)
        bits.prepend(zones[size_t(z)] ? QLatin1Char('1') : QLatin1Char('0'));
    return bits;
}

QString bitsToHex(const QString &bits)
{
    const int padded = (bits.size() + 7) / 8 * 8;
    const QString b = bits.rightJustified(padded, QLatin1Char('0'));
    QString out;
    for (int i = 0; i < b.size(); i += 8)
        out += hexByte(int(bitsToInt(b.mid(i, 8))));
    return out;
}

QString zoneMask(const std::array<bool, 64> &zones)
{
    return bitsToHex(zoneBitString(zones)).leftJustified(32, QLatin1Char('0'));
}

bool decodeZoneMask(const QString &value, std::array<bool, 64> &zones)
{
    QString v = value.size() > 16 ? value.left(16) : value.rightJustified(16, QLatin1Char('0'));
    const QString bits = hexToBits(v);
    if (bits.size() != 64)
        return false;
    for (int z = 0; z < 64; ++z)
        zones[size_t(z)] = bits.at(63 - z) == QLatin1Char('1');
    return true;
}

} // namespace limra
