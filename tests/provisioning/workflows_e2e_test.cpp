// Master cards, configuration through master cards and secure cards: the
// operations against the simulated reader over a pseudo-terminal, the user's
// part in the card waits played without a window, with shortened timings.
#include <gtest/gtest.h>

#include "config/codec.h"
#include "config/readerconfig.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "provisioning/clearingwait.h"
#include "provisioning/mastercards.h"
#include "provisioning/mastercardwriting.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "provisioning/securecardwait.h"
#include "tests/support/configitems.h"
#include "tests/support/headlesswaits.h"
#include "tests/support/requests.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class WorkflowTest : public ::testing::Test {
protected:
    WorkflowTest()
    {
        session.open(sim.port());
        for (CardOperation *op : std::initializer_list<CardOperation *>{&create, &clear, &readMaster, &takeOver, &secure})
            QObject::connect(op, &CardOperation::cardWaitOpened, [this](CardWait *wait) { user.show(*wait); });
    }
    QStringList commands() const { return sim.commands(); }
    // Runs an operation to its end; what the user is told of it.
    Report run(ReaderOperation &op, const std::function<void()> &start)
    {
        start();
        EXPECT_TRUE(finish(op));
        return op.report();
    }
    // Presents a blank card whenever the wait asks for the next one.
    void presentBlanks()
    {
        user.onChange = [this](CardWait &wait) {
            auto &writing = static_cast<MasterCardWriting &>(wait);
            if (writing.page() == MasterCardWriting::Page::Progress && presented == writing.written()) {
                ++presented;
                sim.model->presentBlank();
            }
        };
    }
    void chooseCount(int count, bool option = false)
    {
        user.onOpen = [count, option](CardWait &wait) {
            auto &writing = static_cast<MasterCardWriting &>(wait);
            writing.setOption(option);
            writing.chooseCount(count);
        };
    }
    void reportFromMasterCard(const QString &items)
    {
        user.onOpen = [this, items](CardWait &) {
            Q_EMIT sim.model->output(hexToBytes(frameText(QStringLiteral("0103") + items)));
        };
    }
    ConfigItems masterItems() const
    {
        ReaderConfig config;
        return encodeConfig(config, ConfigPlace::MasterCards, ReaderKind::Usb);
    }

    SimReader sim;
    // Ticks of 10 ms, and waits for a card that is never shown of a few
    // tenths of a second.
    Timings timings = [] {
        Timings t = Timings().shortened(10);
        t.cardBudgetTicks = 30;
        t.masterReportTicks = 5;
        return t;
    }();
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    CardWaitUser user;
    MasterCardsCreate create{link, timings};
    MasterCardsClear clear{link, timings};
    MasterConfigRead readMaster{link, timings};
    MasterConfigTakeOver takeOver{link, timings};
    SecureCardsRun secure{link, timings};
    int presented = 0;
};

} // namespace

// ---- master cards ----------------------------------------------------------------

TEST_F(WorkflowTest, OneAndFiveMasterCards)
{
    for (int count : {1, 5}) {
        sim.model->clearCommandsReceived();
        sim.model->forgetMasterCards();
        presented = 0;
        QStringList prompts;
        chooseCount(count);
        user.onChange = [&](CardWait &wait) {
            auto &writing = static_cast<MasterCardWriting &>(wait);
            if (writing.page() != MasterCardWriting::Page::Progress)
                return;
            if (prompts.isEmpty() || prompts.last() != writing.prompt())
                prompts << writing.prompt();
            if (presented == writing.written()) {
                ++presented;
                sim.model->presentBlank();
            }
        };
        const Report report = run(create, [&] { create.start(masterItems(), QString(), false); });
        EXPECT_EQ(create.status(), ReaderOperation::Status::Done);
        EXPECT_EQ(report.kind, Report::Kind::None); // the wait told it
        EXPECT_EQ(create.written(), count);
        ASSERT_EQ(commands().size(), 3) << count;
        EXPECT_EQ(commands()[0], QStringLiteral("0102") + hexOf(masterItems()) + QStringLiteral("110100"));
        EXPECT_EQ(commands()[1], QStringLiteral("0201010200") + hexByte(count));
        EXPECT_EQ(commands()[2], QStringLiteral("0501"));
        EXPECT_EQ(prompts.size(), count);
        EXPECT_EQ(prompts.last(), QStringLiteral("Поднесите %1 из %1 карту к USB-считывателю").arg(count));
        EXPECT_EQ(sim.model->masterCards().size(), count);
        EXPECT_EQ(user.notices.last(), count == 1 ? QStringLiteral("Мастер-карта успешно создана")
                                                  : QStringLiteral("Мастер-карты успешно созданы"));
    }
}

