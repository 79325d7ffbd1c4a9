#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "link/hextext.h"
#include "sim/readermodel.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::sim;
using limra::testing::deliverPosted;
using limra::testing::waitUntil;

namespace {

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&model, &ReaderModel::output, [this](const QByteArray &b) { out << bytesToHex(b); });
    }
    void send(const QString &payload)
    {
        model.receive(hexToBytes(QStringLiteral("23") + hexByte(payload.size() / 2 + 3) + payload + QStringLiteral("24")));
    }
    QString last() const { return out.value(out.size() - 1); }
    ReaderModel model;
    QStringList out;
};

} // namespace

TEST_F(ModelTest, IdentifiesWithSerialTypeAndIdentity)
{
    model.setReaderType(0x04);
    send(QStringLiteral("FF01"));
    const QString body = last().mid(8, last().size() - 10);
    EXPECT_EQ(tagValue(0xFD, body, Packet::Items), QStringLiteral("0A1B2C3D"));
    EXPECT_EQ(tagValue(0xFF, body, Packet::Items), QStringLiteral("A104"));
    EXPECT_EQ(tagValue(0xFE, body, Packet::Items), QStringLiteral("0117"));
}

TEST_F(ModelTest, WrittenConfigurationIsReadBack)
{
    send(QStringLiteral("0101") + QStringLiteral("02020100030300004006010004010005010A"));
    send(QStringLiteral("0B01"));
    EXPECT_TRUE(last().startsWith(QStringLiteral("23") + hexByte(last().size() / 2) + QStringLiteral("0B01")
                                  + QStringLiteral("02020100030300004006010004010005010A")));
    EXPECT_EQ(model.configItems(), QByteArray::fromHex("02020100030300004006010004010005010A"));
    EXPECT_EQ(model.mode(), ReaderModel::Mode::Reading);
}

TEST_F(ModelTest, ProtectedWriteWaitsForTheObjectCodeMasterCard)
{
    send(QStringLiteral("0101") + QStringLiteral("0202080003030000400601010401000501000C0800F8E00700F8E0FF"));
    EXPECT_EQ(model.mode(), ReaderModel::Mode::ObjectCode);
    model.presentMaster();
    EXPECT_EQ(last(), QStringLiteral("230800010D010024"));
}

TEST_F(ModelTest, MasterCardsAreWrittenAndReportTheirConfiguration)
{
    send(QStringLiteral("0102") + QStringLiteral("060100") + QStringLiteral("1101AA"));
    send(QStringLiteral("0201010200") + QStringLiteral("02"));
    model.presentBlank();
    model.presentBlank();
    model.presentBlank(); // all cards written
    EXPECT_EQ(out.mid(out.size() - 3), (QStringList{QStringLiteral("230800010D010024"), QStringLiteral("230800010D010024"),
                                                    QStringLiteral("230800010D010D24")}));
    EXPECT_EQ(model.masterProtection(), QByteArray::fromHex("AA"));
    send(QStringLiteral("0701"));
    model.presentMaster(0);
    EXPECT_EQ(last(), QStringLiteral("230C0103") + QStringLiteral("060100") + QStringLiteral("01020002") + QStringLiteral("24"));
}

TEST_F(ModelTest, FaultsAndUnknownCommands)
{
    send(QStringLiteral("7701"));
    EXPECT_EQ(last(), QStringLiteral("23087701") + QStringLiteral("0D010F") + QStringLiteral("24"));
    model.injectFault(Fault::StatusCode, 0x0E);
    send(QStringLiteral("0B01"));
    EXPECT_EQ(last(), QStringLiteral("23080B010D010E24"));
    model.clearFaults();
    model.injectFault(Fault::Silent);
    const int before = out.size();
    send(QStringLiteral("0501"));
    EXPECT_EQ(out.size(), before);
    model.clearFaults();
    send(QStringLiteral("0301"));
    model.injectFault(Fault::CardError, 0x16);
    model.presentMaster();
    EXPECT_EQ(last(), QStringLiteral("230800010D011624"));
    EXPECT_FALSE(model.hasFault(Fault::CardError)); // shown once
}

