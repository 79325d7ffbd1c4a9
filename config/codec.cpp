#include "config/codec.h"

#include <algorithm>

#include "link/hextext.h"

namespace limra {

namespace {

// A number item's value: its first 8 bytes, most significant first.
qint64 bigEndian(const QByteArray &value)
{
    quint64 n = 0;
    for (char byte : value.left(8))
        n = n << 8 | quint8(byte);
    return qint64(n);
}

// A number item written least significant byte first: its last 8 bytes.
qint64 littleEndian(const QByteArray &value)
{
    QByteArray reversed = value;
    std::reverse(reversed.begin(), reversed.end());
    return bigEndian(reversed);
}

QByteArray byte(int value)
{
    return QByteArray(1, char(value & 0xFF));
}

QByteArray le16(int value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(value & 0xFF);
    bytes[1] = char((value >> 8) & 0xFF);
    return bytes;
}

// A key of the editor (hex digits) as the 16 bytes written.
QByteArray keyBytes(const QString &key)
{
    return hexToBytes(key.rightJustified(32, QLatin1Char('0')));
}

} // namespace

ConfigItems encodeConfig(const ReaderConfig &c, ConfigPlace place, ReaderKind reader)
{
    const bool bleReaderWrite = place == ConfigPlace::Reader && reader == ReaderKind::Ble;
    ConfigItems out;
    out.set(0x02, le16(c.formats));
    if (c.readMode == ReadMode::PassZones && place != ConfigPlace::MasterCards)
        out.set(0x03, QByteArray::fromRawData("\x00\x00\x40", 3));
    else
        out.set(0x03, byte(c.conversion == 2 ? 2 : c.conversion == 1 ? 1 : 0) + byte(c.bitShift) + byte(c.significantBits));
    out.set(tag::ReadMode, byte(int(c.readMode)));
    if (c.readMode == ReadMode::BlockCode) {
        out.set(0x08, le16(c.blockNumber));
        out.set(0x09, byte(c.blockOffset));
        out.set(0x0A, byte(c.blockCount));
        out.set(tag::Key, keyBytes(c.blockKey));
    }
    if (c.readMode == ReadMode::Uid) {
        if (bleReaderWrite) {
            if (!c.bleName.isEmpty()) {
                QByteArray name;
                for (QChar ch : c.bleName)
                    name += char(ch.unicode() & 0xFF);
                out.set(0x20, name + '\0');
            }
        } else {
            out.set(tag::Key, c.bankKeyMode == BankKeyMode::Default ? hexToBytes(defaultBankKey()) : keyBytes(c.bankKey));
        }
    }
    if (c.readMode == ReadMode::PassZones) {
        out.set(0x08, le16(c.pulse));
        out.set(tag::Key, zoneMask(c.zones));
    }
    out.set(0x04, byte(c.wiegandType));
    out.set(0x05, byte(c.wireWidth()));
    if (!bleReaderWrite) {
        QByteArray leds;
        for (const QColor &colour : c.ledColours)
            leds += le16(colourCode(colour));
        out.set(0x0C, leds);
    }
    return out;
}

QList<int> missingConfigItems(const ConfigItems &items)
{
    // Every producer writes these, with these lengths in bytes: the formats,
    // the conversion, the read mode, the Wiegand type and width.
    static const std::pair<int, int> kCarried[] = {{0x02, 2}, {0x03, 3}, {tag::ReadMode, 1}, {0x04, 1}, {0x05, 1}};
    QList<int> missing;
    for (const auto &[item, bytes] : kCarried)
        if (items.value(quint8(item)).size() < bytes)
            missing << item;
    return missing;
}

// The items are put in one by one, in a fixed order, with the field rules held
// back; at the end the rules bring the limits into line once.
DecodeResult decodeConfig(const ConfigItems &items, const ReaderConfig &base, const DecodeContext &ctx)
{
    const QList<int> missing = missingConfigItems(items);
    if (!missing.isEmpty())
        return unexpected(ConfigDecodeError{ConfigDecodeError::Kind::MissingItems, missing});
    auto slot = [&items](int tag) { return items.value(quint8(tag)); };
    const bool fromReader = ctx.source == ConfigPlace::Reader;
    ReaderConfig c = base;
    bool emMarine = ctx.emMarine;
    RuleContext r;
    r.loading = true;

    if (fromReader)
        emMarine = slot(0x14) == QByteArray(1, '\x01');

    // The read mode, and the format list refilled for it; an unknown read
    // mode is taken as the plain one.
    c.readMode = readModeFrom(int(std::clamp<qint64>(bigEndian(slot(tag::ReadMode)), -1, kReadModeCount)))
                     .value_or(ReadMode::Uid);
    const std::vector<CardFormat> entries = offeredFormats(c.readMode, ctx.reader, emMarine);
    c.formats = refilledFormats(entries, c.readMode, ctx.reader);
    r.maxBits = 64;
    limitBits(c, r);

    // The formats: bits of entries not offered are dropped.
    const qint64 offered = littleEndian(slot(0x02));
    quint16 mask = 0;
    for (const CardFormat &f : entries)
        if (offered & f.bit)
            mask |= f.bit;
    c.formats = checkedFormats(entries, mask, c.readMode, -1, false);
    r.maxBits = maxBitsOf(entries, c.formats);
    limitBits(c, r);

    // The conversion; with the hash the shift and bit count stay.
    const QByteArray conv = slot(0x03);
    if (quint8(conv.at(0)) == 2) {
        c.conversion = 2;
    } else {
        const int shift = quint8(conv.at(1)), bits = quint8(conv.at(2));
        c.conversion = quint8(conv.at(0)) == 1 ? 1 : 0;
        setShift(c, shift, r);
        setSignificantBits(c, bits == 0 ? r.maxBits : bits, r);
    }

    if (!slot(0x08).isEmpty()) {
        const int n = int(littleEndian(slot(0x08)));
        if (c.readMode == ReadMode::PassZones)
            setPulse(c, n);
        else
            setBlockNumber(c, n);
    }
    if (!slot(0x09).isEmpty())
        setBlockOffset(c, int(bigEndian(slot(0x09))), r);
    if (!slot(0x0A).isEmpty())
        setBlockCount(c, int(bigEndian(slot(0x0A))), r);

    // The key item: the zones, the bank key or the block key.
    const QByteArray key = slot(tag::Key);
    if (!key.isEmpty()) {
        // The editor's key fields hold hex digits.
        const QString keyDigits = bytesToHex(key);
        if (c.readMode == ReadMode::PassZones) {
            c.zones = zonesFromMask(key);
        } else if (c.readMode == ReadMode::Uid && (fromReader || ctx.source == ConfigPlace::File)) {
            if (keyDigits == defaultBankKey()) {
                c.bankKeyMode = BankKeyMode::Default;
            } else {
                c.bankKeyMode = BankKeyMode::User;
                c.bankKey = keyText(keyDigits); // a key is 16 bytes, whatever the item held
            }
        } else {
            c.blockKey = keyText(keyDigits);
        }
    } else if (fromReader) {
        c.bankKey.clear();
    }

    if (fromReader) {
        // The name, ended by a zero byte.
        const QByteArray name = slot(0x20);
        QString text;
        if (name.size() >= 2)
            for (char ch : name.chopped(1))
                text += QChar(quint8(ch));
        c.bleName = bleNameText(text); // at most 31 characters of the allowed set
    }

    const qint64 wiegandType = bigEndian(slot(0x04));
    if (wiegandType < 0 || wiegandType > 1)
        return unexpected(ConfigDecodeError{ConfigDecodeError::Kind::RefusedValue, {}});
    c.wiegandType = int(wiegandType);
    limitBits(c, r);

    if (slot(0x05) == QByteArray(1, '\0')) {
        c.widthMode = WidthMode::Automatic;
    } else {
        c.widthMode = WidthMode::User;
        setWidth(c, int(std::min<qint64>(bigEndian(slot(0x05)), 64)), r);
    }
    limitBits(c, r);

    const QByteArray leds = slot(0x0C);
    if (leds.size() == 8)
        for (int i = 0; i < 4; ++i)
            c.ledColours[size_t(i)] = colourFromCode(quint16(quint8(leds.at(2 * i)) | quint8(leds.at(2 * i + 1)) << 8));

    r.loading = false;
    shiftRule(c, r);
    bitsRule(c, r);
    if (c.readMode == ReadMode::BlockCode) {
        offsetRule(c, r);
        countRule(c, r);
    }
    return DecodedConfig{c, emMarine};
}

} // namespace limra
