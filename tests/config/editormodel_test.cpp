#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "config/editormodel.h"
#include "tests/support/configitems.h"

using namespace limra;
using limra::testing::itemHex;
using limra::testing::itemsOf;
using limra::testing::withCarriedItems;

namespace {

EditorModel started(ReadMode readMode = ReadMode::Uid, bool ble = false)
{
    EditorModel m;
    m.readerKind = [ble] { return ble ? ReaderKind::Ble : ReaderKind::Usb; };
    m.startUp();
    if (readMode != ReadMode::Uid)
        m.userSetReadMode(readMode);
    return m;
}

std::vector<bool> checks(std::initializer_list<bool> l) { return std::vector<bool>(l); }

} // namespace

TEST(EditorRules, StartUpState)
{
    EditorModel m = started();
    EXPECT_EQ(m.view().formatEntries.size(), 7u);
    EXPECT_EQ(m.formatChecks(), std::vector<bool>(7, true));
    EXPECT_EQ(m.record().formats, 0x01E7);
    EXPECT_EQ(m.config().bitShift, 0);
    EXPECT_EQ(m.config().significantBits, 64);
    EXPECT_EQ(m.config().pulse, 3);
    EXPECT_TRUE(m.view().keyPanel);
    EXPECT_FALSE(m.view().bankPart || m.view().blePart || m.view().blockPanel || m.view().zonePanel);
}

TEST(EditorRules, PairingInReadModeOne)
{
    EditorModel m = started(ReadMode::ObjectCode);
    EXPECT_EQ(m.formatChecks(), checks({false, true}));
    m.userSetFormat(0, true);
    EXPECT_EQ(m.formatChecks(), checks({true, false}));
    m.userSetFormat(0, false);
    EXPECT_EQ(m.formatChecks(), checks({false, true}));
}

TEST(EditorRules, SingleEntryCannotBeUncheckedInModesTwoAndThree)
{
    for (ReadMode mode : {ReadMode::BlockCode, ReadMode::PassZones}) {
        EditorModel m = started(mode);
        m.userSetFormat(0, false);
        EXPECT_EQ(m.formatChecks(), checks({true})) << int(mode);
    }
}

TEST(EditorRules, BleEntriesStayUncheckedUntilClicked)
{
    EditorModel m = started(ReadMode::ObjectCode, true);
    m.userSetReadMode(ReadMode::Uid);
    EXPECT_EQ(m.formatChecks(), checks({false, false}));
    EXPECT_TRUE(m.view().blePart);
    EXPECT_FALSE(m.view().bankPart);
    m.userSetFormat(1, true);
    EXPECT_EQ(m.formatChecks(), checks({false, true}));
}

TEST(EditorRules, EmMarineOnlyGivesMaxbits24)
{
    EditorModel m = started();
    m.setShift(10);
    m.setSigbits(20);
    for (int i = 0; i < 6; ++i)
        m.userSetFormat(i, false);
    EXPECT_EQ(m.maxBits(), 24);
    EXPECT_EQ(m.shiftMax(), 23);
    EXPECT_EQ(m.significantBitsMax(), 24);
    EXPECT_EQ(m.config().bitShift, 0);
    EXPECT_EQ(m.config().significantBits, 24);
}

struct RuleCase {
    const char *name;
    std::function<void(EditorModel &)> setup;
    std::function<void(EditorModel &)> action;
    int shift, significantBits;
};

class BitRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(BitRules, ChainsEndInTheExpectedState)
{
    EditorModel m = started();
    GetParam().setup(m);
    GetParam().action(m);
    EXPECT_EQ(m.config().bitShift, GetParam().shift);
    EXPECT_EQ(m.config().significantBits, GetParam().significantBits);
}

