// Master cards, configuration through master cards and secure cards against
// the simulated reader over a pseudo-terminal, with the card waits run
// without a window.
#include <gtest/gtest.h>

#include "config/editormodel.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "provisioning/cardwait.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "tests/support/headlesswaits.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class WorkflowTest : public ::testing::Test {
protected:
    WorkflowTest()
    {
        session.open(sim.port());
        editor.startUp();
    }
    QStringList commands() const { return sim.model->commandsReceived; }
    // Presents a blank card at every tick until `n` cards were presented.
    void presentBlanksWhileWaiting(int n)
    {
        waits.afterTick = [this, n](CardWait &) {
            if (presented < n) {
                ++presented;
                sim.model->presentBlank();
            }
        };
    }
    void reportFromMasterCard(const QString &items)
    {
        waits.onOpen = [this, items](CardWait &) {
            Q_EMIT sim.model->output(hexToBytes(frameText(QStringLiteral("0103") + items)));
        };
    }

    SimReader sim;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    ScriptedDialogs dialogs;
    HeadlessCardWaits waits;
    EditorModel editor;
    MasterCardOperations masters{link, editor, dialogs, waits};
    MasterConfigOperations masterConfig{link, editor, dialogs, waits};
    SecureCardOperations secure{link, dialogs, waits};
    int presented = 0;
};

} // namespace

// ---- master cards ----------------------------------------------------------------

TEST_F(WorkflowTest, OneAndFiveMasterCards)
{
    for (int count : {1, 5}) {
        sim.model->commandsReceived.clear();
        sim.model->masterCards.clear();
        presented = 0;
        QStringList prompts;
        waits.onOpen = [count](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(count); };
        presentBlanksWhileWaiting(count);
        waits.afterTick = [this, count, &prompts](CardWait &wait) {
            const QString prompt = static_cast<MasterCardWriting &>(wait).prompt;
            if (prompts.isEmpty() || prompts.last() != prompt)
                prompts << prompt;
            if (presented < count) {
                ++presented;
                sim.model->presentBlank();
            }
        };
        masters.create();
        ASSERT_EQ(commands().size(), 3) << count;
        EXPECT_TRUE(commands()[0].startsWith(QStringLiteral("0102")));
        EXPECT_TRUE(commands()[0].endsWith(QStringLiteral("110100")));
        EXPECT_EQ(commands()[1], QStringLiteral("0201010200") + hexByte(count));
        EXPECT_EQ(commands()[2], QStringLiteral("0501"));
        EXPECT_EQ(prompts.size(), count);
        EXPECT_EQ(prompts.last(), QStringLiteral("Поднесите %1 из %1 карту к USB-считывателю").arg(count));
        EXPECT_EQ(sim.model->masterCards.size(), count);
        EXPECT_EQ(waits.messages.last(), count == 1 ? QStringLiteral("Мастер-карта успешно создана")
                                                    : QStringLiteral("Мастер-карты успешно созданы"));
    }
}

TEST_F(WorkflowTest, OptionAnsweredNoSendsTheUnprotectedPayload)
{
    editor.userSetReadMode(1);
    dialogs.answers.enqueue(false);
    bool optionVisible = false;
    waits.onOpen = [&](CardWait &wait) {
        auto &writing = static_cast<MasterCardWriting &>(wait);
        optionVisible = writing.optionVisible;
        writing.setOption(true);
        writing.chooseCount(1);
    };
    masters.create();
    EXPECT_TRUE(optionVisible);
    EXPECT_TRUE(dialogs.shown.value(0).startsWith(QStringLiteral("question: Выбор опции: Внимание!\r\n")));
    EXPECT_TRUE(commands().value(0).endsWith(QStringLiteral("110100")));
    dialogs.answers.enqueue(true);
    sim.model->commandsReceived.clear();
    masters.create();
    EXPECT_TRUE(commands().value(0).endsWith(QStringLiteral("1101AA")));
}

