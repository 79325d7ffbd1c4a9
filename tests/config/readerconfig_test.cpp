#include <gtest/gtest.h>

#include "config/codec.h"
#include "link/hextext.h"
#include "tests/support/configitems.h"

using namespace limra;
using limra::testing::hexOf;
using limra::testing::itemsOf;
using limra::testing::withCarriedHex;
using limra::testing::withCarriedItems;

namespace {
QString item(const ConfigItems &items, int tag) { return limra::testing::itemHex(items, tag); }
}

TEST(EncodeConfig, ZonesPulseAndFixedConversionInPassZoneMode)
{
    ReaderConfig c;
    c.readMode = ReadMode::PassZones;
    c.conversion = 1;
    c.bitShift = 5;
    c.significantBits = 20;
    c.zones[0] = true;
    ConfigItems items = encodeConfig(c, ConfigPlace::Reader, ReaderKind::Usb);
    EXPECT_TRUE(hexOf(items).startsWith(QStringLiteral("0202E701") + QStringLiteral("0303000040") + QStringLiteral("060103")));
    EXPECT_EQ(item(items, 0x0B), QStringLiteral("0000000000000001") + QString(16, QLatin1Char('0')));
    EXPECT_EQ(item(items, 0x08), QStringLiteral("0300"));
    EXPECT_EQ(item(encodeConfig(c, ConfigPlace::File, ReaderKind::Usb), 0x03), QStringLiteral("000040"));
    EXPECT_EQ(item(encodeConfig(c, ConfigPlace::MasterCards, ReaderKind::Usb), 0x03), QStringLiteral("010514"));
    c.zones[0] = false;
    c.zones[63] = true;
    c.pulse = 300;
    items = encodeConfig(c, ConfigPlace::File, ReaderKind::Usb);
    EXPECT_EQ(item(items, 0x0B), QStringLiteral("80000000000000000000000000000000"));
    EXPECT_EQ(item(items, 0x08), QStringLiteral("2C01"));
}

TEST(EncodeConfig, BleNameOnlyForTheBleReaderAndNoColours)
{
    ReaderConfig c;
    c.bleName = QStringLiteral("AB");
    const ConfigItems reader = encodeConfig(c, ConfigPlace::Reader, ReaderKind::Ble);
    EXPECT_EQ(item(reader, 0x20), QStringLiteral("414200"));
    EXPECT_TRUE(item(reader, 0x0B).isEmpty());
    EXPECT_TRUE(item(reader, 0x0C).isEmpty());
    const ConfigItems file = encodeConfig(c, ConfigPlace::File, ReaderKind::Ble);
    EXPECT_TRUE(item(file, 0x20).isEmpty());
    EXPECT_EQ(item(file, 0x0B), defaultBankKey());
    EXPECT_EQ(item(file, 0x0C), QStringLiteral("1F04E00700F800FC")); // the initial colours
    c.bleName.clear();
    EXPECT_TRUE(item(encodeConfig(c, ConfigPlace::Reader, ReaderKind::Ble), 0x20).isEmpty());
}

TEST(EncodeConfig, ItemOrderAndKeyPadding)
{
    ReaderConfig c;
    c.readMode = ReadMode::BlockCode;
    c.blockKey = QString(30, QLatin1Char('F'));
    c.widthMode = WidthMode::User;
    c.wiegandWidth = 26;
    c.wiegandType = 1;
    const ConfigItems items = encodeConfig(c, ConfigPlace::File, ReaderKind::Usb);
    EXPECT_EQ(hexOf(items), QStringLiteral("0202E701") + QStringLiteral("030300") + QStringLiteral("0040") + QStringLiteral("060102")
                         + QStringLiteral("08020100") + QStringLiteral("090100") + QStringLiteral("0A0108")
                         + QStringLiteral("0B1000") + QString(30, QLatin1Char('F')) + QStringLiteral("040101")
                         + QStringLiteral("05011A") + QStringLiteral("0C081F04E00700F800FC"));
    EXPECT_EQ(c.blockKey, QString(30, QLatin1Char('F'))); // padded in the items only
    ReaderConfig user;
    user.bankKeyMode = BankKeyMode::User;
    user.bankKey = QStringLiteral("ABC");
    EXPECT_EQ(item(encodeConfig(user, ConfigPlace::Reader, ReaderKind::Usb), 0x0B), QString(29, QLatin1Char('0')) + QStringLiteral("ABC"));
    EXPECT_EQ(user.bankKey, QStringLiteral("ABC"));
}

