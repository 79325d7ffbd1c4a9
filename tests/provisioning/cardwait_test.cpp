// The card waits' state machines, driven tick by tick with status events, no window.
#include <gtest/gtest.h>


#include "link/hextext.h"
#include "link/readerlink.h"
#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"
#include "provisioning/masterconfigwait.h"
#include "provisioning/securecardwait.h"
#include "provisioning/singlecardwait.h"
#include "tests/support/simreader.h"

using namespace limra;

namespace {

class CardWaitTest : public ::testing::Test {
protected:
    // A status frame from the reader.
    void status(const char *code)
    {
        link.dispatch(hexToBytes(QStringLiteral("230800010D01") + QLatin1String(code) + QStringLiteral("24")));
    }
    // Follows a wait: its notices (acknowledged at once unless told otherwise) and its end.
    void follow(CardWait &wait, bool acknowledge = true)
    {
        QObject::connect(&wait, &CardWait::notice, [this, &wait, acknowledge](const CardWait::Notice &n) {
            notices << noticeText(n);
            if (acknowledge)
                wait.acknowledge();
        });
        QObject::connect(&wait, &CardWait::ended, [this](WaitResult r) { results << r; });
    }
    // Ticks until the wait ends or `n` ticks have passed.
    void ticks(CardWait &wait, int n)
    {
        for (int i = 0; i < n && wait.isOpen(); ++i)
            wait.tick();
    }

    ReaderLink link;
    Timings timings;
    QStringList notices;
    QList<WaitResult> results;
};

} // namespace

TEST_F(CardWaitTest, SingleCardCountsDownAndEndsWithNoOnTheLastTick)
{
    for (bool debug : {false, true}) {
        timings.debugMode = debug;
        results.clear();
        const int budget = timings.cardBudget();
        SingleCardWait wait(link, timings, QStringLiteral("c"), QStringLiteral("p"));
        follow(wait);
        wait.open();
        EXPECT_EQ(wait.secondsShown(), debug ? 120 : 15);
        wait.tick();
        EXPECT_EQ(wait.secondsShown(), budget / 10 - 1);
        ticks(wait, budget - 2);
        EXPECT_TRUE(wait.isOpen());
        wait.tick();
        EXPECT_EQ(results, QList<WaitResult>{WaitResult::No});
    }
}

TEST_F(CardWaitTest, SingleCardEndsWithYesAtTheReadersSuccessAndAFailureOnlyTells)
{
    status("00"); // arrived before the wait: not its outcome
    SingleCardWait wait(link, timings, QStringLiteral("c"), QStringLiteral("p"));
    follow(wait);
    wait.open();
    wait.tick();
    EXPECT_TRUE(wait.isOpen());
    status("0E");
    EXPECT_EQ(notices, QStringList{QStringLiteral("Ошибка: Мастер-карта не пуста.")});
    EXPECT_TRUE(wait.isOpen()); // the countdown goes on after the message
    link.dispatch(QByteArray("UID: 0102\r\n")); // a card read does not end it
    status("00");
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::Yes});
}

TEST_F(CardWaitTest, ANoticeHoldsTheCountdownUntilItIsSeen)
{
    const Timings fast = timings.shortened(100);
    SingleCardWait wait(link, fast, QStringLiteral("c"), QStringLiteral("p"));
    follow(wait, false);
    wait.open();
    status("0E");
    const int shown = wait.secondsShown(); // one tick would take it down
    ASSERT_TRUE(limra::testing::waitPastTimer(10 * wait.tickMs())); // ten ticks would have come by now
    EXPECT_EQ(wait.secondsShown(), shown);
    wait.acknowledge();
    EXPECT_TRUE(limra::testing::waitUntil([&] { return wait.secondsShown() < shown; }));
}

struct WritingCase {
    const char *name;
    int cards;
    const char *message;
};

class MasterWriting : public CardWaitTest, public ::testing::WithParamInterface<WritingCase> {};

TEST_P(MasterWriting, EachCardGetsAFreshBudgetAndTheLastOneTheMessage)
{
    QList<int> chosen;
    MasterCardWriting wait(link, timings, QStringLiteral("MifarePLUS "), false);
    follow(wait);
    QObject::connect(&wait, &MasterCardWriting::countChosen, [&](int count, bool) { chosen << count; });
    wait.open();
    EXPECT_EQ(wait.heading(), QStringLiteral("Подготовьте необходимое количество чистых карт MifarePLUS "));
    EXPECT_EQ(wait.page(), MasterCardWriting::Page::Count);
    wait.chooseCount(GetParam().cards);
    wait.chooseCount(GetParam().cards); // a second press starts nothing more
    EXPECT_EQ(chosen, QList<int>{GetParam().cards});
    status("00"); // before the writing started: not a card
    wait.writingStarted();
    EXPECT_EQ(wait.page(), MasterCardWriting::Page::Progress);
    for (int card = 1; card <= GetParam().cards; ++card) {
        EXPECT_EQ(wait.prompt(), QStringLiteral("Поднесите %1 из %2 карту MifarePLUS к USB-считывателю")
                                     .arg(card)
                                     .arg(GetParam().cards));
        ticks(wait, 148); // nearly the whole budget
        status("00");
    }
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::Done});
    EXPECT_EQ(wait.written(), GetParam().cards);
    EXPECT_EQ(notices, QStringList{QString::fromUtf8(GetParam().message)});
}