// A refusal is of one command and version; the others are answered as ever.
TEST_F(ModelTest, ARefusalIsOfOneCommandAndVersion)
{
    model.refuse(0x01, 0x02, 0x12);
    EXPECT_TRUE(model.hasFault(Fault::Refuse));
    send(QStringLiteral("0102") + QStringLiteral("060100"));
    EXPECT_EQ(last(), QStringLiteral("23080102") + QStringLiteral("0D0112") + QStringLiteral("24"));
    send(QStringLiteral("0101") + QStringLiteral("060100"));
    EXPECT_EQ(last(), QStringLiteral("23080101") + QStringLiteral("0D0100") + QStringLiteral("24"));
    EXPECT_EQ(model.configItems(), QByteArray::fromHex("060100"));
    model.clearFault(Fault::Refuse);
    EXPECT_FALSE(model.hasFault(Fault::Refuse));
    send(QStringLiteral("0102") + QStringLiteral("060100"));
    EXPECT_EQ(last(), QStringLiteral("23080102") + QStringLiteral("0D0100") + QStringLiteral("24"));
}

TEST_F(ModelTest, GarbageAndPartialFramesAreSurvived)
{
    model.receive(QByteArray("\x00\x23\x01\x23\x05", 5));
    model.receive(QByteArray("\x05\x01\x24", 3));
    EXPECT_EQ(model.commandsReceived(), QList<QByteArray>{QByteArray::fromHex("0501")});
}

TEST_F(ModelTest, LoaderAnswersEachBlock)
{
    send(QStringLiteral("0C01"));
    model.receive(QByteArray(20, 'x'));
    model.receive(QByteArray(12, 'y'));
    EXPECT_EQ(model.blocksTaken(), 2);
    EXPECT_EQ(out.mid(out.size() - 2), (QStringList{QStringLiteral("0100"), QStringLiteral("0100")}));
}

TEST_F(ModelTest, LoaderFaultsByBlock)
{
    model.rejectBlock(1, 0x07);
    model.injectLoaderFault(LoaderFault::LongReply, 0);
    send(QStringLiteral("0C01"));
    model.receive(QByteArray(32, 'x'));
    EXPECT_EQ(out.mid(out.size() - 2), (QStringList{QStringLiteral("010000"), QStringLiteral("0007")}));
    EXPECT_EQ(model.blocksTaken(), 1);
    EXPECT_EQ(model.deviceIdentity(), QStringLiteral("02A11701"));
}

TEST_F(ModelTest, SecureCardsKeepTheObjectCodeAndZonesAndAreCleared)
{
    send(QStringLiteral("0102") + QStringLiteral("060103") + QStringLiteral("110100"));
    send(QStringLiteral("020101020001"));
    model.presentBlank();
    ASSERT_EQ(model.masterCards().size(), 1);
    EXPECT_FALSE(model.masterCards()[0].objectCode.isEmpty());
    send(QStringLiteral("01040B10") + QStringLiteral("0000000000000001") + QString(16, QLatin1Char('0')));
    send(QStringLiteral("0401"));
    model.presentBlank(QStringLiteral("04AA"));          // no master card yet
    EXPECT_EQ(last(), QStringLiteral("230800010D011924"));
    model.presentMaster();
    model.presentBlank(QStringLiteral("04AA"));
    model.presentBlank(QStringLiteral("04AA"));          // the code is there already
    EXPECT_EQ(last(), QStringLiteral("230800010D011224"));
    ASSERT_EQ(model.secureCards().size(), 1);
    EXPECT_EQ(model.secureCards()[0].zones, QByteArray::fromHex("0000000000000001") + QByteArray(8, '\0'));
    send(QStringLiteral("0901"));
    model.presentBlank(QStringLiteral("04AA"));
    EXPECT_EQ(last(), QStringLiteral("230800010D010024"));
    EXPECT_TRUE(model.secureCards().isEmpty());
}