INSTANTIATE_TEST_SUITE_P(Chains, BitRules, ::testing::Values(
    RuleCase{"width_26_resets", [](EditorModel &m) { m.userSetWidthMode(1); m.setShift(8); m.setSigbits(24); },
             [](EditorModel &m) { m.setWidth(26); }, 0, 26},
    RuleCase{"bits_over_user_width_lower_shift",
             [](EditorModel &m) { m.userSetWidthMode(1); m.setWidth(16); m.setShift(5); m.setSigbits(16); },
             [](EditorModel &m) { m.setSigbits(17); }, 4, 17},
    RuleCase{"bits_over_width_without_shift",
             [](EditorModel &m) { m.userSetWidthMode(1); m.setWidth(16); m.setShift(0); m.setSigbits(16); },
             [](EditorModel &m) { m.setSigbits(17); }, 0, 16},
    // Each correction fires the corrected field's rule again until nothing changes.
    RuleCase{"shift_lowers_bits_and_the_chain_goes_on", [](EditorModel &) {}, [](EditorModel &m) { m.setShift(3); }, 2, 62},
    RuleCase{"bits_over_64_lower_shift", [](EditorModel &m) { m.setShift(2); m.setSigbits(50); },
             [](EditorModel &m) { m.setSigbits(64); }, 0, 64}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(EditorRules, WidthNoteAndVisibility)
{
    EditorModel m = started();
    EXPECT_FALSE(m.widthShown());
    m.userSetWidthMode(1);
    m.setWidth(26);
    EXPECT_TRUE(m.widthShown() && m.noteShown());
    EXPECT_EQ(m.note(), QStringLiteral("+ CRC = 28 бит"));
    m.userSetWgType(1);
    EXPECT_EQ(m.note(), QStringLiteral("бит"));
    m.setWidth(3);
    EXPECT_EQ(m.config().wiegandWidth, 8);
}

TEST(EditorRules, OffsetAndByteCount)
{
    EditorModel m = started(ReadMode::BlockCode);
    m.setBlockoffset(8);
    m.setBlockoffset(9);
    EXPECT_EQ(m.config().blockOffset, 8);
    m.setBlockcount(1);
    m.setBlockoffset(15);
    EXPECT_EQ(m.config().blockOffset, 15);
    m.setBlockcount(3);
    EXPECT_EQ(m.config().blockCount, 1);
}

TEST(EditorRules, HashDisablesAndUnchecksButDoesNotRecheck)
{
    EditorModel m = started();
    m.userSetReversed(true);
    m.userSetHash(true);
    EXPECT_FALSE((m.config().conversion == 1));
    EXPECT_FALSE(m.conversionEnabled() || m.conversionEnabled());
    EXPECT_EQ(m.record().conversion, 2);
    m.userSetHash(false);
    EXPECT_TRUE(m.conversionEnabled() && m.conversionEnabled());
    EXPECT_FALSE((m.config().conversion == 1));
}

TEST(EditorRules, KeyAndNameFilters)
{
    EXPECT_EQ(EditorModel::keyText(QStringLiteral("a G 1f")), QStringLiteral("A1F"));
    EXPECT_EQ(EditorModel::bleNameText(QStringLiteral("Ж x@#$*-.!Z9 ")), QStringLiteral("x@#$*-.!Z9"));
    EXPECT_EQ(EditorModel::keyText(QString(40, QLatin1Char('a'))).size(), 32);
}

TEST(EditorRules, PulseInTenthsRoundsHalvesToEven)
{
    EditorModel m = started(ReadMode::PassZones);
    m.userSetPulseSeconds(0.25);
    EXPECT_EQ(m.config().pulse, 3); // 2.5 tenths: to even, then the lower limit
    m.userSetPulseSeconds(12.35);
    EXPECT_EQ(m.config().pulse, 124);
    m.userSetPulseSeconds(30.0);
    EXPECT_EQ(m.config().pulse, 300);
}

// ---- applyConfig -------------------------------------------------------------

TEST(ApplyConfig, DefaultTextOnUsbReader)
{
    EditorModel m = started(ReadMode::BlockCode);
    m.userSetBlockKey(QStringLiteral("11"));
    ASSERT_TRUE(m.applyConfig(kDefaultConfigItems, ConfigPlace::Default));
    EXPECT_EQ(m.config().readMode, ReadMode::Uid);
    EXPECT_EQ(m.formatChecks(), checks({true, true, true, true, true, false, false}));
    EXPECT_EQ(m.record().conversion, 0);
    EXPECT_EQ(m.config().bitShift, 0);
    EXPECT_EQ(m.config().significantBits, 64);
    EXPECT_EQ(m.config().wiegandType, 0);
    EXPECT_EQ(m.config().widthMode, WidthMode::Automatic);
    EXPECT_EQ(m.config().ledColours[0], QColor(248, 0, 0));
    EXPECT_EQ(m.config().ledColours[1], QColor(0, 252, 0));
    EXPECT_EQ(m.config().ledColours[2], QColor(248, 0, 0));
    EXPECT_EQ(m.config().ledColours[3], QColor(248, 252, 0));
    EXPECT_EQ(m.config().blockKey, QStringLiteral("11"));
}

TEST(ApplyConfig, DefaultTextOnBleReaderChecksTheFirstEntry)
{
    EditorModel m = started(ReadMode::Uid, true);
    ASSERT_TRUE(m.applyConfig(kDefaultConfigItems, ConfigPlace::Default));
    EXPECT_EQ(m.formatChecks(), checks({true, false}));
}

// An empty text would give the first format, a user width of 8 and 8 bits,
// a configuration nobody chose: it is refused and the editor stays as it was.
TEST(ApplyConfig, EmptyTextIsRefused)
{
    EditorModel m = started();
    m.userSetHash(true);
    m.markClean();
    const ReaderConfig before = m.config();
    const EditorModel::Applied applied = m.applyConfig(ConfigItems(), ConfigPlace::File);
    ASSERT_FALSE(applied);
    EXPECT_EQ(applied.refusal->kind, ConfigDecodeError::Kind::MissingItems);
    EXPECT_EQ(m.config(), before);
    EXPECT_FALSE(m.isDirty());
}

TEST(ApplyConfig, ConversionItem)
{
    EditorModel m = started();
    m.setSigbits(40);
    m.setShift(5);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("0202E7010303020912050100")), ConfigPlace::File));
    EXPECT_TRUE((m.config().conversion == 2));
    EXPECT_EQ(m.config().bitShift, 5);
    EXPECT_EQ(m.config().significantBits, 40);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("020221000303010000050100")), ConfigPlace::File));
    EXPECT_FALSE((m.config().conversion == 2));
    EXPECT_TRUE((m.config().conversion == 1));
    EXPECT_EQ(m.config().bitShift, 0);
    EXPECT_EQ(m.config().significantBits, 32);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("05010106010009")), ConfigPlace::File));
    EXPECT_EQ(m.config().widthMode, WidthMode::User);
    EXPECT_EQ(m.config().wiegandWidth, 8);
}