TEST(DefaultBankKey, IsAFixed16ByteConstant)
{
    const QString key = defaultBankKey();
    EXPECT_EQ(key.size(), 32);
    EXPECT_TRUE(key.startsWith(QStringLiteral("4C")));
    EXPECT_TRUE(key.endsWith(QStringLiteral("5AC317")));
    EXPECT_EQ(key, key.toUpper());
    EXPECT_EQ(key, defaultBankKey());
}

TEST(ConfigItems, LaterItemsWinAndShortValuesAreKept)
{
    const ConfigItems t = itemsOf(QStringLiteral("060101") + QStringLiteral("0401FF") + QStringLiteral("060103")
                                  + QStringLiteral("0C0800F8"));
    EXPECT_EQ(item(t, 0x06), QStringLiteral("03"));
    EXPECT_EQ(item(t, 0x0C), QStringLiteral("00F8"));
    // Written back: one item a tag, where the tag came first, with the bytes it has.
    EXPECT_EQ(hexOf(t), QStringLiteral("060103") + QStringLiteral("0401FF") + QStringLiteral("0C0200F8"));
    // A tag alone at the end: an empty value.
    const ConfigItems cut = itemsOf(QStringLiteral("06010306"));
    EXPECT_TRUE(cut.contains(0x06));
    EXPECT_TRUE(cut.value(0x06).isEmpty());
    EXPECT_FALSE(cut.contains(0x04));
    const ConfigItems &d = kDefaultConfigItems;
    EXPECT_EQ(item(d, 0x02), QStringLiteral("6700"));
    EXPECT_EQ(item(d, 0x03), QStringLiteral("000040"));
    EXPECT_EQ(item(d, 0x0C), QStringLiteral("00F8E00700F8E0FF"));
    EXPECT_TRUE(item(d, 0x0B).isEmpty());
    EXPECT_EQ(hexOf(d), QStringLiteral("0202670003030000400601000401000501000C0800F8E00700F8E0FF"));
    EXPECT_EQ(ConfigItems::parse(d.toBytes()), d);
}

struct ColourCase {
    QColor colour;
    quint16 code;
    QColor back;
    QColor caption;
};

class ColourCode : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourCode, BothWays)
{
    const ColourCase &c = GetParam();
    EXPECT_EQ(colourCode(c.colour), c.code);
    EXPECT_EQ(colourFromCode(c.code), c.back);
    EXPECT_EQ(colourCode(c.back), c.code);
    EXPECT_EQ(captionColour(c.back), c.caption);
    EXPECT_EQ(reducedColour(c.colour), c.back);
}

INSTANTIATE_TEST_SUITE_P(Colours, ColourCode, ::testing::Values(
    ColourCase{QColor(255, 255, 255), 0xFFFF, QColor(248, 252, 248), Qt::black},
    ColourCase{QColor(0, 0, 255), 0x001F, QColor(0, 0, 248), Qt::white},
    ColourCase{QColor(18, 52, 86), 0x11AA, QColor(16, 52, 80), Qt::white},
    ColourCase{QColor(255, 0, 0), 0xF800, QColor(248, 0, 0), Qt::white},
    ColourCase{QColor(0, 255, 0), 0x07E0, QColor(0, 252, 0), Qt::black},
    ColourCase{QColor(255, 255, 0), 0xFFE0, QColor(248, 252, 0), Qt::black},
    ColourCase{QColor(0, 128, 255), 0x041F, QColor(0, 128, 248), Qt::white},
    ColourCase{QColor(255, 128, 0), 0xFC00, QColor(248, 128, 0), Qt::black}));

TEST(ZoneMask, EncodesAndDecodes)
{
    std::array<bool, 64> z{};
    z.fill(true);
    EXPECT_EQ(bytesToHex(zoneMask(z)), QStringLiteral("FFFFFFFFFFFFFFFF0000000000000000"));
    EXPECT_EQ(zonesFromMask(zoneMask(z)), z);
    z.fill(false);
    z[0] = z[8] = true;
    EXPECT_EQ(bytesToHex(zoneMask(z)), QStringLiteral("00000000000001010000000000000000"));
    EXPECT_EQ(zonesFromMask(zoneMask(z)), z);
    // A short mask is the number's low bytes; a long one gives its first 8 bytes.
    z = zonesFromMask(hexToBytes(QStringLiteral("000F")));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(z[size_t(i)], i < 4) << i;
    z = zonesFromMask(hexToBytes(QStringLiteral("8000000000000001FF")));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(z[size_t(i)], i == 0 || i == 63) << i;
    z[5] = true;
    EXPECT_EQ(zoneBitString(z), QStringLiteral("1") + QString(57, QLatin1Char('0')) + QStringLiteral("100001"));
}

