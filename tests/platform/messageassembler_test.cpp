#include <gtest/gtest.h>

#include "link/hextext.h"
#include "platform/messageassembler.h"

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