TEST_F(WorkflowTest, CardTypeWordFollowsTheReadMode)
{
    EXPECT_EQ(masters.cardTypeWord(), QString());
    editor.userSetReadMode(1);
    EXPECT_EQ(masters.cardTypeWord(), QStringLiteral("MifarePLUS "));
    editor.userHighlightFormat(0);
    EXPECT_EQ(masters.cardTypeWord(), QStringLiteral("MifareClassic "));
    editor.userHighlightFormat(1);
    EXPECT_EQ(masters.cardTypeWord(), QStringLiteral("MifarePLUS "));
    editor.userSetReadMode(2);
    EXPECT_EQ(masters.cardTypeWord(), QStringLiteral("MifarePLUS "));
    editor.userSetReadMode(3);
    EXPECT_EQ(masters.cardTypeWord(), QStringLiteral("MifarePLUS "));
}

TEST_F(WorkflowTest, RefusedConfigurationWriteAndRefusedStart)
{
    waits.onOpen = [](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(2); };
    sim.model->faults.refuse = QStringLiteral("0102");
    sim.model->faults.refuseCode = 0x12;
    masters.create();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка записи конфигурации: Код объекта уже существует на данной карте."));
    EXPECT_EQ(commands().mid(1), QStringList{QStringLiteral("0501")});

    sim.model->commandsReceived.clear();
    sim.model->faults.refuse = QStringLiteral("0201");
    sim.model->faults.refuseCode = 0x0C;
    masters.create();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Ошибка перевода в режим создания мастер-карт: Ошибочные параметры комманды."));
    EXPECT_EQ(commands().mid(1), (QStringList{QStringLiteral("020101020002"), QStringLiteral("0501")}));
}

TEST_F(WorkflowTest, ClearingMasterCards)
{
    masters.clear(); // declined: nothing at all
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Очистка: Внимание! Все данные")));

    sim.model->presentMaster(); // a master card exists
    dialogs.answers.enqueue(true);
    waits.afterTick = [this](CardWait &wait) {
        auto &clearing = static_cast<ClearingWait &>(wait);
        if (presented++ == 0)
            sim.model->presentMaster();
        else if (clearing.countShown == 1)
            clearing.finishByUser();
    };
    masters.clear();
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0301"), QStringLiteral("0501")}));
    EXPECT_TRUE(sim.model->masterCards.isEmpty());
    EXPECT_EQ(waits.captions.last(), QStringLiteral("Очистка мастер-карт"));

    sim.model->commandsReceived.clear();
    sim.model->faults.refuse = QStringLiteral("0301");
    dialogs.answers.enqueue(true);
    masters.clear();
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0301"), QStringLiteral("0501")}));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Ошибочная команда."));
}

// ---- configuration through master cards ---------------------------------------------

TEST_F(WorkflowTest, MasterCardsOfASetReadBackWithTheirPlace)
{
    editor.userSetReadMode(2);
    waits.onOpen = [](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(3); };
    presentBlanksWhileWaiting(3);
    masters.create();
    ASSERT_EQ(sim.model->masterCards.size(), 3);
    editor.startUp();
    for (int place : {0, 2}) {
        waits.afterTick = [](CardWait &) {};
        waits.onOpen = [this, place](CardWait &) { sim.model->presentMaster(place); };
        sim.model->commandsReceived.clear();
        masterConfig.readIntoEditor();
        EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Конфигурация считана с мастер-карты №%1 из 3").arg(place + 1));
        EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501")}));
        EXPECT_EQ(editor.config().readMode, 2);
    }
}