TEST_F(WorkflowTest, TheProtectedModeOptionGoesWithTheConfiguration)
{
    for (bool option : {false, true}) {
        sim.model->clearCommandsReceived();
        chooseCount(1, option);
        presentBlanks();
        presented = 0;
        run(create, [&] { create.start(masterItems(), QStringLiteral("MifarePLUS "), true); });
        EXPECT_TRUE(commands().value(0).endsWith(option ? QStringLiteral("1101AA") : QStringLiteral("110100")));
        EXPECT_EQ(create.protectedMode(), option);
    }
}

TEST_F(WorkflowTest, CardTypeWordFollowsTheReadModeAndTheHighlightedFormat)
{
    EXPECT_EQ(masterCardTypeWord(ReadMode::Uid, -1), QString());
    EXPECT_EQ(masterCardTypeWord(ReadMode::ObjectCode, -1), QStringLiteral("MifarePLUS "));
    EXPECT_EQ(masterCardTypeWord(ReadMode::ObjectCode, 0), QStringLiteral("MifareClassic "));
    EXPECT_EQ(masterCardTypeWord(ReadMode::ObjectCode, 1), QStringLiteral("MifarePLUS "));
    EXPECT_EQ(masterCardTypeWord(ReadMode::BlockCode, 0), QStringLiteral("MifarePLUS "));
    EXPECT_EQ(masterCardTypeWord(ReadMode::PassZones, -1), QStringLiteral("MifarePLUS "));
}

TEST_F(WorkflowTest, RefusedConfigurationWriteAndRefusedStart)
{
    chooseCount(2);
    sim.model->refuse(0x01, 0x02, 0x12);
    Report report = run(create, [&] { create.start(masterItems(), QString(), false); });
    EXPECT_EQ(create.failure(), MasterCardsCreate::Failure::ConfigRefused);
    EXPECT_EQ(report, Report::message(QStringLiteral("Ошибка записи конфигурации: Код объекта уже существует на данной карте.")));
    EXPECT_EQ(commands().mid(1), QStringList{QStringLiteral("0501")});

    sim.model->clearCommandsReceived();
    sim.model->refuse(0x02, 0x01, 0x0C);
    report = run(create, [&] { create.start(masterItems(), QString(), false); });
    EXPECT_EQ(report, Report::message(QStringLiteral("Ошибка перевода в режим создания мастер-карт: Ошибочные параметры комманды.")));
    EXPECT_EQ(commands().mid(1), (QStringList{QStringLiteral("020101020002"), QStringLiteral("0501")}));
}

TEST_F(WorkflowTest, ClosingTheCountPageOrRunningOutOfTimeStillEndsWithResumeReading)
{
    user.onOpen = [](CardWait &wait) { wait.close(); };
    run(create, [&] { create.start(masterItems(), QString(), false); });
    EXPECT_EQ(create.status(), ReaderOperation::Status::Cancelled);
    EXPECT_EQ(commands(), QStringList{QStringLiteral("0501")});

    sim.model->clearCommandsReceived();
    chooseCount(1);
    user.onChange = [](CardWait &) {}; // no card comes
    const Report report = run(create, [&] { create.start(masterItems(), QString(), false); });
    EXPECT_EQ(create.failure(), MasterCardsCreate::Failure::TimeUp);
    EXPECT_EQ(report.kind, Report::Kind::None);
    EXPECT_EQ(user.notices.last(), QStringLiteral("Ошибка: время истекло"));
    EXPECT_EQ(commands().last(), QStringLiteral("0501"));
}

