#include "config/readerconfig.h"

#include <QDate>
#include <cmath>

#include "link/hextext.h"

namespace limra {

std::optional<ReadMode> readModeFrom(int value)
{
    if (value < 0 || value >= kReadModeCount)
        return std::nullopt;
    return ReadMode(value);
}

std::vector<CardFormat> offeredFormats(ReadMode readMode, ReaderKind reader, bool emMarine)
{
    static const CardFormat kMifarePlus{0x0010, "MifarePLUS - высокий уровень защиты", 64};
    switch (readMode) {
    case ReadMode::Uid:
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
    case ReadMode::ObjectCode:
        return {{0x0008, "MifareClassic - низкий уровень защиты", 64}, kMifarePlus};
    case ReadMode::BlockCode:
    case ReadMode::PassZones:
        return {kMifarePlus};
    }
    return {};
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

quint16 colourCode(const QColor &colour)
{
    return quint16(((colour.red() >> 3) & 0x1F) << 11 | ((colour.green() >> 2) & 0x3F) << 5 | ((colour.blue() >> 3) & 0x1F));
}

QColor colourFromCode(quint16 code)
{
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

QByteArray zoneMask(const std::array<bool, 64> &zones)
{
    quint64 number = 0;
    for (int z = 0; z < 64; ++z)
        if (zones[size_t(z)])
            number |= quint64(1) << z;
    QByteArray mask(16, '\0');
    for (int i = 0; i < 8; ++i)
        mask[i] = char((number >> (8 * (7 - i))) & 0xFF);
    return mask;
}

std::array<bool, 64> zonesFromMask(const QByteArray &value)
{
    quint64 number = 0;
    for (char byte : value.left(8))
        number = number << 8 | quint8(byte);
    std::array<bool, 64> zones{};
    for (int z = 0; z < 64; ++z)
        zones[size_t(z)] = (number >> z) & 1;
    return zones;
}

bool operator==(const ReaderConfig &a, const ReaderConfig &b)
{
    return a.readMode == b.readMode && a.formats == b.formats && a.conversion == b.conversion
           && a.bitShift == b.bitShift && a.significantBits == b.significantBits && a.wiegandType == b.wiegandType
           && a.widthMode == b.widthMode && a.wiegandWidth == b.wiegandWidth && a.blockNumber == b.blockNumber
           && a.blockOffset == b.blockOffset && a.blockCount == b.blockCount && a.blockKey == b.blockKey
           && a.bankKeyMode == b.bankKeyMode && a.bankKey == b.bankKey && a.bleName == b.bleName
           && a.pulse == b.pulse && a.zones == b.zones && a.ledColours == b.ledColours;
}

// ---- the editor's rules ------------------------------------------------------

quint16 refilledFormats(const std::vector<CardFormat> &entries, ReadMode readMode, ReaderKind reader)
{
    quint16 mask = 0;
    if (readMode == ReadMode::Uid && reader != ReaderKind::Ble)
        for (const CardFormat &f : entries)
            mask |= f.bit;
    else if (readMode == ReadMode::ObjectCode && entries.size() == 2)
        mask = entries[1].bit;
    else if ((readMode == ReadMode::BlockCode || readMode == ReadMode::PassZones) && !entries.empty())
        mask = entries[0].bit;
    return mask;
}

quint16 checkedFormats(const std::vector<CardFormat> &entries, quint16 formats, ReadMode readMode, int clicked,
                       bool pairing)
{
    if (pairing && readMode == ReadMode::ObjectCode && entries.size() == 2 && clicked >= 0 && clicked < 2) {
        const quint16 mine = entries[size_t(clicked)].bit, other = entries[size_t(1 - clicked)].bit;
        formats = (formats & mine) ? quint16((formats & ~other) & 0xFFFF) : quint16(formats | other);
    }
    quint16 offered = 0;
    for (const CardFormat &f : entries)
        offered |= f.bit;
    if (!entries.empty() && !(formats & offered))
        formats |= entries[0].bit;
    return formats;
}

int maxBitsOf(const std::vector<CardFormat> &entries, quint16 formats)
{
    int widest = 0;
    for (const CardFormat &f : entries)
        if (formats & f.bit)
            widest = std::max(widest, f.width);
    return widest == 0 ? 64 : widest;
}

void setWidth(ReaderConfig &c, int value, const RuleContext &r)
{
    value = std::clamp(value, 8, 64);
    if (value == c.wiegandWidth)
        return;
    c.wiegandWidth = value;
    // The width rule.
    if (c.bitShift + c.significantBits > c.wiegandWidth) {
        setShift(c, 0, r);
        setSignificantBits(c, c.wiegandWidth, r);
    }
}

void setShift(ReaderConfig &c, int value, const RuleContext &r)
{
    value = std::clamp(value, 0, shiftMaxOf(r.maxBits));
    if (value == c.bitShift)
        return;
    c.bitShift = value;
    shiftRule(c, r);
}

void shiftRule(ReaderConfig &c, const RuleContext &r)
{
    if (r.loading)
        return;
    if (c.bitShift + c.significantBits > 64 && c.significantBits > 1)
        setSignificantBits(c, c.significantBits - 1, r);
}

void setSignificantBits(ReaderConfig &c, int value, const RuleContext &r)
{
    value = std::clamp(value, 1, std::max(1, r.maxBits));
    if (value == c.significantBits)
        return;
    c.significantBits = value;
    bitsRule(c, r);
}

void bitsRule(ReaderConfig &c, const RuleContext &r)
{
    if (r.loading)
        return;
    const bool overWidth = c.widthMode == WidthMode::User && c.significantBits > c.wiegandWidth;
    if (overWidth || c.bitShift + c.significantBits > 64) {
        if (c.bitShift > 0)
            setShift(c, c.bitShift - 1, r);
        else
            setSignificantBits(c, c.significantBits - 1, r);
    }
}

void setBlockNumber(ReaderConfig &c, int value)
{
    c.blockNumber = std::clamp(value, 0, 255);
}

void setBlockOffset(ReaderConfig &c, int value, const RuleContext &r)
{
    value = std::clamp(value, 0, 15);
    if (value == c.blockOffset)
        return;
    c.blockOffset = value;
    offsetRule(c, r);
}

void offsetRule(ReaderConfig &c, const RuleContext &r)
{
    if (r.loading)
        return;
    if (c.blockOffset + c.blockCount > 16)
        setBlockOffset(c, 16 - c.blockCount, r);
}

void setBlockCount(ReaderConfig &c, int value, const RuleContext &r)
{
    value = std::clamp(value, 1, 8);
    if (value == c.blockCount)
        return;
    c.blockCount = value;
    countRule(c, r);
}

void countRule(ReaderConfig &c, const RuleContext &r)
{
    if (r.loading)
        return;
    if (c.blockOffset + c.blockCount > 16)
        setBlockCount(c, 16 - c.blockOffset, r);
}

void setPulse(ReaderConfig &c, int tenths)
{
    c.pulse = std::clamp(tenths, 3, 300);
}

int pulseTenths(double seconds)
{
    return int(std::nearbyint(seconds * 10)); // halves to even
}

void limitBits(ReaderConfig &c, const RuleContext &r)
{
    setShift(c, c.bitShift, r);
    setSignificantBits(c, c.significantBits, r);
    if (c.bitShift + c.significantBits > r.maxBits) {
        setShift(c, 0, r);
        setSignificantBits(c, r.maxBits, r);
    }
}

QString keyText(const QString &typed)
{
    return upperHexDigitsOnly(typed).left(32);
}

QString bleNameText(const QString &typed)
{
    static const QString extra = QStringLiteral("!#$*-.@");
    QString out;
    for (QChar c : typed) {
        const ushort u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || extra.contains(c))
            out += c;
    }
    return out.left(31);
}

} // namespace limra