TEST(ApplyConfig, KeyItemBySourceAndMode)
{
    const QString userKey = QStringLiteral("00112233445566778899AABBCCDDEEFF");
    EditorModel m = started();
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("0B10") + userKey), ConfigPlace::Reader));
    EXPECT_EQ(m.config().bankKeyMode, BankKeyMode::User);
    EXPECT_EQ(m.config().bankKey, userKey);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("0B10") + defaultBankKey()), ConfigPlace::File));
    EXPECT_EQ(m.config().bankKeyMode, BankKeyMode::Default);
    EXPECT_EQ(m.config().bankKey, userKey);

    const QString before = m.config().blockKey;
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("0B10") + userKey), ConfigPlace::MasterCards));
    EXPECT_EQ(m.config().blockKey, userKey); // a master card's key goes to the block key
    EXPECT_EQ(m.config().bankKeyMode, BankKeyMode::Default);
    EXPECT_NE(before, userKey);

    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060100")), ConfigPlace::File));
    EXPECT_EQ(m.config().bankKey, userKey); // a file without item 0B leaves it
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060100")), ConfigPlace::Reader));
    EXPECT_TRUE(m.config().bankKey.isEmpty()); // the reader's does not

    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060103") + QStringLiteral("0B10000F")), ConfigPlace::File));
    EXPECT_TRUE(m.config().zones[0] && m.config().zones[3] && !m.config().zones[4]);
}

