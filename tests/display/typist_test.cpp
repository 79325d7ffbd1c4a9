// Typing runs from a timer on the main loop, one key every 10 ms, with a
// bounded queue.
#include <gtest/gtest.h>

#include "display/typist.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

TEST(Typist, IdentifiersWaitTheirTurnAndNeverInterleave)
{
    RecordingKeys keys;
    IdentifierTypist typist(&keys);
    EXPECT_TRUE(typist.type(QStringLiteral("12"), IdentifierTypist::View::Dec, true));
    EXPECT_TRUE(typist.type(QStringLiteral("AB"), IdentifierTypist::View::Hex, false));
    EXPECT_EQ(keys.events, QStringList{QStringLiteral("1")}); // the rest comes from the timer
    ASSERT_TRUE(waitUntil([&] { return !typist.busy(); }));
    EXPECT_EQ(keys.events, (QStringList{"1", "2", "enter", "latin", "A", "B", "restore"}));
}

TEST(Typist, AFloodFillsTheQueueAndTheRestIsNotTyped)
{
    RecordingKeys keys;
    IdentifierTypist typist(&keys);
    int accepted = 0;
    for (int i = 0; i < 100; ++i)
        accepted += typist.type(QStringLiteral("7"), IdentifierTypist::View::Dec, false) ? 1 : 0;
    EXPECT_EQ(accepted, 1 + IdentifierTypist::kMaxWaiting);
    ASSERT_TRUE(waitUntil([&] { return !typist.busy(); }));
    EXPECT_EQ(keys.events.size(), accepted);
}

TEST(Typist, StoppingInTheMiddleRestoresTheLayout)
{
    RecordingKeys keys;
    auto typist = std::make_unique<IdentifierTypist>(&keys);
    typist->type(QStringLiteral("ABCDEF"), IdentifierTypist::View::Hex, true);
    ASSERT_TRUE(waitUntil([&] { return keys.events.contains(QStringLiteral("B")); })); // typing, four keys to go
    ASSERT_FALSE(keys.events.contains(QStringLiteral("enter")));
    typist.reset(); // the window closes while typing
    EXPECT_EQ(keys.events.last(), QStringLiteral("restore"));
    deliverPosted(); // what it left posted has run
    EXPECT_FALSE(keys.events.contains(QStringLiteral("enter")));
}