TEST_F(WorkflowTest, MasterCardReportsOfEveryShape)
{
    const QString forty = QStringLiteral("0202100003030000400601020401000501000C08"); // 40 digits, no item 01
    reportFromMasterCard(forty);
    masterConfig.readIntoEditor();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Конфигурация считана с мастер-карты"));
    EXPECT_EQ(editor.config().readMode, 2);

    editor.startUp();
    reportFromMasterCard(forty.left(38));
    masterConfig.readIntoEditor();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Не удалось считать конфигурацию."));
    EXPECT_EQ(editor.config().readMode, 0);

    const int shown = int(dialogs.shown.size());
    reportFromMasterCard(QStringLiteral("02020100030300004006010004010005010001020103") + QStringLiteral("0E025A3C"));
    masterConfig.readIntoEditor(); // read mode 0 with a checksum: nothing shown
    EXPECT_EQ(dialogs.shown.size(), shown);
    reportFromMasterCard(QStringLiteral("02021000030300004006010104010005010001020103") + QStringLiteral("0E025A3C"));
    masterConfig.readIntoEditor();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("input: Конфигурация считана с мастер-карты №2 из 3: "
                                                   "Контрольная сумма кода объекта: 5A3C"));
}

TEST_F(WorkflowTest, MasterCardReadRefusedOrNotPresented)
{
    sim.model->faults.refuse = QStringLiteral("0701");
    masterConfig.readIntoEditor();
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501"), QStringLiteral("0501")}));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Ошибочная команда."));
    sim.model->faults = {};
    sim.model->commandsReceived.clear();
    waits.onOpen = [](CardWait &) {};
    waits.afterTick = [](CardWait &wait) {
        auto &config = static_cast<MasterConfigWait &>(wait);
        if (config.secondsLeft > 1)
            config.secondsLeft = 1; // the half minute passes at once
    };
    masterConfig.readIntoEditor();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Не удалось считать конфигурацию."));
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501")}));
}

TEST_F(WorkflowTest, TakeOverDeclinedDoneAndTimedOut)
{
    editor.userSetReadMode(1);
    masterConfig.takeOver(); // declined
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Конфигурация: Для записи конфигурации в USB-считыватель")));

    sim.model->masterCards << sim::MasterCard{QStringLiteral("04FF"), QStringLiteral("020210000303000040060102"), {}, {}, 0, 1};
    dialogs.answers.enqueue(true);
    waits.onOpen = [this](CardWait &) { sim.model->presentMaster(0); };
    masterConfig.takeOver();
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0801"), QStringLiteral("0501")}));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
    EXPECT_EQ(sim.model->configItems, QStringLiteral("020210000303000040060102"));
    EXPECT_EQ(waits.captions.last(), QStringLiteral("Чтение/запись конфигурации"));

    editor.userSetReadMode(0); // no question in the other modes
    waits.onOpen = [](CardWait &) {};
    masterConfig.takeOver();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка чтения/записи конфигурации."));
}

// ---- secure cards ----------------------------------------------------------------------

TEST_F(WorkflowTest, ReaderModeDecidesTheButtons)
{
    const struct {
        const char *readMode;
        const char *text;
        bool buttons;
        bool zones;
    } rows[] = {{"00", "Обычный режим", false, false}, {"01", "Код объекта", true, false},
                {"02", "Код из блока", false, false}, {"03", "Зоны прохода", true, true},
                {"07", "Неизвестно", false, false}};
    for (const auto &row : rows) {
        sim.model->configItems = QStringLiteral("0202100003030000400601") + QLatin1String(row.readMode)
                                 + QStringLiteral("040100050100");
        const SecureCardOperations::ModeView view = secure.queryMode();
        EXPECT_EQ(view.text, QString::fromUtf8(row.text)) << row.readMode;
        EXPECT_EQ(view.buttons, row.buttons) << row.readMode;
        EXPECT_EQ(view.zones, row.zones) << row.readMode;
    }
    sim.model->faults.silent = true;
    EXPECT_EQ(secure.queryMode().text, QStringLiteral("Неизвестно"));
    EXPECT_EQ(commands().count(QStringLiteral("0501")), 0); // nothing but "0B01"
}