TEST(ApplyConfig, EmMarineBleNameAndSelectorOnlyFromTheReader)
{
    EditorModel m = started(ReadMode::Uid, true);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060100") + QStringLiteral("2003414200")), ConfigPlace::File));
    EXPECT_TRUE(m.emMarine());
    EXPECT_TRUE(m.config().bleName.isEmpty());
    EXPECT_TRUE(m.view().readModeEnabled);
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060100") + QStringLiteral("2003414200")), ConfigPlace::Reader));
    EXPECT_FALSE(m.emMarine());
    EXPECT_EQ(m.config().bleName, QStringLiteral("AB"));
    EXPECT_FALSE(m.view().readModeEnabled);
    m.readerKind = [] { return ReaderKind::Usb; };
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("140101")), ConfigPlace::Reader));
    EXPECT_TRUE(m.emMarine());
    EXPECT_TRUE(m.view().readModeEnabled);
    EXPECT_EQ(m.view().formatEntries.size(), 7u);
}

TEST(ApplyConfig, UnknownReadModeKeepsModeZeroAndBadNumbersAreRefused)
{
    EditorModel m = started();
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060107")), ConfigPlace::File));
    EXPECT_EQ(m.config().readMode, ReadMode::Uid);
    EXPECT_FALSE(m.applyConfig(withCarriedItems(QStringLiteral("060100040105")), ConfigPlace::File));
    EXPECT_FALSE(m.applyConfig(withCarriedItems(QStringLiteral("04020100")), ConfigPlace::File));
}

TEST(ApplyConfig, RefusedConfigurationLeavesTheEditorAsItWas)
{
    EditorModel m = started(ReadMode::BlockCode);
    m.setBlockcount(3);
    m.userSetBlockKey(QStringLiteral("ABC"));
    m.userHighlightFormat(0);
    m.markClean();
    const ReaderConfig before = m.config();
    // The read mode, the byte count and the formats come before the refused Wiegand type.
    EXPECT_FALSE(m.applyConfig(withCarriedItems(QStringLiteral("060101") + QStringLiteral("0A0105")
                                                            + QStringLiteral("02020800") + QStringLiteral("0401FF")),
                               ConfigPlace::File));
    EXPECT_EQ(m.config(), before);
    EXPECT_FALSE(m.isDirty());
    EXPECT_EQ(m.view().formatEntries.size(), 1u);
    EXPECT_EQ(m.view().highlightedFormat, 0);
    EXPECT_TRUE(m.view().blockPanel);
    // The rules run as before.
    m.setShift(3);
    EXPECT_EQ(m.config().bitShift, 2);
    EXPECT_EQ(m.config().significantBits, 62);
}

TEST(ApplyDecoded, PutsAConfigurationDecodedElsewhere)
{
    EditorModel m = started(ReadMode::BlockCode);
    m.userHighlightFormat(0);
    m.setColour(1, QColor(0, 0, 248));
    const DecodeResult d =
        decodeConfig(withCarriedItems(QStringLiteral("060101") + QStringLiteral("02020800") + QStringLiteral("0C0800F8E00700F8E0FF")),
                     m.config(), m.decodeContext(ConfigPlace::MasterCards));
    ASSERT_TRUE(d);
    ASSERT_TRUE(m.applyDecoded(*d, ConfigPlace::MasterCards));
    EXPECT_EQ(m.config(), d->config);
    EXPECT_EQ(m.formatChecks(), checks({true, false}));
    EXPECT_EQ(m.view().highlightedFormat, -1); // the list was refilled
    EXPECT_TRUE(m.view().keyPanel);
    EXPECT_FALSE(m.view().blockPanel);
    EXPECT_EQ(m.ledCaption(0), QColor(Qt::white)); // red: the contrast rule from now on
    EXPECT_EQ(m.ledCaption(1), QColor(Qt::black)); // green
}

