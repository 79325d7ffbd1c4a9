// The card waits' state machines, driven tick by tick with status events, no window.
#include <gtest/gtest.h>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "provisioning/cardwait.h"

using namespace limra;

namespace {

// Records what a wait asks of its host.
struct RecordingHost : CardWaitHost {
    void startTimer() override { running = !finished; }
    void stopTimer() override { running = false; }
    void message(const QString &text) override
    {
        messages << text;
        EXPECT_FALSE(running) << "a message while the timer runs";
    }
    void finish(WaitResult r) override
    {
        finished = true;
        running = false;
        result = r;
    }
    void changed() override { ++changes; }

    bool running = false;
    bool finished = false;
    WaitResult result = WaitResult::Cancel;
    QStringList messages;
    int changes = 0;
};

class CardWaitTest : public ::testing::Test {
protected:
    // A status frame from the reader.
    void status(const char *code) { link.dispatch(hexToBytes(QStringLiteral("230800010D01") + QLatin1String(code) + QStringLiteral("24"))); }
    // Ticks until the wait finishes or `n` ticks have passed.
    void ticks(CardWait &wait, int n)
    {
        for (int i = 0; i < n && !host.finished; ++i)
            wait.tick();
    }
    CardEvents &events() { return link.cardEvents(); }

    ReaderLink link;
    RecordingHost host;
};

} // namespace

TEST_F(CardWaitTest, SingleCardCountsDownAndEndsWithNoOnTheLastTick)
{
    for (int budget : {CardWait::kBudgetTicks, CardWait::kDebugBudgetTicks}) {
        host = RecordingHost();
        SingleCardWait wait(events(), QStringLiteral("c"), QStringLiteral("p"));
        wait.open(host, budget);
        EXPECT_TRUE(host.running);
        EXPECT_EQ(wait.secondsShown(), budget / 10);
        wait.tick();
        EXPECT_EQ(wait.secondsShown(), budget / 10 - 1);
        ticks(wait, budget - 2);
        EXPECT_FALSE(host.finished);
        wait.tick();
        EXPECT_TRUE(host.finished);
        EXPECT_EQ(host.result, WaitResult::No);
    }
}

TEST_F(CardWaitTest, SingleCardSuccessEndsWithYesAndStaysInPlace)
{
    status("00"); // arrived before the wait: the caller's reset drops it
    events().consume();
    SingleCardWait wait(events(), QStringLiteral("c"), QStringLiteral("p"));
    wait.open(host, CardWait::kBudgetTicks);
    wait.tick();
    EXPECT_FALSE(host.finished);
    status("0E");
    wait.tick();
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Ошибка: Мастер-карта не пуста.")});
    EXPECT_TRUE(host.running); // the countdown goes on after the message
    EXPECT_FALSE(events().waiting());
    status("00");
    link.dispatch(QByteArray("UID: 0102\r\n")); // a card read drops the waiting status
    wait.tick();
    EXPECT_FALSE(host.finished);
    status("00");
    wait.tick();
    EXPECT_EQ(host.result, WaitResult::Yes);
    EXPECT_TRUE(events().success()); // left in place
}

struct WritingCase {
    const char *name;
    int cards;
    const char *message;
};

class MasterWriting : public CardWaitTest, public ::testing::WithParamInterface<WritingCase> {};

TEST_P(MasterWriting, EachCardGetsAFreshBudgetAndTheLastOneTheMessage)
{
    QList<int> started;
    MasterCardWriting wait(events(), [&](int count, bool) { started << count; return true; }, [] { return true; });
    wait.cardType = QStringLiteral("MifarePLUS ");
    wait.open(host, CardWait::kBudgetTicks);
    EXPECT_EQ(wait.heading, QStringLiteral("Подготовьте необходимое количество чистых карт MifarePLUS "));
    EXPECT_EQ(wait.page, MasterCardWriting::Page::Count);
    EXPECT_FALSE(host.running);
    wait.chooseCount(GetParam().cards);
    EXPECT_EQ(started, QList<int>{GetParam().cards});
    EXPECT_EQ(wait.page, MasterCardWriting::Page::Progress);
    for (int card = 1; card <= GetParam().cards; ++card) {
        EXPECT_EQ(wait.prompt, QStringLiteral("Поднесите %1 из %2 карту MifarePLUS к USB-считывателю")
                                   .arg(card)
                                   .arg(GetParam().cards));
        ticks(wait, 148); // nearly the whole budget
        status("00");
        wait.tick();
    }
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(host.result, WaitResult::Cancel);
    EXPECT_EQ(host.messages, QStringList{QString::fromUtf8(GetParam().message)});
}

