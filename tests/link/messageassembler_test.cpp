#include <gtest/gtest.h>

#include "link/hextext.h"
#include "link/messageassembler.h"

using namespace limra;

struct HoldCase {
    const char *name;
    QByteArray bytes;
    bool incomplete;
};

class MessageHold : public ::testing::TestWithParam<HoldCase> {};

TEST_P(MessageHold, HoldsOnlyUnfinishedMessages)
{
    EXPECT_EQ(isIncompleteMessage(GetParam().bytes), GetParam().incomplete);
}

INSTANTIATE_TEST_SUITE_P(Messages, MessageHold, ::testing::Values(
    HoldCase{"empty", QByteArray(), false},
    HoldCase{"frame_start_only", hexToBytes(QStringLiteral("23")), true},
    HoldCase{"frame_short", hexToBytes(QStringLiteral("230B0B010D")), true},
    HoldCase{"frame_whole", hexToBytes(QStringLiteral("230800010D010024")), false},
    HoldCase{"frame_bad_length", hexToBytes(QStringLiteral("230100")), false},
    HoldCase{"line_without_end", QByteArray("UID: 04A1B2"), true},
    HoldCase{"line_whole", QByteArray("UID: 04A1B2\r\n"), false},
    HoldCase{"random_without_end", QByteArray("Random UID: 08AA"), true},
    HoldCase{"prefix_start", QByteArray("Rand"), true},
    HoldCase{"noise", QByteArray("hello"), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SplitMessages, MergedMessagesComeOutOneByOne)
{
    QByteArray held = QByteArray("UID: 0102\r\n") + hexToBytes(QStringLiteral("230F00011308020002000400000124"))
                      + hexToBytes(QStringLiteral("230800010D010024")) + QByteArray("MIR: 77\r\n") + QByteArray("UID: 01");
    const QList<QByteArray> messages = splitMessages(held);
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0], QByteArray("UID: 0102\r\n"));
    EXPECT_EQ(bytesToHex(messages[1]), QStringLiteral("230F00011308020002000400000124"));
    EXPECT_EQ(bytesToHex(messages[2]), QStringLiteral("230800010D010024"));
    EXPECT_EQ(messages[3], QByteArray("MIR: 77\r\n"));
    EXPECT_EQ(held, QByteArray("UID: 01")); // the incomplete line waits for its rest
}

TEST(SplitMessages, OtherBytesGoOutWhole)
{
    QByteArray held = hexToBytes(QStringLiteral("0123"));
    EXPECT_EQ(splitMessages(held), QList<QByteArray>{hexToBytes(QStringLiteral("0123"))});
    EXPECT_TRUE(held.isEmpty());
    held = hexToBytes(QStringLiteral("230100AA"));
    EXPECT_EQ(splitMessages(held).size(), 1);
}