TEST(ApplyDecoded, RefusesWhatTheEditorCannotHold)
{
    EditorModel m = started();
    const ReaderConfig before = m.config();
    // Decoded for a BLE reader, put into the editor of a USB reader.
    DecodeResult ble =
        decodeConfig(kDefaultConfigItems, m.config(), DecodeContext{ConfigPlace::Default, ReaderKind::Ble, true});
    ASSERT_TRUE(ble);
    EXPECT_FALSE(m.applyDecoded(*ble, ConfigPlace::Default));
    DecodedConfig wide{before, true};
    wide.config.blockCount = 9;
    EXPECT_FALSE(m.applyDecoded(wide, ConfigPlace::File));
    DecodedConfig key{before, true};
    key.config.bankKey = QStringLiteral("xyz");
    EXPECT_FALSE(m.applyDecoded(key, ConfigPlace::File));
    EXPECT_EQ(m.config(), before);
}

// Every editor state the wire form carries survives buildConfig, parseConfig
// and applyConfig for the file producer.
TEST(ApplyConfig, FileRoundTripOfRandomEditorStates)
{
    QRandomGenerator rng(20261210);
    for (int round = 0; round < 400; ++round) {
        EditorModel a = started();
        auto pick = [&](int lo, int hi) { return int(rng.bounded(lo, hi + 1)); };
        a.userSetReadMode(ReadMode(pick(0, kReadModeCount - 1)));
        for (size_t i = 0; i < a.view().formatEntries.size(); ++i)
            a.userSetFormat(int(i), rng.bounded(2) == 1);
        a.userSetWgType(pick(0, 1));
        a.userSetWidthMode(pick(0, 1));
        a.setWidth(pick(8, 64));
        a.userSetHash(rng.bounded(3) == 0);
        a.userSetReversed(!(a.config().conversion == 2) && rng.bounded(2) == 1);
        // A consistent state: shift and bit count within the width in use.
        const int limit = a.widthShown() ? std::min(a.config().wiegandWidth, a.maxBits()) : a.maxBits();
        a.setShift(0);
        a.setSigbits(pick(1, limit));
        a.setShift(pick(0, std::min(a.shiftMax(), limit - a.config().significantBits)));
        a.setBlocknum(pick(0, 255));
        a.setBlockcount(pick(1, 8));
        a.setBlockoffset(pick(0, 15));
        QString key;
        for (int i = 0; i < 32; ++i)
            key += QStringLiteral("0123456789ABCDEF").at(pick(0, 15));
        a.userSetBlockKey(key);
        a.userSetBankKeyMode(rng.bounded(2) ? BankKeyMode::User : BankKeyMode::Default);
        a.userSetBankKey(key.mid(3) + key.left(3));
        a.setPulse(pick(3, 300));
        std::array<bool, 64> zones{};
        for (bool &z : zones)
            z = rng.bounded(2) == 1;
        a.userSetZones(zones);
        for (int i = 0; i < 4; ++i)
            a.setColour(i, reducedColour(QColor(pick(0, 255), pick(0, 255), pick(0, 255))));

        EditorModel b = started();
        ASSERT_TRUE(b.applyConfig(a.buildItems(ConfigPlace::File), ConfigPlace::File));
        const ReaderConfig x = a.record(), y = b.record();
        SCOPED_TRACE(round);
        ASSERT_EQ(y.readMode, x.readMode);
        EXPECT_EQ(y.formats, x.formats);
        EXPECT_EQ(y.wiegandType, x.wiegandType);
        EXPECT_EQ(y.widthMode, x.widthMode);
        EXPECT_EQ(y.wireWidth(), x.wireWidth());
        EXPECT_EQ(y.ledColours, x.ledColours);
        if (x.readMode != ReadMode::PassZones) {
            EXPECT_EQ(y.conversion, x.conversion);
            if (x.conversion != 2) {
                EXPECT_EQ(y.bitShift, x.bitShift);
                EXPECT_EQ(y.significantBits, x.significantBits);
            }
        }
        if (x.readMode == ReadMode::BlockCode) {
            EXPECT_EQ(y.blockNumber, x.blockNumber);
            EXPECT_EQ(y.blockOffset, x.blockOffset);
            EXPECT_EQ(y.blockCount, x.blockCount);
            EXPECT_EQ(y.blockKey, x.blockKey);
        }
        if (x.readMode == ReadMode::Uid) {
            EXPECT_EQ(y.bankKeyMode, x.bankKeyMode);
            if (x.bankKeyMode == BankKeyMode::User) {
                EXPECT_EQ(y.bankKey, x.bankKey);
            }
        }
        if (x.readMode == ReadMode::PassZones) {
            EXPECT_EQ(y.pulse, x.pulse);
            EXPECT_EQ(y.zones, x.zones);
        }
    }
}