INSTANTIATE_TEST_SUITE_P(Counts, MasterWriting, ::testing::Values(
    WritingCase{"one", 1, "Мастер-карта успешно создана"}, WritingCase{"five", 5, "Мастер-карты успешно созданы"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CardWaitTest, MasterWritingFailureKeepsThePromptAndTimeOutCloses)
{
    MasterCardWriting wait(events(), [](int, bool) { return true; }, [] { return true; });
    wait.open(host, CardWait::kBudgetTicks);
    wait.chooseCount(2);
    const QString prompt = wait.prompt;
    status("16");
    wait.tick();
    EXPECT_EQ(host.messages.last(), QStringLiteral("Ошибка: Ошибка аутентификации Mifare Classic."));
    EXPECT_EQ(wait.prompt, prompt);
    ticks(wait, 148);
    EXPECT_FALSE(host.finished);
    wait.tick(); // the 150th tick of this card
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(host.messages.last(), QStringLiteral("Ошибка: время истекло"));
}

TEST_F(CardWaitTest, MasterWritingRefusedStartCloses)
{
    MasterCardWriting wait(events(), [](int, bool) { return false; }, [] { return true; });
    wait.open(host, CardWait::kBudgetTicks);
    wait.chooseCount(3);
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(host.result, WaitResult::Cancel);
    EXPECT_FALSE(host.running);
}

TEST_F(CardWaitTest, MasterWritingOptionNeedsTheAnswerYes)
{
    bool answer = false;
    bool protectedMode = false;
    MasterCardWriting wait(events(), [&](int, bool p) { protectedMode = p; return true; }, [&] { return answer; });
    wait.open(host, CardWait::kBudgetTicks);
    wait.setOption(true);
    EXPECT_FALSE(wait.optionChecked);
    answer = true;
    wait.setOption(true);
    EXPECT_TRUE(wait.optionChecked);
    wait.chooseCount(1);
    EXPECT_TRUE(protectedMode);
}

TEST_F(CardWaitTest, ClearingCountsOnTheNextTickWithNoTimeLimit)
{
    ClearingWait wait(events(), QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("f"));
    wait.open(host, CardWait::kBudgetTicks);
    status("00");
    wait.tick();
    EXPECT_EQ(wait.countShown, 0);
    wait.tick();
    EXPECT_EQ(wait.countShown, 1);
    status("19");
    wait.tick();
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Ошибка: Карта пустая.")});
    ticks(wait, 3000);
    EXPECT_FALSE(host.finished);
    wait.finishByUser();
    EXPECT_EQ(host.result, WaitResult::Yes);
    EXPECT_FALSE(host.running);
}

TEST_F(CardWaitTest, SecureCardsMasterAcceptedInTheLastTickThenNoCountdown)
{
    SecureCardWait wait(events(), QStringLiteral("c"), QStringLiteral("n"), QStringLiteral("f"));
    wait.open(host, CardWait::kBudgetTicks);
    ticks(wait, 149);
    status("00");
    wait.tick();
    EXPECT_FALSE(host.finished);
    EXPECT_EQ(wait.page, SecureCardWait::Page::Cards);
    ticks(wait, 2000); // the card page never times out
    status("00");
    wait.tick();
    status("13");
    wait.tick();
    status("00");
    wait.tick();
    EXPECT_EQ(wait.made, 2);
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Ошибка: Приложена мастер-карта.")});
    wait.finishByUser();
    EXPECT_EQ(host.result, WaitResult::Yes);
}

TEST_F(CardWaitTest, SecureCardsTimeOutWithNo)
{
    SecureCardWait wait(events(), QStringLiteral("c"), QStringLiteral("n"), QStringLiteral("f"));
    wait.open(host, CardWait::kBudgetTicks);
    ticks(wait, 150);
    EXPECT_EQ(host.result, WaitResult::No);
}

TEST_F(CardWaitTest, MasterConfigEndsAfter30TicksOrWithTheReport)
{
    MasterConfigWait wait(events());
    EXPECT_EQ(wait.tickMs(), 1000);
    wait.open(host, CardWait::kDebugBudgetTicks); // debug mode does not change it
    EXPECT_EQ(wait.secondsLeft, 30);
    ticks(wait, 29);
    EXPECT_FALSE(host.finished);
    wait.tick();
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(wait.report, QStringLiteral("timeout"));

    host = RecordingHost();
    link.addSink(&wait);
    wait.open(host, CardWait::kBudgetTicks);
    EXPECT_TRUE(wait.report.isEmpty());
    link.dispatch(hexToBytes(QStringLiteral("230C0103") + QStringLiteral("06010001020003") + QStringLiteral("24")));
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(wait.report, QStringLiteral("06010001020003"));
    link.removeSink(&wait);
}
