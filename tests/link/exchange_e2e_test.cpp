// The exchange over the real QSerialPort on a pseudo-terminal, against the
// simulated reader.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::SimReader;

namespace {

struct Sink : ReceiveSink {
    void identifierRead(const QString &id, IdKind) override { ids << id; }
    QStringList ids;
};

class ExchangeE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);
        ASSERT_TRUE(session.open(sim.port()));
        link.addSink(&sink);
    }
    SimReader sim;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    Sink sink;
};

} // namespace

TEST_F(ExchangeE2E, FramedReplyCarriesTheItems)
{
    const QString reply = link.exchange(QStringLiteral("FF01"), 1000);
    EXPECT_EQ(tagValue(0xFD, reply, Packet::Items), QStringLiteral("0A1B2C3D"));
    EXPECT_EQ(tagValue(0xFF, reply, Packet::Items), QStringLiteral("A102"));
    EXPECT_EQ(sim.model->commandsReceived, QStringList{QStringLiteral("FF01")});
}

TEST_F(ExchangeE2E, ErrorStatusAndTimeout)
{
    sim.model->faults.statusCode = 0x0E;
    EXPECT_EQ(link.exchange(QStringLiteral("0B01"), 1000), QStringLiteral("ER0E"));
    sim.model->faults = {};
    sim.model->faults.silent = true;
    EXPECT_EQ(link.exchange(QStringLiteral("0501"), 150), QStringLiteral("ER00"));
}

TEST_F(ExchangeE2E, ReplyOfAnotherCommandIgnoredThenRightOneAccepted)
{
    // A late reply to an earlier command arrives first.
    sim.model->faults.delayMs = 150;
    QTimer::singleShot(0, [this] { Q_EMIT sim.model->output(hexToBytes(QStringLiteral("230805010D010024"))); });
    const QString reply = link.exchange(QStringLiteral("0A01"), 1500);
    EXPECT_EQ(tagValue(0x10, reply, Packet::Items), QStringLiteral("010200"));
}

TEST_F(ExchangeE2E, RawExchangeWithTheLoader)
{
    sim.host->restartOnLoader = false;
    EXPECT_EQ(link.exchange(QStringLiteral("0C01"), 500), QStringLiteral("0D0100"));
    EXPECT_EQ(link.exchangeRaw(QString(32, QLatin1Char('A')), 1000), QStringLiteral("0100"));
    EXPECT_EQ(sim.model->blocksTaken(), 1);
}

TEST_F(ExchangeE2E, SplitReplyIsStillReceivedWhole)
{
    sim.model->faults.split = true;
    for (int i = 0; i < 5; ++i) {
        const QString reply = link.exchange(QStringLiteral("0B01"), 1000);
        EXPECT_TRUE(reply.startsWith(QStringLiteral("020267")));
    }
    sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    EXPECT_TRUE(limra::testing::waitUntil([this] { return !sink.ids.isEmpty(); }));
    EXPECT_EQ(sink.ids.value(0), QStringLiteral("04A1B2C3D4E5F6"));
}

TEST_F(ExchangeE2E, UnpluggingClosesThePortOnce)
{
    QSignalSpy failed(&session, &ReaderSession::portFailed);
    sim.host->unplug();
    EXPECT_TRUE(limra::testing::waitUntil([&] { return failed.count() > 0; }, 2000));
    limra::testing::spin(100);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(session.hasPort());
}