TEST_F(WorkflowTest, ClearingMasterCards)
{
    sim.model->presentMaster(); // a master card exists
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(); };
    user.onChange = [](CardWait &wait) {
        auto &clearing = static_cast<ClearingWait &>(wait);
        if (clearing.cleared() == 1)
            clearing.finishByUser();
    };
    run(clear, [&] { clear.start(); });
    EXPECT_EQ(clear.cleared(), 1);
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0301"), QStringLiteral("0501")}));
    EXPECT_TRUE(sim.model->masterCards().isEmpty());
    EXPECT_EQ(user.captions.last(), QStringLiteral("Очистка мастер-карт"));

    sim.model->clearCommandsReceived();
    sim.model->refuse(0x03, 0x01);
    const Report report = run(clear, [&] { clear.start(); });
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0301"), QStringLiteral("0501")}));
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка: Ошибочная команда.")));
}

// ---- configuration through master cards ---------------------------------------------

TEST_F(WorkflowTest, MasterCardsOfASetReadBackWithTheirPlace)
{
    chooseCount(3);
    presentBlanks();
    run(create, [&] { create.start(masterItems(), QString(), false); });
    ASSERT_EQ(sim.model->masterCards().size(), 3);
    user.onChange = [](CardWait &) {};
    for (int place : {0, 2}) {
        user.onOpen = [this, place](CardWait &) { sim.model->presentMaster(place); };
        sim.model->clearCommandsReceived();
        run(readMaster, [&] { readMaster.start(); });
        ASSERT_EQ(readMaster.status(), ReaderOperation::Status::Done);
        EXPECT_EQ(itemHex(readMaster.items(), tag::SetPlace), hexByte(place) + QStringLiteral("03"));
        EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501")}));
    }
}

TEST_F(WorkflowTest, MasterCardReportsTooShortAreNotRead)
{
    const QString forty = QStringLiteral("0202100003030000400601020401000501000C08"); // 40 digits
    reportFromMasterCard(forty);
    run(readMaster, [&] { readMaster.start(); });
    EXPECT_EQ(readMaster.items(), itemsOf(forty));

    reportFromMasterCard(forty.left(38));
    const Report report = run(readMaster, [&] { readMaster.start(); });
    EXPECT_EQ(readMaster.failure(), MasterConfigRead::Failure::NotRead);
    EXPECT_EQ(report, Report::error(QStringLiteral("Не удалось считать конфигурацию.")));
}

TEST_F(WorkflowTest, MasterCardReadRefusedOrNotPresented)
{
    sim.model->refuse(0x07, 0x01);
    const Report refused = run(readMaster, [&] { readMaster.start(); });
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501"), QStringLiteral("0501")}));
    EXPECT_EQ(refused, Report::error(QStringLiteral("Ошибка: Ошибочная команда.")));
    sim.model->clearFaults();
    sim.model->clearCommandsReceived();
    user.onOpen = [](CardWait &) {};
    const Report none = run(readMaster, [&] { readMaster.start(); }); // the half minute passes
    EXPECT_EQ(none, Report::error(QStringLiteral("Не удалось считать конфигурацию.")));
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0701"), QStringLiteral("0501")}));
}

TEST_F(WorkflowTest, TakeOverDoneAndTimedOut)
{
    sim.model->addMasterCard(
        sim::MasterCard{QStringLiteral("04FF"), QByteArray::fromHex("020210000303000040060102"), {}, {}, 0, 1});
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(0); };
    Report report = run(takeOver, [&] { takeOver.start(); });
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0801"), QStringLiteral("0501")}));
    EXPECT_EQ(report, Report::message(QStringLiteral("Выполнено")));
    EXPECT_EQ(bytesToHex(sim.model->configItems()), QStringLiteral("020210000303000040060102"));
    EXPECT_EQ(user.captions.last(), QStringLiteral("Чтение/запись конфигурации"));

    user.onOpen = [](CardWait &) {};
    report = run(takeOver, [&] { takeOver.start(); });
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка чтения/записи конфигурации.")));
}

