#include <gtest/gtest.h>

#include "link/hextext.h"

using namespace limra;

struct TagCase {
    const char *name;
    int tag;
    const char *packet;
    Packet kind;
    const char *expected;
};

class TagValue : public ::testing::TestWithParam<TagCase> {};

TEST_P(TagValue, FindsTheFirstCompleteItem)
{
    const TagCase &c = GetParam();
    EXPECT_EQ(tagValue(quint8(c.tag), QString::fromLatin1(c.packet), c.kind), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Items, TagValue, ::testing::Values(
    TagCase{"status", 0x0D, "0D0100", Packet::Items, "00"},
    TagCase{"value_missing", 0x0D, "0D01", Packet::Items, ""},
    TagCase{"whole_frame_with_header", 0x0D, "230800010D010024", Packet::Frame, "00"},
    TagCase{"whole_frame_without_header", 0x0D, "230800010D010024", Packet::Items, ""},
    TagCase{"zero_tag_is_filler", 0x02, "000201AA", Packet::Items, "AA"},
    TagCase{"zero_length_is_skipped", 0x02, "0100020201BB", Packet::Items, ""},
    TagCase{"odd_digit_ignored", 0x0D, "0D01005", Packet::Items, "00"},
    TagCase{"first_item_wins", 0x02, "0201AA0201BB", Packet::Items, "AA"},
    TagCase{"later_item", 0x06, "0202E7010601030401", Packet::Items, "03"},
    TagCase{"zero_tag_never_found", 0x00, "0001AA", Packet::Items, ""},
    TagCase{"lower_case_digits_kept", 0x0D, "0d01ab", Packet::Items, "ab"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(HexToInt, ReadsHexByTheRules)
{
    EXPECT_EQ(hexToInt(QStringLiteral("ff")), 255);
    EXPECT_EQ(hexToInt(QStringLiteral("FF")), 255);
    EXPECT_EQ(hexToInt(QString()), 0);
    EXPECT_EQ(hexToInt(QStringLiteral("G")), -1);
    EXPECT_EQ(hexToInt(QStringLiteral("1000000000000000F")), qint64(0x1000000000000000));
    EXPECT_EQ(hexToInt(QStringLiteral("FFFFFFFFFFFFFFFF")), -1);
    EXPECT_EQ(hexToInt(QStringLiteral("1G")), 15); // 1*16 + (-1)
}

TEST(SwapBytes, ReversesBytePairs)
{
    EXPECT_EQ(swapBytes(QStringLiteral("0102A0")), QStringLiteral("A00201"));
    EXPECT_EQ(swapBytes(QStringLiteral("123")), QStringLiteral("2301"));
    EXPECT_EQ(swapBytes(QStringLiteral("ABC")), QStringLiteral("BC0A"));
    EXPECT_EQ(swapBytes(QString()), QString());
}

TEST(HexBytes, TwoDigitsPerByteAndOddTailDropped)
{
    EXPECT_EQ(bytesToHex(QByteArray("\x0a\x00\xff", 3)), QStringLiteral("0A00FF"));
    EXPECT_EQ(hexToBytes(QStringLiteral("2305050124")), QByteArray("\x23\x05\x05\x01\x24", 5));
    EXPECT_EQ(hexToBytes(QStringLiteral("ABC")), QByteArray("\xAB", 1));
}

