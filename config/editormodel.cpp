#include "config/editormodel.h"

#include <algorithm>

namespace limra {

EditorModel::EditorModel()
{
    m_view.formatEntries = offeredFormats(m_config.readMode, ReaderKind::Usb, m_emMarine);
}

void EditorModel::startUp()
{
    m_config.wiegandType = 0;
    m_config.readMode = ReadMode::Uid;
    setShift(0);
    setPulse(3);
    setSigbits(64);
    fillFormatList();
    limitBits(m_config, rules());
}

// ---- the spin fields -------------------------------------------------------

void EditorModel::setWidth(int value)
{
    limra::setWidth(m_config, value, rules());
}

void EditorModel::setShift(int value)
{
    limra::setShift(m_config, value, rules());
}

void EditorModel::setSigbits(int value)
{
    setSignificantBits(m_config, value, rules());
}

void EditorModel::setBlocknum(int value)
{
    setBlockNumber(m_config, value);
}

void EditorModel::setBlockoffset(int value)
{
    setBlockOffset(m_config, value, rules());
}

void EditorModel::setBlockcount(int value)
{
    setBlockCount(m_config, value, rules());
}

void EditorModel::setPulse(int tenths)
{
    limra::setPulse(m_config, tenths);
}

void EditorModel::userSetPulseSeconds(double seconds)
{
    setPulse(pulseTenths(seconds));
}

// ---- lists, panels and limits ---------------------------------------------

void EditorModel::userSetReadMode(ReadMode mode)
{
    m_config.readMode = mode;
    readModeChanged();
}

void EditorModel::readModeChanged()
{
    fillFormatList();
    showPanels();
}

void EditorModel::showPanels()
{
    const ReadMode mode = m_config.readMode;
    m_view.blockPanel = mode == ReadMode::BlockCode;
    m_view.zonePanel = mode == ReadMode::PassZones;
    m_view.keyPanel = mode == ReadMode::Uid || mode == ReadMode::ObjectCode;
    m_view.convGroup = mode != ReadMode::PassZones;
    m_view.bankPart = mode == ReadMode::Uid && !bleReader();
    m_view.blePart = mode == ReadMode::Uid && bleReader();
}

void EditorModel::fillFormatList()
{
    m_view.formatEntries = offeredFormats(m_config.readMode, readerKind(), m_emMarine);
    m_view.highlightedFormat = -1;
    m_config.formats = refilledFormats(m_view.formatEntries, m_config.readMode, readerKind());
    limitBits(m_config, RuleContext{64, false});
}

std::vector<bool> EditorModel::formatChecks() const
{
    std::vector<bool> checks;
    for (const CardFormat &f : m_view.formatEntries)
        checks.push_back((m_config.formats & f.bit) != 0);
    return checks;
}

void EditorModel::userSetFormat(int index, bool checked)
{
    if (index < 0 || index >= int(m_view.formatEntries.size()))
        return;
    const quint16 bit = m_view.formatEntries[size_t(index)].bit;
    m_config.formats = checked ? quint16(m_config.formats | bit) : quint16(m_config.formats & ~bit);
    formatCheckReaction(index);
}

void EditorModel::formatCheckReaction(int clicked)
{
    m_config.formats = checkedFormats(m_view.formatEntries, m_config.formats, m_config.readMode, clicked, true);
    limitBits(m_config, rules());
}

void EditorModel::userHighlightFormat(int index)
{
    m_view.highlightedFormat = index >= 0 && index < int(m_view.formatEntries.size()) ? index : -1;
}

void EditorModel::userSetWgType(int type)
{
    m_config.wiegandType = type;
    limitBits(m_config, rules());
}

void EditorModel::userSetWidthMode(int mode)
{
    m_config.widthMode = mode == 1 ? WidthMode::User : WidthMode::Automatic;
    limitBits(m_config, rules());
}

QString EditorModel::note() const
{
    return m_config.wiegandType == 0 ? QStringLiteral("+ CRC = %1 бит").arg(m_config.wiegandWidth + 2)
                                     : QStringLiteral("бит");
}

void EditorModel::userSetHash(bool on)
{
    if (on)
        m_config.conversion = 2;
    else if (m_config.conversion == 2)
        m_config.conversion = 0; // the byte order was unchecked when the hash came on
}

void EditorModel::userSetReversed(bool on)
{
    if (conversionEditable(m_config))
        m_config.conversion = on ? 1 : 0;
}

void EditorModel::userSetBankKeyMode(BankKeyMode mode)
{
    m_config.bankKeyMode = mode;
}

void EditorModel::userSetBlockKey(const QString &text)
{
    m_config.blockKey = keyText(text);
}

void EditorModel::userSetBankKey(const QString &text)
{
    m_config.bankKey = keyText(text);
}

void EditorModel::userSetBleName(const QString &text)
{
    m_config.bleName = bleNameText(text);
}

void EditorModel::userSetZones(const std::array<bool, 64> &zones)
{
    m_config.zones = zones;
}

void EditorModel::setColour(int index, const QColor &colour)
{
    m_config.ledColours[size_t(index)] = colour;
    m_view.captionContrast[size_t(index)] = true;
}

QColor EditorModel::ledCaption(int index) const
{
    return m_view.captionContrast[size_t(index)] ? captionColour(m_config.ledColours[size_t(index)])
                                                 : QColor(Qt::black);
}

// ---- wire form -------------------------------------------------------------

QByteArray EditorModel::state() const
{
    const QByteArray file = encodeConfig(m_config, ConfigPlace::File, ReaderKind::Usb).toBytes();
    return QByteArray::number(file.size()) + '|' + file + encodeConfig(m_config, ConfigPlace::Reader, ReaderKind::Ble).toBytes();
}

void EditorModel::padBlockKey()
{
    m_config.blockKey = m_config.blockKey.rightJustified(32, QLatin1Char('0'));
}

ConfigItems EditorModel::buildItems(ConfigPlace place)
{
    padBlockKey();
    const bool bankKeyEncoded = m_config.readMode == ReadMode::Uid && m_config.bankKeyMode == BankKeyMode::User
                                && !(place == ConfigPlace::Reader && bleReader());
    if (bankKeyEncoded)
        m_config.bankKey = m_config.bankKey.rightJustified(32, QLatin1Char('0'));
    return encodeConfig(m_config, place, readerKind());
}

DecodeContext EditorModel::decodeContext(ConfigPlace source) const
{
    return DecodeContext{source, readerKind(), m_emMarine};
}

EditorModel::Applied EditorModel::applyConfig(const ConfigItems &items, ConfigPlace source)
{
    const DecodeResult decoded = decodeConfig(items, m_config, decodeContext(source));
    if (!decoded)
        return Applied{decoded.error()};
    if (!applyDecoded(*decoded, source))
        return Applied{ConfigDecodeError{ConfigDecodeError::Kind::RefusedValue, {}}};
    return Applied{};
}

namespace {

// Whether a configuration fits the editor's fields and the format list of
// its read mode.
bool fitsTheEditor(const ReaderConfig &c, const std::vector<CardFormat> &entries)
{
    quint16 offered = 0;
    for (const CardFormat &f : entries)
        offered |= f.bit;
    const int maxBits = maxBitsOf(entries, c.formats);
    auto within = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    return (c.formats & ~offered) == 0 && within(c.conversion, 0, 2)
           && within(c.bitShift, 0, shiftMaxOf(maxBits)) && within(c.significantBits, 1, maxBits)
           && within(c.wiegandType, 0, 1) && within(c.wiegandWidth, 8, 64) && within(c.blockNumber, 0, 255)
           && within(c.blockOffset, 0, 15) && within(c.blockCount, 1, 8) && within(c.pulse, 3, 300)
           && keyText(c.blockKey) == c.blockKey && keyText(c.bankKey) == c.bankKey
           && bleNameText(c.bleName) == c.bleName;
}

} // namespace

bool EditorModel::applyDecoded(const DecodedConfig &decoded, ConfigPlace source)
{
    const ReaderConfig &c = decoded.config;
    const std::vector<CardFormat> entries = offeredFormats(c.readMode, readerKind(), decoded.emMarine);
    if (!fitsTheEditor(c, entries))
        return false;
    // The colours a configuration brings are never the start colours, which
    // the colour code cannot give: a changed colour is one the items set.
    for (size_t i = 0; i < 4; ++i)
        if (c.ledColours[i] != m_config.ledColours[i])
            m_view.captionContrast[i] = true;
    m_config = c;
    m_emMarine = decoded.emMarine;
    // The read-mode change: the list refilled (its checks are the
    // configuration's), the panels for the mode.
    m_view.formatEntries = entries;
    m_view.highlightedFormat = -1;
    showPanels();
    if (source == ConfigPlace::Reader)
        m_view.readModeEnabled = !bleReader();
    return true;
}

} // namespace limra