INSTANTIATE_TEST_SUITE_P(Counts, MasterWriting, ::testing::Values(
    WritingCase{"one", 1, "Мастер-карта успешно создана"}, WritingCase{"five", 5, "Мастер-карты успешно созданы"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CardWaitTest, MasterWritingFailureKeepsThePromptAndTimeOutCloses)
{
    MasterCardWriting wait(link, timings, QString(), false);
    follow(wait);
    wait.open();
    wait.chooseCount(2);
    wait.writingStarted();
    const QString prompt = wait.prompt();
    status("16");
    EXPECT_EQ(notices.last(), QStringLiteral("Ошибка: Ошибка аутентификации Mifare Classic."));
    EXPECT_EQ(wait.prompt(), prompt);
    ticks(wait, 149);
    EXPECT_TRUE(wait.isOpen());
    wait.tick(); // the 150th tick of this card
    EXPECT_FALSE(wait.isOpen());
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::No});
    EXPECT_EQ(notices.last(), QStringLiteral("Ошибка: время истекло"));
}

TEST_F(CardWaitTest, MasterWritingOptionGoesWithTheCount)
{
    bool protectedMode = false;
    MasterCardWriting wait(link, timings, QString(), true);
    QObject::connect(&wait, &MasterCardWriting::countChosen, [&](int, bool p) { protectedMode = p; });
    wait.open();
    wait.setOption(true);
    wait.chooseCount(1);
    EXPECT_TRUE(protectedMode);
}

TEST_F(CardWaitTest, ClearingCountsEachCardWithNoTimeLimit)
{
    ClearingWait wait(link, timings, QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("f"));
    follow(wait);
    wait.open();
    status("00");
    status("00"); // two in a row: both count
    EXPECT_EQ(wait.cleared(), 2);
    status("19");
    EXPECT_EQ(notices, QStringList{QStringLiteral("Ошибка: Карта пустая.")});
    ticks(wait, 3000);
    EXPECT_TRUE(wait.isOpen());
    wait.finishByUser();
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::Yes});
}

TEST_F(CardWaitTest, SecureCardsMasterAcceptedInTheLastTickThenNoCountdown)
{
    SecureCardWait wait(link, timings, QStringLiteral("c"), QStringLiteral("n"), QStringLiteral("f"));
    follow(wait);
    wait.open();
    ticks(wait, 149);
    status("00");
    EXPECT_TRUE(wait.isOpen());
    EXPECT_EQ(wait.page(), SecureCardWait::Page::Cards);
    ticks(wait, 2000); // the card page never times out
    status("00");
    status("13");
    status("00");
    EXPECT_EQ(wait.made(), 2);
    EXPECT_EQ(notices, QStringList{QStringLiteral("Ошибка: Приложена мастер-карта.")});
    wait.finishByUser();
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::Yes});
}

TEST_F(CardWaitTest, SecureCardsTimeOutWithNo)
{
    SecureCardWait wait(link, timings, QStringLiteral("c"), QStringLiteral("n"), QStringLiteral("f"));
    follow(wait);
    wait.open();
    ticks(wait, 150);
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::No});
}

TEST_F(CardWaitTest, MasterConfigEndsAfter30TicksOrWithTheReport)
{
    timings.debugMode = true; // does not change it
    MasterConfigWait wait(link, timings);
    follow(wait);
    EXPECT_EQ(wait.tickMs(), 1000);
    wait.open();
    EXPECT_EQ(wait.secondsLeft(), 30);
    ticks(wait, 29);
    EXPECT_TRUE(wait.isOpen());
    wait.tick();
    EXPECT_FALSE(wait.isOpen());
    EXPECT_EQ(results, QList<WaitResult>{WaitResult::No});
    EXPECT_TRUE(wait.report().isEmpty());

    wait.open();
    link.dispatch(hexToBytes(QStringLiteral("230C0105") + QStringLiteral("06010001020003") + QStringLiteral("24")));
    EXPECT_TRUE(wait.isOpen()); // another report is not the master card's
    link.dispatch(hexToBytes(QStringLiteral("230C0103") + QStringLiteral("06010001020003") + QStringLiteral("24")));
    EXPECT_FALSE(wait.isOpen());
    EXPECT_EQ(results, (QList<WaitResult>{WaitResult::No, WaitResult::Done}));
    EXPECT_EQ(wait.report(), QStringLiteral("06010001020003"));
}
