#include "cli/configview.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <cerrno>

#include "common/texts.h"
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

Checksums checksumsOf(int readMode, const QString &items)
{
    Checksums out;
    if (items.isEmpty())
        return out;
    const ConfigTable table = parseConfig(items);
    const QString objectSum = table[tag::ObjectChecksum];
    const QString keySum = table[tag::KeyChecksum];
    if (!objectSum.isEmpty()) {
        if (readMode == 2)
            out.blockKey = objectSum;
        else if (readMode != 0)
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

} // namespace

bool saveConfiguration(EditorModel &editor, const QString &path, QString *problem)
{
    QString error;
    errno = 0;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        error = systemErrorText(errno);
    else if (saveConfigFile(path, editor.buildItems(Producer::File), &error))
        return true;
    *problem = texts::kCannotWriteFile.arg(path, error);
    return false;
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

QStringList configText(const EditorModel &editor, const QString &items)
{
    const ReaderConfig &c = editor.config();
    const EditorView &v = editor.view();
    QStringList lines;
    auto field = [&lines](const QString &name, const QString &value) {
        lines << QStringLiteral("%1 %2").arg(name + QLatin1Char(':'), -kNameWidth).arg(value);
    };
    field(QStringLiteral("read mode"),
          QStringLiteral("%1 %2").arg(c.readMode).arg(texts::kReadModes.value(c.readMode)));
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

QJsonObject configJson(const EditorModel &editor, const QString &items)
{
    const ReaderConfig &c = editor.config();
    const EditorView &v = editor.view();
    QJsonObject o;
    o[QStringLiteral("readMode")] = c.readMode;
    o[QStringLiteral("readModeName")] = texts::kReadModes.value(c.readMode);
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
