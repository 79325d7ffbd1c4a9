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
    *out = hextoint(digits);
    return true;
}

} // namespace

void EditorModel::startUp()
{
    maxbits = 64;
    wgtype = 0;
    readmode = 0;
    setShift(0);
    setPulse(3);
    setSigbits(64);
    FillCardFormat();
    FillRazr();
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

void EditorModel::widthRule()
{
    note = wgtype == 0 ? QStringLiteral("+ CRC = %1 бит").arg(width + 2) : QStringLiteral("бит");
    if (shift + sigbits > width) {
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
    if (shift + sigbits > 64 && sigbits > 1)
        setSigbits(sigbits - 1);
}

void EditorModel::setSigbits(int value)
{
    value = std::clamp(value, 1, sigbitsMax);
    if (value == sigbits)
        return;
    sigbits = value;
    bitsRule();
}

void EditorModel::bitsRule()
{
    if (loading)
        return;
    if (widthShown && sigbits > width) {
        if (shift > 0)
            setShift(shift - 1);
        else
            setSigbits(sigbits - 1);
        return;
    }
    if (shift + sigbits > 64) {
        if (shift > 0)
            setShift(shift - 1);
        else
            setSigbits(sigbits - 1);
    }
}

void EditorModel::setBlocknum(int value)
{
    blocknum = std::clamp(value, 0, 255);
}

void EditorModel::setBlockoffset(int value)
{
    value = std::clamp(value, 0, 15);
    if (value == blockoffset)
        return;
    blockoffset = value;
    offsetRule();
}

void EditorModel::offsetRule()
{
    if (loading)
        return;
    if (blockoffset + blockcount > 16)
        setBlockoffset(16 - blockcount);
}

void EditorModel::setBlockcount(int value)
{
    value = std::clamp(value, 1, 8);
    if (value == blockcount)
        return;
    blockcount = value;
    countRule();
}

void EditorModel::countRule()
{
    if (loading)
        return;
    if (blockoffset + blockcount > 16)
        setBlockcount(16 - blockoffset);
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
    readmode = mode;
    readModeChanged();
}

void EditorModel::readModeChanged()
{
    FillCardFormat();
    blockPanel = readmode == 2;
    zonePanel = readmode == 3;
    keyPanel = readmode == 0 || readmode == 1;
    convGroup = readmode != 3;
    bankPart = readmode == 0 && !blereader;
    blePart = readmode == 0 && blereader;
}

void EditorModel::FillCardFormat()
{
    formatEntries = offeredFormats(readmode, blereader, emmarine);
    formatChecks.assign(formatEntries.size(), false);
    if (readmode == 0 && !blereader)
        std::fill(formatChecks.begin(), formatChecks.end(), true);
    else if (readmode == 1 && formatChecks.size() == 2)
        formatChecks[1] = true;
    else if ((readmode == 2 || readmode == 3) && !formatChecks.empty())
        formatChecks[0] = true;
    maxbits = 64;
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
    if (readmode == 1 && !loading && formatChecks.size() == 2 && clicked >= 0 && clicked < 2)
        formatChecks[size_t(1 - clicked)] = !formatChecks[size_t(clicked)];
    if (!formatChecks.empty() && std::none_of(formatChecks.begin(), formatChecks.end(), [](bool b) { return b; }))
        formatChecks[0] = true;
    maxbits = 1;
    for (size_t i = 0; i < formatEntries.size(); ++i)
        if (formatChecks[i])
            maxbits = std::max(maxbits, formatEntries[i].width);
    FillRazr();
}

void EditorModel::FillRazr()
{
    widthShown = widthMode == 1;
    noteShown = widthMode == 1 && (wgtype == 0 || wgtype == 1);
    if (noteShown)
        note = wgtype == 0 ? QStringLiteral("+ CRC = %1 бит").arg(width + 2) : QStringLiteral("бит");
    limitBits();
}

// The shift's limit becomes maxbits - 1 and the bit count's maxbits.
void EditorModel::limitBits()
{
    shiftMax = std::max(0, maxbits - 1);
    sigbitsMax = maxbits;
    setShift(shift);
    setSigbits(sigbits);
    if (shift + sigbits > maxbits) {
        setShift(0);
        setSigbits(maxbits);
    }
}

void EditorModel::userSetWgType(int type)
{
    wgtype = type;
    FillRazr();
}

void EditorModel::userSetWidthMode(int mode)
{
    widthMode = mode;
    FillRazr();
}

void EditorModel::userSetHash(bool on)
{
    if (on == hash)
        return;
    hash = on;
    crccheckboxupdate();
}

void EditorModel::userSetReversed(bool on)
{
    reversed = on;
}

void EditorModel::crccheckboxupdate()
{
    if (hash)
        reversed = false;
    reversedEnabled = !hash;
    bitsEnabled = !hash;
}

void EditorModel::userSetBankKeyMode(BankKeyMode mode)
{
    bankkeymode = mode;
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
    blockkey = keyText(text);
}

void EditorModel::userSetBankKey(const QString &text)
{
    bankkey = keyText(text);
}

void EditorModel::userSetBleName(const QString &text)
{
    blename = bleNameText(text);
}

int EditorModel::checkedFormats() const
{
    int mask = 0;
    for (size_t i = 0; i < formatEntries.size(); ++i)
        if (formatChecks[i])
            mask |= formatEntries[i].bit;
    return mask;
}

// ---- record and wire form --------------------------------------------------

TReaderConfig EditorModel::record() const
{
    TReaderConfig c;
    c.readmode = readmode;
    c.formats = quint16(checkedFormats());
    c.convmode = hash ? 2 : reversed ? 1 : 0;
    c.bitshift = shift;
    c.sigbits = sigbits;
    c.wgtype = wgtype;
    c.wgwidth = widthMode == 1 ? width : 0;
    c.blocknum = blocknum;
    c.blockoffset = blockoffset;
    c.blockcount = blockcount;
    c.blockkey = blockkey;
    c.bankkeymode = bankkeymode;
    c.bankkey = bankkey;
    c.blename = blename;
    c.pulse = pulse;
    c.zones = zones;
    c.ledcolors = colours;
    return c;
}

QString EditorModel::buildItems(Producer producer)
{
    TReaderConfig c = record();
    const QString items = BuildConfig(c, producer, blereader);
    blockkey = c.blockkey;
    bankkey = c.bankkey;
    return items;
}

bool EditorModel::ApplyConfig(const ConfigTable &t, ConfigSource source)
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
        emmarine = slot(0x14) == QLatin1String("01");

    if (!readNumber(slot(0x06), &n))
        return false;
    readmode = n >= 0 && n <= 3 ? int(n) : 0; // an unknown read mode is shown as the plain one
    readModeChanged();

    if (fromReader)
        readModeEnabled = !blereader;

    if (!readNumber(swapbytes(slot(0x02)), &n))
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
        setSigbits(b3 == 0 ? maxbits : int(b3));
    }

    if (!slot(0x08).isEmpty()) {
        if (!readNumber(swapbytes(slot(0x08)), &n))
            return false;
        if (readmode == 3)
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
        if (readmode == 3) {
            decodeZoneMask(key, zones);
        } else if (readmode == 0 && (source == ConfigSource::Reader || source == ConfigSource::File)) {
            if (key == defaultBankKey()) {
                bankkeymode = BankKeyMode::Default;
            } else {
                bankkeymode = BankKeyMode::User;
                bankkey = key;
            }
        } else {
            blockkey = key;
        }
    } else if (fromReader) {
        bankkey.clear();
    }

    if (fromReader) {
        const QString name = slot(0x20);
        blename.clear();
        if (name.size() >= 4)
            for (int i = 0; i + 2 < name.size(); i += 2)
                blename += QChar(int(hextoint(name.mid(i, 2)) & 0xFF));
    }

    if (!readNumber(slot(0x04), &n) || n < 0 || n > 1)
        return false;
    wgtype = int(n);
    FillRazr();

    if (slot(0x05) == QLatin1String("00")) {
        widthMode = 0;
    } else {
        if (!readNumber(slot(0x05), &n))
            return false;
        widthMode = 1;
        setWidth(int(std::min<qint64>(n, 64)));
    }
    FillRazr();

    const QString leds = slot(0x0C);
    if (leds.size() == 16)
        for (int i = 0; i < 4; ++i)
            colours[size_t(i)] = colourFromCode(leds.mid(4 * i, 4));

    loading = false;
    shiftRule();
    bitsRule();
    if (readmode == 2) {
        offsetRule();
        countRule();
    }
    crccheckboxupdate();
    return true;
}

} // namespace limra
