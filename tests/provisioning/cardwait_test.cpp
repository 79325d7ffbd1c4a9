// The card-wait dialogs' ticks, driven directly with status events.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "link/hextext.h"
#include "provisioning/cardwait.h"
#include "tests/support/fakeserialport.h"
#include "tests/support/scripteddialogs.h"

using namespace limra;
using namespace limra::testing;

namespace {

class CardWaitTest : public ::testing::Test {
protected:
    CardWaitTest()
    {
        auto p = std::make_unique<FakeSerialPort>();
        port = p.get();
        port->open(QStringLiteral("/dev/ttyACM0"));
        link.setPort(std::move(p));
        context.link = &link;
        context.dialogs = &dialogs;
        context.debugMode = [this] { return debug; };
    }
    // A status frame from the reader.
    void status(const char *code) { port->feed(hexToBytes(QStringLiteral("230800010D01") + QLatin1String(code) + QStringLiteral("24"))); }
    // The dialog is shown without a nested event loop; its timer is left alone.
    template <class D>
    void openWithoutTimer(D &d)
    {
        d.open();
        d.timer.stop();
    }
    ReaderLink link;
    FakeSerialPort *port = nullptr;
    ScriptedDialogs dialogs;
    CardWaitContext context;
    bool debug = false;
};

} // namespace

TEST_F(CardWaitTest, Form3CountsDownAndClosesWithNoOnTheLastTick)
{
    for (bool debugMode : {false, true}) {
        debug = debugMode;
        TForm3 d(context);
        openWithoutTimer(d);
        const int budget = debugMode ? 1200 : 150;
        EXPECT_EQ(d.seconds->text(), QString::number(budget / 10));
        d.tick();
        EXPECT_EQ(d.seconds->text(), QString::number(budget / 10 - 1));
        for (int i = 1; i < budget - 1; ++i)
            d.tick();
        EXPECT_TRUE(d.isVisible());
        d.tick();
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), CardWaitDialog::No);
    }
}

TEST_F(CardWaitTest, Form3SuccessEndsWithYesAndStaysInPlace)
{
    TForm3 d(context);
    status("00"); // arrived before the wait: the caller's reset drops it
    link.statusanswer.cmd = 255;
    openWithoutTimer(d);
    d.tick();
    EXPECT_TRUE(d.isVisible());
    status("0E");
    d.tick();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: Мастер-карта не пуста."));
    EXPECT_EQ(link.statusanswer.cmd, 255);
    status("00");
    port->feed(QByteArray("UID: 0102\r\n")); // a card read drops the waiting status
    d.tick();
    EXPECT_TRUE(d.isVisible());
    status("00");
    d.tick();
    EXPECT_EQ(d.result(), CardWaitDialog::Yes);
    EXPECT_EQ(link.statusanswer.cmd, 0); // left in place
    EXPECT_EQ(link.statusanswer.body, QStringLiteral("0D0100"));
}

struct Form2Case {
    const char *name;
    int cards;
    const char *message;
};

class Form2Writing : public CardWaitTest, public ::testing::WithParamInterface<Form2Case> {};

