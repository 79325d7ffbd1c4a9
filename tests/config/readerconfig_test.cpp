#include <gtest/gtest.h>

#include "config/readerconfig.h"
#include "link/hextext.h"

using namespace limra;

namespace {
QString item(const QString &items, int tag) { return parseConfig(items)[size_t(tag)]; }
}

TEST(BuildConfig, ZonesPulseAndFixedConversionInPassZoneMode)
{
    ReaderConfig c;
    c.readMode = 3;
    c.conversion = 1;
    c.bitShift = 5;
    c.significantBits = 20;
    c.zones[0] = true;
    QString items = buildConfig(c, Producer::Reader, ReaderKind::Usb);
    EXPECT_TRUE(items.startsWith(QStringLiteral("0202E701") + QStringLiteral("0303000040") + QStringLiteral("060103")));
    EXPECT_EQ(item(items, 0x0B), QStringLiteral("0000000000000001") + QString(16, QLatin1Char('0')));
    EXPECT_EQ(item(items, 0x08), QStringLiteral("0300"));
    EXPECT_EQ(item(buildConfig(c, Producer::File, ReaderKind::Usb), 0x03), QStringLiteral("000040"));
    EXPECT_EQ(item(buildConfig(c, Producer::MasterCards, ReaderKind::Usb), 0x03), QStringLiteral("010514"));
    c.zones[0] = false;
    c.zones[63] = true;
    c.pulse = 300;
    items = buildConfig(c, Producer::File, ReaderKind::Usb);
    EXPECT_EQ(item(items, 0x0B), QStringLiteral("80000000000000000000000000000000"));
    EXPECT_EQ(item(items, 0x08), QStringLiteral("2C01"));
}

TEST(BuildConfig, BleNameOnlyForTheBleReaderAndNoColours)
{
    ReaderConfig c;
    c.bleName = QStringLiteral("AB");
    const QString reader = buildConfig(c, Producer::Reader, ReaderKind::Ble);
    EXPECT_EQ(item(reader, 0x20), QStringLiteral("414200"));
    EXPECT_TRUE(item(reader, 0x0B).isEmpty());
    EXPECT_TRUE(item(reader, 0x0C).isEmpty());
    const QString file = buildConfig(c, Producer::File, ReaderKind::Ble);
    EXPECT_TRUE(item(file, 0x20).isEmpty());
    EXPECT_EQ(item(file, 0x0B), defaultBankKey());
    EXPECT_EQ(item(file, 0x0C), QStringLiteral("1F04E00700F800FC")); // the initial colours
    c.bleName.clear();
    EXPECT_TRUE(item(buildConfig(c, Producer::Reader, ReaderKind::Ble), 0x20).isEmpty());
}

TEST(BuildConfig, ItemOrderAndKeyPadding)
{
    ReaderConfig c;
    c.readMode = 2;
    c.blockKey = QString(30, QLatin1Char('F'));
    c.wiegandWidth = 26;
    c.wiegandType = 1;
    const QString items = buildConfig(c, Producer::File, ReaderKind::Usb);
    EXPECT_EQ(items, QStringLiteral("0202E701") + QStringLiteral("030300") + QStringLiteral("0040") + QStringLiteral("060102")
                         + QStringLiteral("08020100") + QStringLiteral("090100") + QStringLiteral("0A0108")
                         + QStringLiteral("0B1000") + QString(30, QLatin1Char('F')) + QStringLiteral("040101")
                         + QStringLiteral("05011A") + QStringLiteral("0C081F04E00700F800FC"));
    EXPECT_EQ(c.blockKey, QStringLiteral("00") + QString(30, QLatin1Char('F')));
    ReaderConfig user;
    user.bankKeyMode = BankKeyMode::User;
    user.bankKey = QStringLiteral("ABC");
    EXPECT_EQ(item(buildConfig(user, Producer::Reader, ReaderKind::Usb), 0x0B), QString(29, QLatin1Char('0')) + QStringLiteral("ABC"));
    EXPECT_EQ(user.bankKey.size(), 32);
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

TEST(parseConfig, LaterItemsWinAndShortValuesAreKept)
{
    const ConfigTable t = parseConfig(QStringLiteral("060101060103") + QStringLiteral("0C0800F8"));
    EXPECT_EQ(t[0x06], QStringLiteral("03"));
    EXPECT_EQ(t[0x0C], QStringLiteral("00F8"));
    const ConfigTable d = parseConfig(kDefaultConfigItems);
    EXPECT_EQ(d[0x02], QStringLiteral("6700"));
    EXPECT_EQ(d[0x03], QStringLiteral("000040"));
    EXPECT_EQ(d[0x0C], QStringLiteral("00F8E00700F8E0FF"));
    EXPECT_TRUE(d[0x0B].isEmpty());
}

struct ColourCase {
    QColor colour;
    const char *code;
    QColor back;
    QColor caption;
};

class ColourCode : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourCode, BothWays)
{
    const ColourCase &c = GetParam();
    EXPECT_EQ(colourCode(c.colour), QString::fromLatin1(c.code));
    EXPECT_EQ(colourFromCode(QString::fromLatin1(c.code)), c.back);
    EXPECT_EQ(colourCode(c.back), QString::fromLatin1(c.code));
    EXPECT_EQ(captionColour(c.back), c.caption);
    EXPECT_EQ(reducedColour(c.colour), c.back);
}

INSTANTIATE_TEST_SUITE_P(Colours, ColourCode, ::testing::Values(
    ColourCase{QColor(255, 255, 255), "FFFF", QColor(248, 252, 248), Qt::black},
    ColourCase{QColor(0, 0, 255), "1F00", QColor(0, 0, 248), Qt::white},
    ColourCase{QColor(18, 52, 86), "AA11", QColor(16, 52, 80), Qt::white},
    ColourCase{QColor(255, 0, 0), "00F8", QColor(248, 0, 0), Qt::white},
    ColourCase{QColor(0, 255, 0), "E007", QColor(0, 252, 0), Qt::black},
    ColourCase{QColor(255, 255, 0), "E0FF", QColor(248, 252, 0), Qt::black},
    ColourCase{QColor(0, 128, 255), "1F04", QColor(0, 128, 248), Qt::white},
    ColourCase{QColor(255, 128, 0), "00FC", QColor(248, 128, 0), Qt::black}));

TEST(ZoneMask, EncodesAndDecodes)
{
    std::array<bool, 64> z{};
    z.fill(true);
    EXPECT_EQ(zoneMask(z), QStringLiteral("FFFFFFFFFFFFFFFF0000000000000000"));
    z.fill(false);
    z[0] = z[8] = true;
    EXPECT_EQ(zoneMask(z), QStringLiteral("00000000000001010000000000000000"));
    EXPECT_TRUE(decodeZoneMask(QStringLiteral("000F"), z));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(z[size_t(i)], i < 4) << i;
    EXPECT_FALSE(decodeZoneMask(QStringLiteral("000f"), z)); // lower case: unchanged
    EXPECT_TRUE(z[0]);
    EXPECT_EQ(bitsToHex(QStringLiteral("101")), QStringLiteral("05"));
    EXPECT_EQ(bitsToHex(QStringLiteral("111111111")), QStringLiteral("01FF"));
}