// ---- decoding ------------------------------------------------------------------

namespace {

DecodeContext context(ConfigPlace source, ReaderKind reader = ReaderKind::Usb, bool emMarine = true)
{
    return DecodeContext{source, reader, emMarine};
}

// A configuration far from the start values in every field.
ReaderConfig unusual()
{
    ReaderConfig c;
    c.blockNumber = 77;
    c.blockOffset = 5;
    c.blockCount = 3;
    c.blockKey = QStringLiteral("00112233445566778899AABBCCDDEEFF");
    c.bankKeyMode = BankKeyMode::User;
    c.bankKey = QStringLiteral("FFEEDDCCBBAA99887766554433221100");
    c.bleName = QStringLiteral("Gate-1");
    c.pulse = 125;
    c.zones[0] = c.zones[9] = c.zones[63] = true;
    c.wiegandWidth = 40;
    c.ledColours = {QColor(16, 52, 80), QColor(0, 0, 248), QColor(248, 252, 248), QColor(0, 128, 0)};
    return c;
}

} // namespace

TEST(DecodeConfig, DefaultConfigurationOnTheUsbReader)
{
    const ReaderConfig base = unusual();
    const DecodeResult d = decodeConfig(kDefaultConfigItems, base, context(ConfigPlace::Default));
    ASSERT_TRUE(d);
    const ReaderConfig &c = d->config;
    EXPECT_EQ(c.readMode, ReadMode::Uid);
    EXPECT_EQ(c.formats, 0x0067);
    EXPECT_EQ(c.conversion, 0);
    EXPECT_EQ(c.bitShift, 0);
    EXPECT_EQ(c.significantBits, 64);
    EXPECT_EQ(c.wiegandType, 0);
    EXPECT_EQ(c.widthMode, WidthMode::Automatic);
    EXPECT_EQ(c.ledColours, (std::array<QColor, 4>{QColor(248, 0, 0), QColor(0, 252, 0), QColor(248, 0, 0), QColor(248, 252, 0)}));
    EXPECT_TRUE(d->emMarine);
    // No block, key, zone, pulse or name item: those stay as they were.
    ReaderConfig kept = c;
    kept.readMode = base.readMode;
    kept.formats = base.formats;
    kept.ledColours = base.ledColours;
    EXPECT_EQ(kept, base);
}

TEST(DecodeConfig, DefaultConfigurationOnTheBleReaderChecksTheFirstBleEntry)
{
    const DecodeResult d =
        decodeConfig(kDefaultConfigItems, ReaderConfig(), context(ConfigPlace::Default, ReaderKind::Ble));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->config.formats, 0x0200); // "Телефон (BLE) - 8 байт"
    EXPECT_EQ(d->config.ledColours[0], QColor(248, 0, 0));
}

TEST(DecodeConfig, EmMarineFromItem14OnlyForTheReader)
{
    const QString items = withCarriedHex(QStringLiteral("0202E701060100"));
    for (ConfigPlace source : {ConfigPlace::File, ConfigPlace::Default, ConfigPlace::MasterCards}) {
        for (bool offered : {false, true}) {
            const DecodeResult d = decodeConfig(itemsOf(items), ReaderConfig(), context(source, ReaderKind::Usb, offered));
            ASSERT_TRUE(d);
            EXPECT_EQ(d->emMarine, offered);
            EXPECT_EQ(d->config.formats, offered ? 0x01E7 : 0x00E7);
        }
    }
    const DecodeResult without = decodeConfig(itemsOf(items), ReaderConfig(), context(ConfigPlace::Reader));
    ASSERT_TRUE(without);
    EXPECT_FALSE(without->emMarine);
    EXPECT_EQ(without->config.formats, 0x00E7); // the format is not offered: its bit is dropped
    const DecodeResult with =
        decodeConfig(itemsOf(items + QStringLiteral("140101")), ReaderConfig(), context(ConfigPlace::Reader, ReaderKind::Usb, false));
    ASSERT_TRUE(with);
    EXPECT_TRUE(with->emMarine);
    EXPECT_EQ(with->config.formats, 0x01E7);
}