TEST_F(WorkflowTest, TakeOverKeepsTheReadersConfigurationFirstOrWaitsForTheUser)
{
    QStringList kept;
    takeOver.keepCopy = [&](const ConfigItems &items) -> Expected<void, KeepError> {
        kept << hexOf(items);
        return {};
    };
    user.onOpen = [](CardWait &wait) { wait.close(); };
    run(takeOver, [&] { takeOver.start(); });
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(kept[0].startsWith(bytesToHex(sim.model->configItems())));
    EXPECT_EQ(commands().mid(0, 2), (QStringList{QStringLiteral("0B01"), QStringLiteral("0801")}));

    sim.model->clearCommandsReceived();
    takeOver.keepCopy = [](const ConfigItems &) -> Expected<void, KeepError> {
        return unexpected(KeepError{KeepError::Kind::CannotWrite, QStringLiteral("диск заполнен")});
    };
    takeOver.start();
    EXPECT_TRUE(waitUntil([&] { return takeOver.awaitingDecision(); }));
    EXPECT_EQ(takeOver.keepProblem(), QStringLiteral("диск заполнен"));
    takeOver.proceed(false);
    EXPECT_TRUE(finish(takeOver));
    EXPECT_EQ(takeOver.failure(), MasterConfigTakeOver::Failure::Declined);
    EXPECT_EQ(commands(), QStringList{QStringLiteral("0B01")}); // nothing taken over
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
    SecureModeQuery query(link, timings);
    for (const auto &row : rows) {
        sim.model->setConfigItems(QByteArray::fromHex("0202100003030000400601") + QByteArray::fromHex(row.readMode)
                                  + QByteArray::fromHex("040100050100"));
        run(query, [&] { query.start(); });
        const SecureModeView view = secureModeView(query.mode());
        EXPECT_EQ(view.text, QString::fromUtf8(row.text)) << row.readMode;
        EXPECT_EQ(view.buttons, row.buttons) << row.readMode;
        EXPECT_EQ(view.zones, row.zones) << row.readMode;
    }
    sim.model->injectFault(sim::Fault::Silent);
    EXPECT_EQ(run(query, [&] { query.start(); }).kind, Report::Kind::None); // a failure shows nothing
    EXPECT_EQ(query.mode(), SecureMode::Unknown);
    EXPECT_EQ(commands().count(QStringLiteral("0501")), 0); // nothing but "0B01"
}

TEST_F(WorkflowTest, SecureCardsInObjectCodeAndPassZoneModes)
{
    sim.model->addMasterCard(
        sim::MasterCard{QStringLiteral("04FF"), QByteArray::fromHex("060101"), {}, QStringLiteral("OC9"), 0, 1});
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(0); };
    user.onChange = [this](CardWait &wait) {
        auto &cards = static_cast<SecureCardWait &>(wait);
        if (cards.page() == SecureCardWait::Page::Cards && presented++ == 0)
            sim.model->presentBlank(QStringLiteral("04AB"));
        else if (cards.made() == 1)
            cards.finishByUser();
    };
    run(secure, [&] { secure.start(SecureCardsRun::Kind::Create, SecureMode::ObjectCode); });
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0401"), QStringLiteral("0501")}));
    EXPECT_EQ(secure.cards(), 1);
    ASSERT_EQ(sim.model->secureCards().size(), 1);
    EXPECT_EQ(sim.model->secureCards()[0].objectCodes, QStringList{QStringLiteral("OC9")});

    std::array<bool, 64> zones{};
    for (int row : {0, 63}) {
        sim.model->clearCommandsReceived();
        zones = {};
        zones[size_t(row)] = true;
        user.onOpen = [](CardWait &) {};
        user.onChange = [](CardWait &wait) { static_cast<SecureCardWait &>(wait).finishByUser(); };
        run(secure, [&] { secure.start(SecureCardsRun::Kind::Create, SecureMode::PassZones, zones); });
        ASSERT_EQ(commands().size(), 3);
        const QString mask = commands()[0].mid(8);
        EXPECT_EQ(mask, row == 0 ? QStringLiteral("0000000000000001") + QString(16, QLatin1Char('0'))
                                 : QStringLiteral("8000000000000000") + QString(16, QLatin1Char('0')));
        EXPECT_EQ(commands().mid(1), (QStringList{QStringLiteral("0401"), QStringLiteral("0501")}));
    }

    sim.model->clearCommandsReceived();
    sim.model->refuse(0x01, 0x04);
    const Report report = run(secure, [&] { secure.start(SecureCardsRun::Kind::Create, SecureMode::PassZones, zones); });
    EXPECT_EQ(commands().size(), 2);
    EXPECT_EQ(commands().last(), QStringLiteral("0501")); // stopped before "0401"
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка: Ошибочная команда.")));
}

