#include "config/editormodel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "link/hextext.h"

namespace limra {

namespace {

// A number item's value; false when a digit is not hex (the editor refuses it).
bool readNumber(const QString &digits, qint64 *out)
{
    for (QChar c : digits)
        if (!std::isxdigit(c.toLatin1()) || c.unicode() > 0x7F)
            return false;
    *out = hexToInt(digits);
    return true;
}

} // namespace

void EditorModel::startUp()
{
    maxBits = 64;
    wiegandType = 0;
    readMode = 0;
    setShift(0);
    setPulse(3);
    setSigbits(64);
    fillFormatList();
    updateWidthLimits();
}

// ---- the spin fields and their rules -------------------------------------

void EditorModel::setWidth(int value)
{
    value = std::clamp(value, 8, 64);
    if (value == width)
        return;
    width = value;
    widthRule();
}

QString EditorModel::widthNoteText() const
{
    return wiegandType == 0 ? QStringLiteral("+ CRC = %1 бит").arg(width + 2) : QStringLiteral("бит");
}

void EditorModel::widthRule()
{
    note = widthNoteText();
    if (shift + significantBits > width) {
        setShift(0);
        setSigbits(width);
    }
}

void EditorModel::setShift(int value)
{
    value = std::clamp(value, 0, shiftMax);
    if (value == shift)
        return;
    shift = value;
    shiftRule();
}

void EditorModel::shiftRule()
{
    if (loading)
        return;
    if (shift + significantBits > 64 && significantBits > 1)
        setSigbits(significantBits - 1);
}

void EditorModel::setSigbits(int value)
{
    value = std::clamp(value, 1, significantBitsMax);
    if (value == significantBits)
        return;
    significantBits = value;
    bitsRule();
}

void EditorModel::bitsRule()
{
    if (loading)
        return;
    if (widthShown && significantBits > width) {
        if (shift > 0)
            setShift(shift - 1);
        else
            setSigbits(significantBits - 1);
        return;
    }
    if (shift + significantBits > 64) {
        if (shift > 0)
            setShift(shift - 1);
        else
            setSigbits(significantBits - 1);
    }
}

void EditorModel::setBlocknum(int value)
{
    blockNumber = std::clamp(value, 0, 255);
}

void EditorModel::setBlockoffset(int value)
{
    value = std::clamp(value, 0, 15);
    if (value == blockOffset)
        return;
    blockOffset = value;
    offsetRule();
}

void EditorModel::offsetRule()
{
    if (loading)
        return;
    if (blockOffset + blockCount > 16)
        setBlockoffset(16 - blockCount);
}

void EditorModel::setBlockcount(int value)
{
    value = std::clamp(value, 1, 8);
    if (value == blockCount)
        return;
    blockCount = value;
    countRule();
}

void EditorModel::countRule()
{
    if (loading)
        return;
    if (blockOffset + blockCount > 16)
        setBlockcount(16 - blockOffset);
}

void EditorModel::setPulse(int tenths)
{
    pulse = std::clamp(tenths, 3, 300);
}

void EditorModel::userSetPulseSeconds(double seconds)
{
    setPulse(int(std::nearbyint(seconds * 10))); // halves to even
}

// ---- lists, panels and limits ---------------------------------------------

void EditorModel::userSetReadMode(int mode)
{
    if (mode < 0 || mode > 3)
        return;
    readMode = mode;
    readModeChanged();
}

void EditorModel::readModeChanged()
{
    fillFormatList();
    blockPanel = readMode == 2;
    zonePanel = readMode == 3;
    keyPanel = readMode == 0 || readMode == 1;
    convGroup = readMode != 3;
    bankPart = readMode == 0 && !bleReader();
    blePart = readMode == 0 && bleReader();
}

void EditorModel::fillFormatList()
{
    formatEntries = offeredFormats(readMode, readerKind(), emMarine);
    formatChecks.assign(formatEntries.size(), false);
    highlightedFormat = -1;
    if (readMode == 0 && !bleReader())
        std::fill(formatChecks.begin(), formatChecks.end(), true);
    else if (readMode == 1 && formatChecks.size() == 2)
        formatChecks[1] = true;
    else if ((readMode == 2 || readMode == 3) && !formatChecks.empty())
        formatChecks[0] = true;
    maxBits = 64;
    limitBits();
}

void EditorModel::userSetFormat(int index, bool checked)
{
    if (index < 0 || index >= int(formatChecks.size()))
        return;
    formatChecks[size_t(index)] = checked;
    formatCheckReaction(index);
}

void EditorModel::formatCheckReaction(int clicked)
{
    if (readMode == 1 && !loading && formatChecks.size() == 2 && clicked >= 0 && clicked < 2)
        formatChecks[size_t(1 - clicked)] = !formatChecks[size_t(clicked)];
    if (!formatChecks.empty() && std::none_of(formatChecks.begin(), formatChecks.end(), [](bool b) { return b; }))
        formatChecks[0] = true;
    maxBits = 1;
    for (size_t i = 0; i < formatEntries.size(); ++i)
        if (formatChecks[i])
            maxBits = std::max(maxBits, formatEntries[i].width);
    updateWidthLimits();
}

void EditorModel::updateWidthLimits()
{
    widthShown = widthMode == 1;
    noteShown = widthMode == 1 && (wiegandType == 0 || wiegandType == 1);
    if (noteShown)
        note = widthNoteText();
    limitBits();
}

// The shift's limit becomes maxBits - 1 and the bit count's maxBits.
void EditorModel::limitBits()
{
    shiftMax = std::max(0, maxBits - 1);
    significantBitsMax = maxBits;
    setShift(shift);
    setSigbits(significantBits);
    if (shift + significantBits > maxBits) {
        setShift(0);
        setSigbits(maxBits);
    }
}

void EditorModel::userSetWgType(int type)
{
    wiegandType = type;
    updateWidthLimits();
}

void EditorModel::userSetWidthMode(int mode)
{
    widthMode = mode;
    updateWidthLimits();
}

void EditorModel::userSetHash(bool on)
{
    if (on == hash)
        return;
    hash = on;
    applyHashRule();
}

void EditorModel::userSetReversed(bool on)
{
    reversed = on;
}

void EditorModel::applyHashRule()
{
    if (hash)
        reversed = false;
    reversedEnabled = !hash;
    bitsEnabled = !hash;
}

void EditorModel::userSetBankKeyMode(BankKeyMode mode)
{
    bankKeyMode = mode;
}

QString EditorModel::keyText(const QString &typed)
{
    return upperHexDigitsOnly(typed).left(32);
}

QString EditorModel::bleNameText(const QString &typed)
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

void EditorModel::userSetBlockKey(const QString &text)
{
    blockKey = keyText(text);
}

void EditorModel::userSetBankKey(const QString &text)
{
    bankKey = keyText(text);
}

void EditorModel::userSetBleName(const QString &text)
{
    bleName = bleNameText(text);
}

int EditorModel::checkedFormats() const
{
    int mask = 0;
    for (size_t i = 0; i < formatEntries.size(); ++i)
        if (formatChecks[i])
            mask |= formatEntries[i].bit;
    return mask;
}

void EditorModel::setColour(int index, const QColor &colour)
{
    colours[size_t(index)] = colour;
    captionContrast[size_t(index)] = true;
}

// ---- record and wire form --------------------------------------------------

ReaderConfig EditorModel::record() const
{
    ReaderConfig c;
    c.readMode = readMode;
    c.formats = quint16(checkedFormats());
    c.conversion = hash ? 2 : reversed ? 1 : 0;
    c.bitShift = shift;
    c.significantBits = significantBits;
    c.wiegandType = wiegandType;
    c.wiegandWidth = widthMode == 1 ? width : 0;
    c.blockNumber = blockNumber;
    c.blockOffset = blockOffset;
    c.blockCount = blockCount;
    c.blockKey = blockKey;
    c.bankKeyMode = bankKeyMode;
    c.bankKey = bankKey;
    c.bleName = bleName;
    c.pulse = pulse;
    c.zones = zones;
    c.ledColours = colours;
    return c;
}

QString EditorModel::stateText() const
{
    ReaderConfig file = record();
    ReaderConfig ble = record();
    return buildConfig(file, Producer::File, ReaderKind::Usb) + QLatin1Char('|')
           + buildConfig(ble, Producer::Reader, ReaderKind::Ble);
}

QString EditorModel::buildItems(Producer producer)
{
    ReaderConfig c = record();
    const QString items = buildConfig(c, producer, readerKind());
    blockKey = c.blockKey;
    bankKey = c.bankKey;
    return items;
}

bool EditorModel::applyConfig(const ConfigTable &t, ConfigSource source)
{
    auto slot = [&t](int tag) -> const QString & { return t[size_t(tag)]; };
    const bool fromReader = source == ConfigSource::Reader;
    struct LoadingGuard {
        bool &flag;
        ~LoadingGuard() { flag = false; }
    } guard{loading};
    loading = true;
    qint64 n = 0;

    if (fromReader)
        emMarine = slot(0x14) == QLatin1String("01");

    if (!readNumber(slot(0x06), &n))
        return false;
    readMode = n >= 0 && n <= 3 ? int(n) : 0; // an unknown read mode is shown as the plain one
    readModeChanged();

    if (fromReader)
        readModeEnabled = !bleReader();

    if (!readNumber(swapBytes(slot(0x02)), &n))
        return false;
    for (size_t i = 0; i < formatEntries.size(); ++i)
        formatChecks[i] = (n & formatEntries[i].bit) != 0;
    formatCheckReaction(-1);

    const QString conv = slot(0x03);
    if (conv.left(2) == QLatin1String("02")) {
        userSetHash(true);
    } else {
        qint64 b2 = 0, b3 = 0;
        if (!readNumber(conv.mid(2, 2), &b2) || !readNumber(conv.mid(4, 2), &b3))
            return false;
        userSetHash(false);
        reversed = conv.left(2) == QLatin1String("01");
        setShift(int(b2));
        setSigbits(b3 == 0 ? maxBits : int(b3));
    }

    if (!slot(0x08).isEmpty()) {
        if (!readNumber(swapBytes(slot(0x08)), &n))
            return false;
        if (readMode == 3)
            setPulse(int(n));
        else
            setBlocknum(int(n));
    }
    if (!slot(0x09).isEmpty()) {
        if (!readNumber(slot(0x09), &n))
            return false;
        setBlockoffset(int(n));
    }
    if (!slot(0x0A).isEmpty()) {
        if (!readNumber(slot(0x0A), &n))
            return false;
        setBlockcount(int(n));
    }

    const QString key = slot(0x0B);
    if (!key.isEmpty()) {
        if (readMode == 3) {
            decodeZoneMask(key, zones);
        } else if (readMode == 0 && (source == ConfigSource::Reader || source == ConfigSource::File)) {
            if (key == defaultBankKey()) {
                bankKeyMode = BankKeyMode::Default;
            } else {
                bankKeyMode = BankKeyMode::User;
                bankKey = keyText(key); // a key is 16 bytes, whatever the item held
            }
        } else {
            blockKey = keyText(key);
        }
    } else if (fromReader) {
        bankKey.clear();
    }

    if (fromReader) {
        const QString name = slot(0x20);
        QString text;
        if (name.size() >= 4)
            for (int i = 0; i + 2 < name.size(); i += 2)
                text += QChar(int(hexToInt(name.mid(i, 2)) & 0xFF));
        bleName = bleNameText(text); // at most 31 characters of the allowed set

    }

    if (!readNumber(slot(0x04), &n) || n < 0 || n > 1)
        return false;
    wiegandType = int(n);
    updateWidthLimits();

    if (slot(0x05) == QLatin1String("00")) {
        widthMode = 0;
    } else {
        if (!readNumber(slot(0x05), &n))
            return false;
        widthMode = 1;
        setWidth(int(std::min<qint64>(n, 64)));
    }
    updateWidthLimits();

    const QString leds = slot(0x0C);
    if (leds.size() == 16)
        for (int i = 0; i < 4; ++i)
            setColour(i, colourFromCode(leds.mid(4 * i, 4)));

    loading = false;
    shiftRule();
    bitsRule();
    if (readMode == 2) {
        offsetRule();
        countRule();
    }
    applyHashRule();
    return true;
}

} // namespace limra