TEST_P(Form2Writing, EachCardGetsAFreshBudgetAndTheLastOneTheMessage)
{
    port->responder = [](const QByteArray &frame) {
        return QList<QByteArray>{hexToBytes(QStringLiteral("2308") + bytesToHex(frame.mid(2, 2)) + QStringLiteral("0D010024"))};
    };
    TForm2 d(context);
    d.config = QStringLiteral("0102060100");
    d.cardType = QStringLiteral("MifarePLUS ");
    openWithoutTimer(d);
    EXPECT_EQ(d.heading->text(), QStringLiteral("Подготовьте необходимое количество чистых карт MifarePLUS "));
    d.countButtons[size_t(GetParam().cards - 1)]->click();
    d.timer.stop();
    ASSERT_EQ(port->writes.size(), 2);
    EXPECT_EQ(bytesToHex(port->writes[0]), QStringLiteral("230B") + QStringLiteral("0102060100110100") + QStringLiteral("24"));
    EXPECT_EQ(bytesToHex(port->writes[1]), QStringLiteral("2309") + QStringLiteral("0201010200") + hexByte(GetParam().cards) + QStringLiteral("24"));
    for (int card = 1; card <= GetParam().cards; ++card) {
        EXPECT_EQ(d.prompt->text(), QStringLiteral("Поднесите %1 из %2 карту MifarePLUS к USB-считывателю").arg(card).arg(GetParam().cards));
        for (int i = 0; i < 149; ++i)
            d.tick(); // nearly the whole budget
        status("00");
        d.tick();
    }
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: ") + QString::fromUtf8(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Counts, Form2Writing, ::testing::Values(
    Form2Case{"one", 1, "Мастер-карта успешно создана"}, Form2Case{"five", 5, "Мастер-карты успешно созданы"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CardWaitTest, Form2FailureKeepsThePromptAndTimeOutCloses)
{
    port->responder = [](const QByteArray &frame) {
        return QList<QByteArray>{hexToBytes(QStringLiteral("2308") + bytesToHex(frame.mid(2, 2)) + QStringLiteral("0D010024"))};
    };
    TForm2 d(context);
    openWithoutTimer(d);
    d.countButtons[1]->click();
    d.timer.stop();
    const QString prompt = d.prompt->text();
    status("16");
    d.tick();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: Ошибка аутентификации Mifare Classic."));
    EXPECT_EQ(d.prompt->text(), prompt);
    for (int i = 1; i < 149; ++i)
        d.tick();
    EXPECT_TRUE(d.isVisible());
    d.tick();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: время истекло"));
}

TEST_F(CardWaitTest, Form2StartRefused)
{
    port->responder = [](const QByteArray &) { return QList<QByteArray>{hexToBytes(QStringLiteral("230801020D011224"))}; };
    TForm2 d(context);
    d.config = QStringLiteral("0102060100");
    openWithoutTimer(d);
    d.option->setChecked(true);
    d.countButtons[0]->click();
    EXPECT_TRUE(bytesToHex(port->writes[0]).contains(QStringLiteral("1101AA")));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка записи конфигурации: Код объекта уже существует на данной карте."));
    EXPECT_FALSE(d.isVisible());
}

TEST_F(CardWaitTest, Form4CountsClearedCardsOnTheNextTick)
{
    TForm4 d(context);
    openWithoutTimer(d);
    status("00");
    d.tick();
    EXPECT_EQ(d.counter->text(), QStringLiteral("0"));
    d.tick();
    EXPECT_EQ(d.counter->text(), QStringLiteral("1"));
    status("19");
    d.tick();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: Карта пустая."));
    d.finish->click();
    EXPECT_EQ(d.result(), CardWaitDialog::Yes);
    EXPECT_FALSE(d.timer.isActive());
}

TEST_F(CardWaitTest, Form5MasterAcceptedInTheLastTickThenNoCountdown)
{
    TForm5 d(context);
    openWithoutTimer(d);
    for (int i = 0; i < 149; ++i)
        d.tick();
    status("00");
    d.tick();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.pages->currentIndex(), 1);
    for (int i = 0; i < 2000; ++i)
        d.tick(); // the card page never times out
    status("00");
    d.tick();
    status("13");
    d.tick();
    status("00");
    d.tick();
    EXPECT_EQ(d.counter->text(), QStringLiteral("2"));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка: Приложена мастер-карта."));
    d.finish->click();
    EXPECT_EQ(d.result(), CardWaitDialog::Yes);
}

TEST_F(CardWaitTest, Form5TimesOutWithNo)
{
    TForm5 d(context);
    openWithoutTimer(d);
    for (int i = 0; i < 150; ++i)
        d.tick();
    EXPECT_EQ(d.result(), CardWaitDialog::No);
}

TEST_F(CardWaitTest, Form8EndsAfter30TicksOrWithTheMasterCardReport)
{
    debug = true;
    TForm8 d(context);
    link.addSink(&d);
    openWithoutTimer(d);
    EXPECT_EQ(d.seconds->text(), QStringLiteral("30"));
    for (int i = 0; i < 29; ++i)
        d.tick();
    EXPECT_TRUE(d.isVisible());
    d.tick();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.resstr, QStringLiteral("timeout"));

    openWithoutTimer(d);
    EXPECT_TRUE(d.resstr.isEmpty());
    port->feed(hexToBytes(QStringLiteral("230C0103") + QStringLiteral("06010001020003") + QStringLiteral("24")));
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.resstr, QStringLiteral("06010001020003"));
    link.removeSink(&d);
}

TEST_F(CardWaitTest, Form2OptionWarnsAndNoUnchecksIt)
{
    TForm2 d(context);
    d.setOptionVisible(true);
    openWithoutTimer(d);
    dialogs.answers.enqueue(false);
    d.option->click();
    EXPECT_FALSE(d.option->isChecked());
    EXPECT_EQ(dialogs.shown.last(),
              QStringLiteral("question: Выбор опции: Внимание!\r\nВ случае утери создаваемых мастер-карт удалить защищенный "
                             "режим будет невозможно.\r\nВыбрать данную опцию?"));
    dialogs.answers.enqueue(true);
    d.option->click();
    EXPECT_TRUE(d.option->isChecked());
    d.option->click(); // unchecking asks nothing
    EXPECT_EQ(dialogs.shown.size(), 2);
}
