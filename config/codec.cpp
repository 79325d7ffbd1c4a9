#include "config/codec.h"

#include <cctype>

#include "link/hextext.h"

namespace limra {

namespace {

// A number item's value; false when a digit is not hex (the editor refuses it).
bool readNumber(const QString &digits, qint64 *out)
{
    for (QChar c : digits)
        if (c.unicode() > 0x7F || !std::isxdigit(c.toLatin1()))
            return false;
    *out = hexToInt(digits);
    return true;
}

QString le16(int value)
{
    return swapBytes(hexDigits(quint64(value) & 0xFFFF, 4));
}

QString padded(const QString &key)
{
    return key.rightJustified(32, QLatin1Char('0'));
}

} // namespace

QString encodeConfig(const ReaderConfig &c, Producer producer, ReaderKind reader)
{
    const bool bleReaderWrite = producer == Producer::Reader && reader == ReaderKind::Ble;
    QString out = QStringLiteral("0202") + le16(c.formats);
    if (c.readMode == 3 && producer != Producer::MasterCards)
        out += QStringLiteral("0303000040");
    else
        out += QStringLiteral("0303") + hexByte(c.conversion == 2 ? 2 : c.conversion == 1 ? 1 : 0) + hexByte(c.bitShift)
               + hexByte(c.significantBits);
    out += QStringLiteral("0601") + hexByte(c.readMode);
    if (c.readMode == 2)
        out += QStringLiteral("0802") + le16(c.blockNumber) + QStringLiteral("0901") + hexByte(c.blockOffset)
               + QStringLiteral("0A01") + hexByte(c.blockCount) + QStringLiteral("0B10") + padded(c.blockKey);
    if (c.readMode == 0) {
        if (bleReaderWrite) {
            if (!c.bleName.isEmpty()) {
                out += QStringLiteral("20") + hexByte(int(c.bleName.size()) + 1);
                for (QChar ch : c.bleName)
                    out += hexByte(ch.unicode());
                out += QStringLiteral("00");
            }
        } else {
            out += QStringLiteral("0B10")
                   + (c.bankKeyMode == BankKeyMode::Default ? defaultBankKey() : padded(c.bankKey));
        }
    }
    if (c.readMode == 3)
        out += QStringLiteral("0802") + le16(c.pulse) + QStringLiteral("0B10") + zoneMask(c.zones);
    out += QStringLiteral("0401") + hexByte(c.wiegandType);
    out += QStringLiteral("0501") + hexByte(c.wireWidth());
    if (!bleReaderWrite) {
        out += QStringLiteral("0C08");
        for (const QColor &colour : c.ledColours)
            out += colourCode(colour);
    }
    return out;
}

QList<int> missingConfigItems(const ConfigTable &t)
{
    // Every producer writes these, with these lengths in bytes: the formats,
    // the conversion, the read mode, the Wiegand type and width.
    static const std::pair<int, int> kCarried[] = {{0x02, 2}, {0x03, 3}, {tag::ReadMode, 1}, {0x04, 1}, {0x05, 1}};
    QList<int> missing;
    for (const auto &[item, bytes] : kCarried)
        if (t[size_t(item)].size() < 2 * bytes)
            missing << item;
    return missing;
}

DecodeResult decodeConfig(const QString &items, const ReaderConfig &base, const DecodeContext &ctx)
{
    return decodeConfig(parseConfig(items), base, ctx);
}

// The items are put in one by one, in a fixed order, with the field rules held
// back; at the end the rules bring the limits into line once.
DecodeResult decodeConfig(const ConfigTable &t, const ReaderConfig &base, const DecodeContext &ctx)
{
    const QList<int> missing = missingConfigItems(t);
    if (!missing.isEmpty())
        return ConfigDecodeError{ConfigDecodeError::Kind::MissingItems, missing};
    const ConfigDecodeError refused{ConfigDecodeError::Kind::RefusedValue, {}};
    auto slot = [&t](int tag) -> const QString & { return t[size_t(tag)]; };
    const bool fromReader = ctx.source == ConfigSource::Reader;
    ReaderConfig c = base;
    bool emMarine = ctx.emMarine;
    RuleContext r;
    r.loading = true;
    qint64 n = 0;

    if (fromReader)
        emMarine = slot(0x14) == QLatin1String("01");

    // The read mode, and the format list refilled for it.
    if (!readNumber(slot(0x06), &n))
        return refused;
    c.readMode = n >= 0 && n <= 3 ? int(n) : 0; // an unknown read mode is taken as the plain one
    const std::vector<CardFormat> entries = offeredFormats(c.readMode, ctx.reader, emMarine);
    c.formats = refilledFormats(entries, c.readMode, ctx.reader);
    r.maxBits = 64;
    limitBits(c, r);

    // The formats: bits of entries not offered are dropped.
    if (!readNumber(swapBytes(slot(0x02)), &n))
        return refused;
    quint16 mask = 0;
    for (const CardFormat &f : entries)
        if (n & f.bit)
            mask |= f.bit;
    c.formats = checkedFormats(entries, mask, c.readMode, -1, false);
    r.maxBits = maxBitsOf(entries, c.formats);
    limitBits(c, r);

    // The conversion; with the hash the shift and bit count stay.
    const QString conv = slot(0x03);
    if (conv.left(2) == QLatin1String("02")) {
        c.conversion = 2;
    } else {
        qint64 b2 = 0, b3 = 0;
        if (!readNumber(conv.mid(2, 2), &b2) || !readNumber(conv.mid(4, 2), &b3))
            return refused;
        c.conversion = conv.left(2) == QLatin1String("01") ? 1 : 0;
        setShift(c, int(b2), r);
        setSignificantBits(c, b3 == 0 ? r.maxBits : int(b3), r);
    }

    if (!slot(0x08).isEmpty()) {
        if (!readNumber(swapBytes(slot(0x08)), &n))
            return refused;
        if (c.readMode == 3)
            setPulse(c, int(n));
        else
            setBlockNumber(c, int(n));
    }
    if (!slot(0x09).isEmpty()) {
        if (!readNumber(slot(0x09), &n))
            return refused;
        setBlockOffset(c, int(n), r);
    }
    if (!slot(0x0A).isEmpty()) {
        if (!readNumber(slot(0x0A), &n))
            return refused;
        setBlockCount(c, int(n), r);
    }

    // Item 0B: the zones, the bank key or the block key.
    const QString key = slot(0x0B);
    if (!key.isEmpty()) {
        if (c.readMode == 3) {
            decodeZoneMask(key, c.zones);
        } else if (c.readMode == 0 && (fromReader || ctx.source == ConfigSource::File)) {
            if (key == defaultBankKey()) {
                c.bankKeyMode = BankKeyMode::Default;
            } else {
                c.bankKeyMode = BankKeyMode::User;
                c.bankKey = keyText(key); // a key is 16 bytes, whatever the item held
            }
        } else {
            c.blockKey = keyText(key);
        }
    } else if (fromReader) {
        c.bankKey.clear();
    }

    if (fromReader) {
        const QString name = slot(0x20);
        QString text;
        if (name.size() >= 4)
            for (int i = 0; i + 2 < name.size(); i += 2)
                text += QChar(int(hexToInt(name.mid(i, 2)) & 0xFF));
        c.bleName = bleNameText(text); // at most 31 characters of the allowed set
    }

    if (!readNumber(slot(0x04), &n) || n < 0 || n > 1)
        return refused;
    c.wiegandType = int(n);
    limitBits(c, r);

    if (slot(0x05) == QLatin1String("00")) {
        c.widthMode = WidthMode::Automatic;
    } else {
        if (!readNumber(slot(0x05), &n))
            return refused;
        c.widthMode = WidthMode::User;
        setWidth(c, int(std::min<qint64>(n, 64)), r);
    }
    limitBits(c, r);

    const QString leds = slot(0x0C);
    if (leds.size() == 16)
        for (int i = 0; i < 4; ++i)
            c.ledColours[size_t(i)] = colourFromCode(leds.mid(4 * i, 4));

    r.loading = false;
    shiftRule(c, r);
    bitsRule(c, r);
    if (c.readMode == 2) {
        offsetRule(c, r);
        countRule(c, r);
    }
    return DecodedConfig{c, emMarine};
}

} // namespace limra