TEST(DecodeConfig, RefusedValueGivesNothing)
{
    // The read mode and byte count come before the refused Wiegand type.
    for (const char *items : {"0601020A0103040102", "0601020A01030401FF", "060100040102", "0408FFFFFFFFFFFFFFFF"}) {
        const DecodeResult d = decodeConfig(withCarriedItems(QString::fromLatin1(items)), unusual(), context(ConfigPlace::File));
        ASSERT_FALSE(d) << items;
        EXPECT_EQ(d.error().kind, ConfigDecodeError::Kind::RefusedValue) << items;
    }
}

// Items the reader needs missing or cut short would decode as a configuration
// nobody chose (the first format, a width of 8 bits): refused from every
// source, with the tags missing.
struct MissingCase {
    const char *name;
    QString items;
    QList<int> missing;
};

class MissingItems : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingItems, AreRefusedFromEverySource)
{
    for (ConfigPlace source : {ConfigPlace::Reader, ConfigPlace::File, ConfigPlace::Default, ConfigPlace::MasterCards}) {
        const DecodeResult d = decodeConfig(itemsOf(GetParam().items), unusual(), context(source));
        ASSERT_FALSE(d);
        EXPECT_EQ(d.error().kind, ConfigDecodeError::Kind::MissingItems);
        EXPECT_EQ(d.error().missingTags, GetParam().missing);
    }
}

INSTANTIATE_TEST_SUITE_P(Items, MissingItems, ::testing::Values(
    MissingCase{"none", QString(), {0x02, 0x03, 0x06, 0x04, 0x05}},
    MissingCase{"only_the_colours", QStringLiteral("0C0800F8E00700F8E0FF"), {0x02, 0x03, 0x06, 0x04, 0x05}},
    MissingCase{"read_mode_and_formats", QStringLiteral("06010702026700"), {0x03, 0x04, 0x05}},
    MissingCase{"an_unknown_item", QStringLiteral("FF10AABB"), {0x02, 0x03, 0x06, 0x04, 0x05}},
    // The default without its Wiegand width; then the width item cut off.
    MissingCase{"without_the_width", QStringLiteral("020267000303000040060100040100"), {0x05}},
    MissingCase{"the_last_item_cut_short", QStringLiteral("02026700030300004006010004010005"), {0x05}},
    MissingCase{"conversion_cut_short", QStringLiteral("0202670003020000060100040100050100"), {0x03}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(DecodeConfig, ItemsAreAppliedAsAWholeBeforeTheRulesRun)
{
    // Offset 12 with 4 bytes fits, although the base's 8 bytes would not.
    ReaderConfig base;
    const DecodeResult d =
        decodeConfig(withCarriedItems(QStringLiteral("060102") + QStringLiteral("09010C") + QStringLiteral("0A0104")), base, context(ConfigPlace::File));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->config.blockOffset, 12);
    EXPECT_EQ(d->config.blockCount, 4);
    // Too much for 16 bytes: the offset rule runs once at the end.
    const DecodeResult over =
        decodeConfig(withCarriedItems(QStringLiteral("060102") + QStringLiteral("09010C") + QStringLiteral("0A0108")), base, context(ConfigPlace::File));
    ASSERT_TRUE(over);
    EXPECT_EQ(over->config.blockOffset, 8);
    EXPECT_EQ(over->config.blockCount, 8);
}

TEST(DecodeConfig, UserWidthKeptWhileTheWidthIsAutomatic)
{
    ReaderConfig base;
    base.wiegandWidth = 26;
    const DecodeResult d = decodeConfig(withCarriedItems(QStringLiteral("050100")), base, context(ConfigPlace::File));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->config.widthMode, WidthMode::Automatic);
    EXPECT_EQ(d->config.wiegandWidth, 26);
    const DecodeResult user = decodeConfig(withCarriedItems(QStringLiteral("050120")), base, context(ConfigPlace::File));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->config.widthMode, WidthMode::User);
    EXPECT_EQ(user->config.wiegandWidth, 32);
    EXPECT_EQ(user->config.significantBits, 32); // the width rule: 0 + 64 bits exceed 32
}