TEST_F(WorkflowTest, SecureCardMasterNotPresentedInTime)
{
    user.onOpen = [](CardWait &) {};
    user.onChange = [](CardWait &) {};
    Report report = run(secure, [&] { secure.start(SecureCardsRun::Kind::ClearOne, SecureMode::ObjectCode); });
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка очистки защищенных карт.")));
    EXPECT_EQ(user.captions.last(), QStringLiteral("Очистка защищенных карт"));
    report = run(secure, [&] { secure.start(SecureCardsRun::Kind::Create, SecureMode::ObjectCode); });
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка создания защищенных карт.")));
}

TEST_F(WorkflowTest, ClearingAllObjectCodesWithAndWithoutCards)
{
    sim.model->addSecureCard(sim::SecureCard{QStringLiteral("04AB"), {QStringLiteral("OC1")}, QByteArray()});
    for (bool withCard : {false, true}) {
        sim.model->clearCommandsReceived();
        user.onOpen = [this, withCard](CardWait &wait) {
            if (withCard)
                sim.model->presentBlank(QStringLiteral("04AB"));
            else
                static_cast<ClearingWait &>(wait).finishByUser();
        };
        user.onChange = [](CardWait &wait) {
            auto &clearing = static_cast<ClearingWait &>(wait);
            if (clearing.cleared() == 1)
                clearing.finishByUser();
        };
        run(secure, [&] { secure.start(SecureCardsRun::Kind::ClearAll, SecureMode::ObjectCode); });
        EXPECT_EQ(commands(), (QStringList{QStringLiteral("0901"), QStringLiteral("0501")}));
        EXPECT_EQ(sim.model->secureCards().isEmpty(), withCard);
    }
}

TEST_F(WorkflowTest, AReaderUnpluggedDuringACardWaitEndsItAtOnce)
{
    bool waitEnded = false;
    user.onOpen = [this, &waitEnded](CardWait &wait) {
        QObject::connect(&wait, &CardWait::ended, [&waitEnded] { waitEnded = true; });
        sim.unplugOnceClearing(&wait);
    };
    const Report report = run(clear, [&] { clear.start(); });
    EXPECT_TRUE(waitEnded);
    EXPECT_EQ(clear.status(), ReaderOperation::Status::ReaderLost);
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка: Считыватель отключён.")));
}

// Unplugged after the first of two master cards: the message says that one
// card is a master card now.
TEST_F(WorkflowTest, AReaderUnpluggedAfterTheFirstOfTwoMasterCardsSaysOneWasWritten)
{
    chooseCount(2);
    user.onChange = [this](CardWait &wait) {
        auto &writing = static_cast<MasterCardWriting &>(wait);
        if (writing.page() != MasterCardWriting::Page::Progress || presented > writing.written())
            return;
        ++presented;
        if (writing.written() == 0)
            sim.model->presentBlank();
        else
            QTimer::singleShot(0, [this] { sim.host->unplug(); });
    };
    const Report report = run(create, [&] { create.start(masterItems(), QString(), false); });
    EXPECT_EQ(create.status(), ReaderOperation::Status::ReaderLost);
    EXPECT_EQ(create.written(), 1);
    EXPECT_EQ(sim.model->masterCards().size(), 1);
    EXPECT_EQ(report, Report::error(QStringLiteral("Ошибка: Считыватель отключён. Создано мастер-карт: 1 из 2.")));
}