TEST_F(WorkflowTest, SecureCardsInObjectCodeAndPassZoneModes)
{
    sim.model->masterCards << sim::MasterCard{QStringLiteral("04FF"), QStringLiteral("060101"), {}, QStringLiteral("OC9"), 0, 1};
    sim.model->configItems = QStringLiteral("0202080003030000400601010401000501000C08");
    secure.queryMode();
    sim.model->commandsReceived.clear();
    dialogs.answers.enqueue(true);
    waits.onOpen = [this](CardWait &) { sim.model->presentMaster(0); };
    waits.afterTick = [this](CardWait &wait) {
        auto &cards = static_cast<SecureCardWait &>(wait);
        if (cards.page == SecureCardWait::Page::Cards && presented++ == 0)
            sim.model->presentBlank(QStringLiteral("04AB"));
        else if (cards.made == 1)
            cards.finishByUser();
    };
    std::array<bool, 64> zones{};
    secure.create(zones);
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0401"), QStringLiteral("0501")}));
    ASSERT_EQ(sim.model->secureCards.size(), 1);
    EXPECT_EQ(sim.model->secureCards[0].objectCodes, QStringList{QStringLiteral("OC9")});

    sim.model->configItems = QStringLiteral("0202100003030000400601030401000501000C08");
    secure.queryMode();
    for (int row : {0, 63}) {
        sim.model->commandsReceived.clear();
        zones = {};
        zones[size_t(row)] = true;
        dialogs.answers.enqueue(true);
        waits.onOpen = [](CardWait &) {};
        waits.afterTick = [](CardWait &wait) { static_cast<SecureCardWait &>(wait).finishByUser(); };
        secure.create(zones);
        ASSERT_EQ(commands().size(), 3);
        const QString mask = commands()[0].mid(8);
        EXPECT_EQ(mask, row == 0 ? QStringLiteral("0000000000000001") + QString(16, QLatin1Char('0'))
                                 : QStringLiteral("8000000000000000") + QString(16, QLatin1Char('0')));
        EXPECT_EQ(commands().mid(1), (QStringList{QStringLiteral("0401"), QStringLiteral("0501")}));
    }

    sim.model->commandsReceived.clear();
    sim.model->faults.refuse = QStringLiteral("0104");
    dialogs.answers.enqueue(true);
    secure.create(zones);
    EXPECT_EQ(commands().size(), 2);
    EXPECT_EQ(commands().last(), QStringLiteral("0501")); // stopped before "0401"
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Ошибочная команда."));
}

TEST_F(WorkflowTest, SecureCardMasterNotPresentedInTime)
{
    sim.model->configItems = QStringLiteral("0202080003030000400601010401000501000C08");
    secure.queryMode();
    dialogs.answers.enqueue(true);
    secure.clearOneObjectCode();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка очистки защищенных карт."));
    EXPECT_EQ(waits.captions.last(), QStringLiteral("Очистка защищенных карт"));
    dialogs.answers.enqueue(true);
    secure.create({});
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка создания защищенных карт."));
}

TEST_F(WorkflowTest, ClearingAllObjectCodesWithAndWithoutCards)
{
    sim.model->secureCards << sim::SecureCard{QStringLiteral("04AB"), {QStringLiteral("OC1")}, QString()};
    secure.clearAllObjectCodes(); // declined
    EXPECT_TRUE(commands().isEmpty());
    for (bool withCard : {false, true}) {
        sim.model->commandsReceived.clear();
        presented = 0;
        dialogs.answers.enqueue(true);
        waits.afterTick = [this, withCard](CardWait &wait) {
            auto &clearing = static_cast<ClearingWait &>(wait);
            if (withCard && presented++ == 0)
                sim.model->presentBlank(QStringLiteral("04AB"));
            else if (!withCard || clearing.countShown == 1)
                clearing.finishByUser();
        };
        secure.clearAllObjectCodes();
        EXPECT_EQ(commands(), (QStringList{QStringLiteral("0901"), QStringLiteral("0501")}));
        EXPECT_EQ(sim.model->secureCards.isEmpty(), withCard);
    }
}