TEST(ApplyConfig, RandomItemBytesKeepTheEditorWithinItsLimits)
{
    QRandomGenerator rng(7);
    // Small values and item tags are common, as in configurations.
    const QByteArray common = QByteArray::fromHex("00010203040506080B0C0FFF");
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        const int n = int(rng.bounded(0, 60));
        for (int i = 0; i < n; ++i)
            bytes += rng.bounded(2) == 1 ? common.at(int(rng.bounded(common.size()))) : char(rng.bounded(256));
        if (rng.bounded(2) == 1) // half of them behind the items every configuration carries
            bytes = withCarriedItems(QString()).toBytes() + bytes;
        EditorModel m = started(ReadMode(rng.bounded(kReadModeCount)), rng.bounded(2) == 1);
        const ReaderConfig before = m.config();
        if (!m.applyConfig(ConfigItems::parse(bytes), ConfigPlace(rng.bounded(4)))) {
            ASSERT_EQ(m.config(), before);
        }
        ASSERT_GE(m.config().bitShift, 0);
        ASSERT_LE(m.config().bitShift, m.shiftMax());
        ASSERT_GE(m.config().significantBits, 1);
        ASSERT_LE(m.config().significantBits, m.significantBitsMax());
        ASSERT_EQ(m.formatChecks().size(), m.view().formatEntries.size());
    }
}

TEST(ApplyConfig, OverLongKeysAndNamesAreHeldAsTheRecordDefinesThem)
{
    EditorModel m = started();
    const QString twentyBytes = QStringLiteral("00112233445566778899AABBCCDDEEFF01020304");
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060102") + QStringLiteral("0B14") + twentyBytes
                                                           + QStringLiteral("040101")),
                              ConfigPlace::File));
    EXPECT_EQ(m.config().blockKey, twentyBytes.left(32));
    const ConfigItems written = m.buildItems(ConfigPlace::File);
    EXPECT_EQ(itemHex(written, 0x0B), twentyBytes.left(32));
    EXPECT_EQ(itemHex(written, 0x04), QStringLiteral("01")); // the items after the key are intact

    m.readerKind = [] { return ReaderKind::Ble; };
    ASSERT_TRUE(m.applyConfig(withCarriedItems(QStringLiteral("060100") + QStringLiteral("2029") + QString(40, QLatin1Char('A')).replace(QLatin1String("A"), QLatin1String("41"))
                                          + QStringLiteral("00")),
                              ConfigPlace::Reader));
    EXPECT_EQ(m.config().bleName, QString(31, QLatin1Char('A')));
    const ConfigItems reader = m.buildItems(ConfigPlace::Reader);
    EXPECT_EQ(reader.value(0x20).size(), 32); // 31 characters and the closing 00
    EXPECT_EQ(itemHex(reader, 0x04), QStringLiteral("00"));
}