// A loader stuck from block N answers nothing, takes no block into the upload
// and stays a loader past its idle time; cleared and plugged in again, it
// takes a new upload from its first block. Every block it received is kept
// in order.
TEST_F(ModelTest, AStuckLoaderStaysALoaderAndTakesANewUploadOnceCleared)
{
    model.injectLoaderFault(LoaderFault::Stuck, 2);
    model.setLoaderIdleMs(50);
    send(QStringLiteral("0C01"));
    const int before = out.size();
    QByteArray first;
    for (char c : {'a', 'b', 'c', 'd'})
        first += QByteArray(16, c);
    model.receive(first);
    EXPECT_EQ(out.mid(before), (QStringList{QStringLiteral("0100"), QStringLiteral("0100")}));
    EXPECT_TRUE(model.loaderStuck());
    EXPECT_TRUE(model.loaderIdling());
    ASSERT_TRUE(waitUntil([&] { return !model.loaderIdling(); })); // its idle time is over
    EXPECT_EQ(model.mode(), ReaderModel::Mode::Loader);

    model.clearLoaderFault(LoaderFault::Stuck);
    model.pluggedIn();
    EXPECT_TRUE(model.loaderFresh());
    const QByteArray second = QByteArray(16, 'a') + QByteArray(16, 'b') + QByteArray(16, 'c');
    model.receive(second);
    EXPECT_FALSE(model.loaderStuck());
    EXPECT_EQ(model.loaderData(), second);
    QList<QByteArray> all;
    for (const QByteArray &bytes : {first, second})
        for (int i = 0; i < bytes.size(); i += 16)
            all << bytes.mid(i, 16);
    EXPECT_EQ(model.loaderBlocks(), all);
}

// A loader starts afresh only when it is switched into or plugged in again:
// one that took part of an image appends what it is sent next, as a real
// loader does, and says it is half-fed.
TEST_F(ModelTest, ALoaderIsHalfFedUntilItIsPluggedInAgain)
{
    model.injectLoaderFault(LoaderFault::Reject, 1);
    send(QStringLiteral("0C01"));
    EXPECT_TRUE(model.loaderFresh());
    model.receive(QByteArray(16, 'a') + QByteArray(16, 'b'));
    EXPECT_EQ(model.blocksTaken(), 1);
    EXPECT_FALSE(model.loaderFresh());
    model.clearLoaderFaults();
    model.receive(QByteArray(16, 'a') + QByteArray(16, 'b'));
    EXPECT_EQ(model.loaderData(), QByteArray(16, 'a') + QByteArray(16, 'a') + QByteArray(16, 'b'));
    EXPECT_FALSE(model.loaderFresh());

    model.pluggedIn();
    EXPECT_TRUE(model.loaderFresh());
    EXPECT_TRUE(model.loaderData().isEmpty());
    model.receive(QByteArray(16, 'a') + QByteArray(16, 'b'));
    EXPECT_EQ(model.loaderData(), QByteArray(16, 'a') + QByteArray(16, 'b'));
    EXPECT_EQ(model.loaderBlocks().size(), 6);
    // Part of a block makes it half-fed too.
    model.pluggedIn();
    model.receive(QByteArray(6, 'x'));
    EXPECT_FALSE(model.loaderFresh());
}

TEST_F(ModelTest, AnIdleLoaderStartsTheFirmwareUnlessItsUploadBrokeOff)
{
    model.setLoaderIdleMs(30);
    QSignalSpy left(&model, &ReaderModel::leftLoader);
    send(QStringLiteral("0C01"));
    model.receive(QByteArray(16, 'a'));
    EXPECT_TRUE(left.wait(1000));
    EXPECT_EQ(model.mode(), ReaderModel::Mode::Reading);

    model.injectLoaderFault(LoaderFault::Reject, 1);
    send(QStringLiteral("0C01"));
    model.receive(QByteArray(32, 'a'));
    EXPECT_TRUE(model.loaderIdling());
    ASSERT_TRUE(waitUntil([&] { return !model.loaderIdling(); })); // its idle time is over
    deliverPosted();
    EXPECT_EQ(model.mode(), ReaderModel::Mode::Loader);
    EXPECT_EQ(left.count(), 1);
}