// What one producer writes, read back from the matching source and written
// again, gives the same items.
struct RoundTripCase {
    ReadMode readMode;
    ConfigPlace producer;
    ReaderKind reader;
    int conversion;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, EncodeOfDecodeGivesTheSameItems)
{
    const RoundTripCase &row = GetParam();
    const bool ble = row.reader == ReaderKind::Ble;
    ReaderConfig c = unusual();
    c.readMode = row.readMode;
    c.formats = row.readMode == ReadMode::Uid ? (ble ? 0x0400 : 0x0025) : row.readMode == ReadMode::ObjectCode ? 0x0008 : 0x0010;
    c.conversion = row.conversion;
    c.bitShift = row.conversion == 2 ? 0 : 2; // with the hash the base's shift and bit count stay
    c.significantBits = row.conversion == 2 ? 64 : 24;
    c.wiegandType = 1;
    c.widthMode = row.conversion == 2 ? WidthMode::Automatic : WidthMode::User;
    c.wiegandWidth = 26;
    c.ledColours = {QColor(248, 0, 0), QColor(0, 252, 0), QColor(16, 52, 80), QColor(248, 252, 0)};
    // A master card's key item lands in the block key; only the default bank key comes back as written.
    if (row.producer == ConfigPlace::MasterCards)
        c.bankKeyMode = BankKeyMode::Default;
    const ConfigItems items = encodeConfig(c, row.producer, row.reader);
    const DecodeResult d = decodeConfig(items, ReaderConfig(), context(row.producer, row.reader));
    ASSERT_TRUE(d) << hexOf(items).toStdString();
    EXPECT_EQ(encodeConfig(d->config, row.producer, row.reader), items);
    EXPECT_EQ(d->config.readMode, c.readMode);
    EXPECT_EQ(d->config.formats, c.formats);
    if (row.readMode == ReadMode::BlockCode) {
        EXPECT_EQ(d->config.blockKey, c.blockKey);
    }
    if (row.readMode == ReadMode::PassZones) {
        EXPECT_EQ(d->config.zones, c.zones);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ProducersAndModes, RoundTrip,
    ::testing::Values(RoundTripCase{ReadMode::Uid, ConfigPlace::Reader, ReaderKind::Usb, 1}, RoundTripCase{ReadMode::Uid, ConfigPlace::File, ReaderKind::Usb, 0},
                      RoundTripCase{ReadMode::Uid, ConfigPlace::MasterCards, ReaderKind::Usb, 2},
                      RoundTripCase{ReadMode::Uid, ConfigPlace::Reader, ReaderKind::Ble, 0}, RoundTripCase{ReadMode::Uid, ConfigPlace::File, ReaderKind::Ble, 1},
                      RoundTripCase{ReadMode::Uid, ConfigPlace::MasterCards, ReaderKind::Ble, 1},
                      RoundTripCase{ReadMode::ObjectCode, ConfigPlace::Reader, ReaderKind::Usb, 2}, RoundTripCase{ReadMode::ObjectCode, ConfigPlace::File, ReaderKind::Usb, 1},
                      RoundTripCase{ReadMode::ObjectCode, ConfigPlace::MasterCards, ReaderKind::Usb, 0},
                      RoundTripCase{ReadMode::BlockCode, ConfigPlace::Reader, ReaderKind::Usb, 0}, RoundTripCase{ReadMode::BlockCode, ConfigPlace::File, ReaderKind::Usb, 2},
                      RoundTripCase{ReadMode::BlockCode, ConfigPlace::MasterCards, ReaderKind::Usb, 1},
                      RoundTripCase{ReadMode::PassZones, ConfigPlace::Reader, ReaderKind::Usb, 1}, RoundTripCase{ReadMode::PassZones, ConfigPlace::File, ReaderKind::Usb, 0},
                      RoundTripCase{ReadMode::PassZones, ConfigPlace::MasterCards, ReaderKind::Usb, 1},
                      RoundTripCase{ReadMode::PassZones, ConfigPlace::MasterCards, ReaderKind::Usb, 2}),
    [](const auto &test) {
        const RoundTripCase &r = test.param;
        const char *producer = r.producer == ConfigPlace::Reader ? "reader" : r.producer == ConfigPlace::File ? "file" : "masters";
        return "mode" + std::to_string(int(r.readMode)) + "_" + producer + (r.reader == ReaderKind::Ble ? "_ble" : "_usb")
               + "_conversion" + std::to_string(r.conversion);
    });
