#include "cli/configview.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>

#include "common/texts.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "link/hextext.h"
#include "platform/files.h"

namespace limra::cli {

namespace {

// The field names are padded to this width.
constexpr int kNameWidth = 21;
const char *const kConversions[] = {"normal", "reversed byte order", "hash"};
const char *const kConversionKeys[] = {"normal", "reversed", "hash"};
// The LED colours in the order of the configuration: idle, then the signals.
const char *const kLedNames[] = {"idle", "LEDG", "LEDR", "LEDR+LEDG"};
const char *const kLedKeys[] = {"idle", "ledg", "ledr", "ledrLedg"};

QStringList checkedFormats(const EditorModel &editor)
{
    QStringList names;
    for (const CardFormat &f : editor.view().formatEntries)
        if (editor.config().formats & f.bit)
            names << QString::fromUtf8(f.text);
    return names;
}

QString colourText(const QColor &colour) { return colour.name(QColor::HexRgb).toUpper(); }

QString pulseText(int tenths) { return QString::number(tenths / 10.0, 'f', 1); }

// The checksums the window shows after a read: item 0E under the object
// code's name in read modes 1 and 3 and the block key's in read mode 2 (in
// read mode 0 it is not shown); else item 0F under the block key's.
struct Checksums {
    QString objectCode;
    QString blockKey;
};

Checksums checksumsOf(ReadMode readMode, const ConfigItems &items)
{
    Checksums out;
    // The checksums are shown as hex digits.
    const QString objectSum = bytesToHex(items.value(tag::ObjectChecksum));
    const QString keySum = bytesToHex(items.value(tag::KeyChecksum));
    if (!objectSum.isEmpty()) {
        if (readMode == ReadMode::BlockCode)
            out.blockKey = objectSum;
        else if (isProtected(readMode))
            out.objectCode = objectSum;
    } else if (!keySum.isEmpty()) {
        out.blockKey = keySum;
    }
    return out;
}

template <class T> const char *at(const T &table, int index)
{
    const int size = int(std::size(table));
    return table[std::clamp(index, 0, size - 1)];
}

QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

// The label without its trailing colon, as an item is named in a list.
QString itemName(const QString &label)
{
    QString name = label.trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

// ---- read-config's JSON back into a configuration ----

class JsonReader {
public:
    JsonReader(const QJsonObject &o, QString *problem) : m_o(o), m_problem(problem) {}
    bool has(const char *key) const { return m_o.contains(QLatin1String(key)); }
    bool integer(const char *key, int lo, int hi, int *value)
    {
        if (!has(key))
            return true;
        const QJsonValue v = m_o.value(QLatin1String(key));
        const double d = v.toDouble(-1e9);
        if (!v.isDouble() || d != double(int(d)) || d < lo || d > hi)
            return wrong(key, QStringLiteral("a whole number from %1 to %2").arg(lo).arg(hi));
        *value = int(d);
        return true;
    }
    bool choice(const char *key, const QStringList &words, int *value)
    {
        if (!has(key))
            return true;
        const int i = words.indexOf(m_o.value(QLatin1String(key)).toString());
        if (i < 0)
            return wrong(key, words.join(QStringLiteral(" or ")));
        *value = i;
        return true;
    }
    bool wrong(const char *key, const QString &wanted)
    {
        *m_problem = QStringLiteral("\"%1\" takes %2").arg(QLatin1String(key), wanted);
        return false;
    }
    const QJsonObject &object() const { return m_o; }

private:
    QJsonObject m_o;
    QString *m_problem;
};

bool configFromJson(const QJsonObject &o, ReaderConfig &c, ReaderKind kind, bool emMarine, QString *problem)
{
    JsonReader r(o, problem);
    int width = c.wireWidth();
    int bankKey = c.bankKeyMode == BankKeyMode::User ? 1 : 0;
    int readMode = int(c.readMode);
    if (!r.integer("readMode", 0, kReadModeCount - 1, &readMode) || !r.integer("bitShift", 0, 63, &c.bitShift)
        || !r.integer("significantBits", 1, 64, &c.significantBits) || !r.integer("wiegandType", 0, 1, &c.wiegandType)
        || !r.integer("wiegandWidth", 0, 64, &width) || !r.integer("blockNumber", 0, 255, &c.blockNumber)
        || !r.integer("blockOffset", 0, 15, &c.blockOffset) || !r.integer("blockBytes", 1, 8, &c.blockCount)
        || !r.choice("conversion", {QStringLiteral("normal"), QStringLiteral("reversed"), QStringLiteral("hash")},
                     &c.conversion)
        || !r.choice("bankKey", {QStringLiteral("default"), QStringLiteral("user")}, &bankKey))
        return false;
    c.readMode = ReadMode(readMode);
    if (r.has("wiegandWidth")) {
        if (width != 0 && width < 8)
            return r.wrong("wiegandWidth", QStringLiteral("0 (automatic) or a width from 8 to 64"));
        c.widthMode = width == 0 ? WidthMode::Automatic : WidthMode::User;
        if (width != 0)
            c.wiegandWidth = width;
    }
    c.bankKeyMode = bankKey == 1 ? BankKeyMode::User : BankKeyMode::Default;
    if (r.has("formatBits")) {
        bool ok = false;
        const QString bits = o.value(QLatin1String("formatBits")).toString();
        const uint value = bits.toUInt(&ok, 16);
        if (!ok || bits.size() != 4)
            return r.wrong("formatBits", QStringLiteral("4 hexadecimal digits"));
        c.formats = quint16(value);
    } else if (r.has("formats")) {
        quint16 formats = 0;
        for (const QJsonValue &name : o.value(QLatin1String("formats")).toArray()) {
            bool known = false;
            for (const CardFormat &f : offeredFormats(c.readMode, kind, emMarine))
                if (name.toString() == QString::fromUtf8(f.text)) {
                    formats |= f.bit;
                    known = true;
                }
            if (!known)
                return r.wrong("formats", QStringLiteral("names of the card formats of its read mode"));
        }
        c.formats = formats;
    }
    if (r.has("bleName")) {
        const QString name = o.value(QLatin1String("bleName")).toString();
        if (bleNameText(name) != name)
            return r.wrong("bleName", QStringLiteral("at most 31 of A-Z a-z 0-9 ! # $ * - . @"));
        c.bleName = name;
    }
    if (r.has("pulseSeconds")) {
        const double seconds = o.value(QLatin1String("pulseSeconds")).toDouble(-1);
        if (seconds < 0.3 || seconds > 30.0)
            return r.wrong("pulseSeconds", QStringLiteral("seconds from 0.3 to 30.0"));
        c.pulse = pulseTenths(seconds);
    }
    if (r.has("zones")) {
        std::array<bool, 64> zones{};
        for (const QJsonValue &zone : o.value(QLatin1String("zones")).toArray()) {
            const int n = zone.toInt(0);
            if (n < 1 || n > 64)
                return r.wrong("zones", QStringLiteral("zone numbers from 1 to 64"));
            zones[size_t(n - 1)] = true;
        }
        c.zones = zones;
    }
    if (r.has("leds")) {
        const QJsonObject leds = o.value(QLatin1String("leds")).toObject();
        for (int i = 0; i < 4; ++i) {
            const QString key = QString::fromLatin1(kLedKeys[i]);
            if (!leds.contains(key))
                continue;
            const QColor colour(leds.value(key).toString());
            if (!colour.isValid() || !leds.value(key).toString().startsWith(QLatin1Char('#')))
                return r.wrong("leds", QStringLiteral("colours as #RRGGBB"));
            c.ledColours[size_t(i)] = colour;
        }
    }
    return true;
}

} // namespace

Expected<ConfigInput, ConfigFileProblem> readConfigInput(const QString &path)
{
    using Kind = ConfigFileProblem::Kind;
    const bool standardInput = path == QLatin1String("-");
    const QString name = standardInput ? QStringLiteral("standard input") : path;
    const auto read = standardInput ? readStandardInput(kMaxConfigFileSize) : readSmallFile(path, kMaxConfigFileSize);
    const bool tooLarge = !read && read.error().kind == FileError::Kind::TooLarge;
    if (!read && !tooLarge)
        return unexpected(ConfigFileProblem{Kind::CannotRead, texts::kCannotOpenFile.arg(name, read.error().reason)});
    const QByteArray bytes = read.value_or(QByteArray());
    ConfigInput input;
    const QByteArray trimmed = bytes.trimmed();
    if (read && trimmed.startsWith('{')) {
        QJsonParseError parse;
        const QJsonDocument doc = QJsonDocument::fromJson(trimmed, &parse);
        if (!doc.isObject())
            return unexpected(ConfigFileProblem{
                Kind::NotAConfiguration, QStringLiteral("%1: not one JSON object (%2)").arg(name, parse.errorString())});
        input.isJson = true;
        const QJsonObject o = doc.object();
        input.json = o.contains(QLatin1String("config")) ? o.value(QLatin1String("config")).toObject() : o;
        return input;
    }
    const auto items = tooLarge
                           ? Expected<ConfigItems, ConfigFileError>(unexpected(ConfigFileError{}))
                       : standardInput ? checkConfigFile(bytes)
                                       : loadConfigFile(path); // a file's own checks, read once more
    if (!items) {
        const Kind kind = items.error().kind == ConfigFileError::Kind::CannotRead ? Kind::CannotRead
                                                                                  : Kind::NotAConfiguration;
        return unexpected(ConfigFileProblem{kind, name + QStringLiteral(": ") + configFileProblemText(name, items.error())});
    }
    input.items = *items;
    return input;
}

Expected<void, ConfigFileProblem> applyConfigInput(EditorModel &editor, const ConfigInput &input, const QString &path)
{
    const QString name = path == QLatin1String("-") ? QStringLiteral("standard input") : path;
    ConfigItems items = input.items;
    if (input.isJson) {
        ReaderConfig c = editor.config();
        const ReaderKind kind = editor.readerKind();
        QString wrong;
        if (!configFromJson(input.json, c, kind, editor.emMarine(), &wrong))
            return unexpected(ConfigFileProblem{ConfigFileProblem::Kind::WrongValue, QStringLiteral("%1: %2").arg(name, wrong)});
        items = encodeConfig(c, ConfigPlace::File, kind);
    }
    if (!editor.applyConfig(items, ConfigPlace::File))
        return unexpected(ConfigFileProblem{ConfigFileProblem::Kind::DoesNotFit,
                                            QStringLiteral("the configuration in %1 does not fit this reader").arg(name)});
    return {};
}

QList<ConfigItemView> configItems(const EditorModel &editor)
{
    const ReaderConfig &c = editor.config();
    const EditorView &v = editor.view();
    QList<ConfigItemView> items;
    auto item = [&items](const QString &label, const QString &value, bool secret = false) {
        items.append({itemName(label), value, secret});
    };
    item(QStringLiteral("read mode"), texts::kReadModes.value(int(c.readMode)));
    item(texts::kWiegandTypeLabel, texts::kWiegandTypes.value(c.wiegandType));
    item(texts::kWiegandWidthLabel,
         c.wireWidth() == 0 ? texts::kWidthModes[0] : texts::kWidthModes[1] + QLatin1Char(' ') + QString::number(c.wireWidth()));
    item(texts::kFormatsCaption, checkedFormats(editor).join(QStringLiteral(", ")));
    const bool conversion = v.convGroup;
    item(texts::kReversedOrder, conversion ? onOff(c.conversion == 1) : QString());
    item(texts::kHashOption, conversion ? onOff(c.conversion == 2) : QString());
    item(texts::kBitShiftLabel, conversion ? QString::number(c.bitShift) : QString());
    item(texts::kSignificantBitsLabel, conversion ? QString::number(c.significantBits) : QString());
    item(texts::kBlockNumberLabel, v.blockPanel ? QString::number(c.blockNumber) : QString());
    item(texts::kBlockOffsetLabel, v.blockPanel ? QString::number(c.blockOffset) : QString());
    item(texts::kBlockBytesLabel, v.blockPanel ? QString::number(c.blockCount) : QString());
    item(texts::kBlockKeyLabel, v.blockPanel ? c.blockKey : QString(), true);
    item(texts::kBankKeyLabel,
         v.bankPart ? (c.bankKeyMode == BankKeyMode::Default ? texts::kBankKeyDefault : texts::kBankKeyUser) : QString());
    if (v.bankPart && c.bankKeyMode == BankKeyMode::User)
        item(texts::kBankKeyLabel + QLatin1Char(' ') + texts::kBankKeyUser, c.bankKey, true);
    item(texts::kBleNameLabel, v.blePart ? c.bleName : QString());
    item(texts::kPulseLabel, v.zonePanel ? pulseText(c.pulse) : QString());
    item(texts::kZonesCaption, v.zonePanel ? zoneRanges(c.zones) : QString());
    for (int i = 0; i < 4; ++i)
        item(texts::kLedLabels[i], colourText(c.ledColours[size_t(i)]));
    return items;
}

QList<ConfigDifference> configDifferences(const EditorModel &reader, const EditorModel &file)
{
    const QList<ConfigItemView> ours = configItems(reader);
    const QList<ConfigItemView> theirs = configItems(file);
    auto shown = [](const ConfigItemView &item) {
        if (item.value.isEmpty())
            return QStringLiteral("(not used)");
        return item.secret ? QStringLiteral("(a key)") : item.value;
    };
    QList<ConfigDifference> differences;
    QStringList labels;
    for (const ConfigItemView &item : ours + theirs)
        if (!labels.contains(item.label))
            labels << item.label;
    for (const QString &label : labels) {
        ConfigItemView a{label, QString(), false};
        ConfigItemView b{label, QString(), false};
        for (const ConfigItemView &item : ours)
            if (item.label == label)
                a = item;
        for (const ConfigItemView &item : theirs)
            if (item.label == label)
                b = item;
        if (a.value == b.value)
            continue;
        QString readerText = shown(a);
        QString fileText = shown(b);
        if (a.secret && b.secret && !a.value.isEmpty() && !b.value.isEmpty()) {
            readerText = QStringLiteral("(a key)");
            fileText = QStringLiteral("(another key)");
        }
        differences.append({label, readerText, fileText});
    }
    return differences;
}

Expected<void, ConfigFileProblem> saveConfiguration(EditorModel &editor, const QString &path)
{
    errno = 0;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return unexpected(
            ConfigFileProblem{ConfigFileProblem::Kind::CannotWrite, texts::kCannotWriteFile.arg(path, systemErrorText(errno))});
    if (const auto saved = saveConfigFile(path, editor.buildItems(ConfigPlace::File)); !saved)
        return unexpected(ConfigFileProblem{ConfigFileProblem::Kind::CannotWrite, configFileProblemText(path, saved.error())});
    return {};
}

QString zoneRanges(const std::array<bool, 64> &zones)
{
    QStringList ranges;
    for (int i = 0; i < 64;) {
        if (!zones[size_t(i)]) {
            ++i;
            continue;
        }
        int end = i;
        while (end + 1 < 64 && zones[size_t(end + 1)])
            ++end;
        ranges << (end == i ? QString::number(i + 1) : QStringLiteral("%1-%2").arg(i + 1).arg(end + 1));
        i = end + 1;
    }
    return ranges.isEmpty() ? QStringLiteral("none") : ranges.join(QStringLiteral(", "));
}

QStringList configText(const EditorModel &editor, const ConfigItems &items)
{
    const ReaderConfig &c = editor.config();
    const EditorView &v = editor.view();
    QStringList lines;
    auto field = [&lines](const QString &name, const QString &value) {
        lines << QStringLiteral("%1 %2").arg(name + QLatin1Char(':'), -kNameWidth).arg(value);
    };
    field(QStringLiteral("read mode"),
          QStringLiteral("%1 %2").arg(int(c.readMode)).arg(texts::kReadModes.value(int(c.readMode))));
    const QStringList formats = checkedFormats(editor);
    field(QStringLiteral("card formats"), formats.isEmpty() ? QStringLiteral("none") : formats.first());
    for (int i = 1; i < formats.size(); ++i)
        lines << QString(kNameWidth + 1, QLatin1Char(' ')) + formats[i];
    if (v.convGroup) {
        field(QStringLiteral("conversion"), QString::fromLatin1(at(kConversions, c.conversion)));
        field(QStringLiteral("bit shift"), QString::number(c.bitShift));
        field(QStringLiteral("significant bits"), QString::number(c.significantBits));
    }
    field(QStringLiteral("Wiegand type"),
          QStringLiteral("%1 %2").arg(c.wiegandType).arg(texts::kWiegandTypes.value(c.wiegandType)));
    field(QStringLiteral("Wiegand width"),
          c.wireWidth() == 0 ? QStringLiteral("automatic") : QString::number(c.wireWidth()));
    if (v.blockPanel) {
        field(QStringLiteral("block number"), QString::number(c.blockNumber));
        field(QStringLiteral("block offset"), QString::number(c.blockOffset));
        field(QStringLiteral("block bytes"), QString::number(c.blockCount));
    }
    if (v.bankPart)
        field(QStringLiteral("bank-card key"),
              c.bankKeyMode == BankKeyMode::Default ? QStringLiteral("default") : QStringLiteral("user"));
    if (v.blePart)
        field(QStringLiteral("BLE name"), c.bleName.isEmpty() ? QStringLiteral("none") : c.bleName);
    if (v.zonePanel) {
        field(QStringLiteral("pulse"), pulseText(c.pulse) + QStringLiteral(" s"));
        field(QStringLiteral("zones"), zoneRanges(c.zones));
    }
    for (int i = 0; i < 4; ++i)
        field(QStringLiteral("LED ") + QString::fromLatin1(kLedNames[i]), colourText(c.ledColours[size_t(i)]));
    const Checksums sums = checksumsOf(c.readMode, items);
    if (!sums.objectCode.isEmpty())
        field(QStringLiteral("object code checksum"), sums.objectCode);
    if (!sums.blockKey.isEmpty())
        field(QStringLiteral("block key checksum"), sums.blockKey);
    return lines;
}

QJsonObject configJson(const EditorModel &editor, const ConfigItems &items)
{
    const ReaderConfig &c = editor.config();
    const EditorView &v = editor.view();
    QJsonObject o;
    o[QStringLiteral("readMode")] = int(c.readMode);
    o[QStringLiteral("readModeName")] = texts::kReadModes.value(int(c.readMode));
    o[QStringLiteral("formats")] = QJsonArray::fromStringList(checkedFormats(editor));
    o[QStringLiteral("formatBits")] = hexDigits(c.formats, 4);
    if (v.convGroup) {
        o[QStringLiteral("conversion")] = QString::fromLatin1(at(kConversionKeys, c.conversion));
        o[QStringLiteral("bitShift")] = c.bitShift;
        o[QStringLiteral("significantBits")] = c.significantBits;
    }
    o[QStringLiteral("wiegandType")] = c.wiegandType;
    o[QStringLiteral("wiegandTypeName")] = texts::kWiegandTypes.value(c.wiegandType);
    o[QStringLiteral("wiegandWidth")] = c.wireWidth(); // 0: automatic
    if (v.blockPanel) {
        o[QStringLiteral("blockNumber")] = c.blockNumber;
        o[QStringLiteral("blockOffset")] = c.blockOffset;
        o[QStringLiteral("blockBytes")] = c.blockCount;
    }
    if (v.bankPart)
        o[QStringLiteral("bankKey")]
            = c.bankKeyMode == BankKeyMode::Default ? QStringLiteral("default") : QStringLiteral("user");
    if (v.blePart)
        o[QStringLiteral("bleName")] = c.bleName;
    if (v.zonePanel) {
        o[QStringLiteral("pulseSeconds")] = c.pulse / 10.0;
        QJsonArray zones;
        for (int i = 0; i < 64; ++i)
            if (c.zones[size_t(i)])
                zones.append(i + 1);
        o[QStringLiteral("zones")] = zones;
    }
    QJsonObject leds;
    for (int i = 0; i < 4; ++i)
        leds[QString::fromLatin1(kLedKeys[i])] = colourText(c.ledColours[size_t(i)]);
    o[QStringLiteral("leds")] = leds;
    const Checksums sums = checksumsOf(c.readMode, items);
    if (!sums.objectCode.isEmpty())
        o[QStringLiteral("objectCodeChecksum")] = sums.objectCode;
    if (!sums.blockKey.isEmpty())
        o[QStringLiteral("blockKeyChecksum")] = sums.blockKey;
    return o;
}

} // namespace limra::cli
