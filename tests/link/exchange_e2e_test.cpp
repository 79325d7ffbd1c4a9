// Requests over the real QSerialPort on a pseudo-terminal, against the
// simulated reader.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/requests.h"
#include "tests/support/responsiveness.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::await;
using limra::testing::hexBytes;
using limra::testing::SimReader;

namespace {

class ExchangeE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);
        ASSERT_TRUE(session.open(sim.port()));
        QObject::connect(&link, &ReaderLink::identifierRead, [this](const QString &id, IdKind) { ids << id; });
    }
    SimReader sim;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    QStringList ids;
};

QString item(const ReaderLink::Answer &a, quint8 tag)
{
    return bytesToHex(a.reply.item(tag).value_or(QByteArray()));
}

} // namespace

TEST_F(ExchangeE2E, FramedReplyCarriesTheItems)
{
    const ReaderLink::Answer a = await(link, hexBytes("FF01"), 1000);
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(item(a, 0xFD), QStringLiteral("0A1B2C3D"));
    EXPECT_EQ(item(a, 0xFF), QStringLiteral("A102"));
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("FF01")});
}

TEST_F(ExchangeE2E, ErrorStatusAndTimeout)
{
    sim.model->injectFault(sim::Fault::StatusCode, 0x0E);
    const ReaderLink::Answer refused = await(link, hexBytes("0B01"), 1000);
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_EQ(*refused.error, LinkError::refused(0x0E));
    sim.model->clearFaults();
    sim.model->injectFault(sim::Fault::Silent);
    const ReaderLink::Answer silent = await(link, hexBytes("0501"), 150);
    ASSERT_TRUE(silent.error.has_value());
    EXPECT_EQ(*silent.error, LinkError::timedOut());
}

TEST_F(ExchangeE2E, ReplyOfAnotherCommandIgnoredThenRightOneAccepted)
{
    // A late reply to an earlier command arrives first.
    sim.model->injectFault(sim::Fault::Delay, 150);
    QTimer::singleShot(0, [this] { Q_EMIT sim.model->output(hexToBytes(QStringLiteral("230805010D010024"))); });
    EXPECT_EQ(item(await(link, hexBytes("0A01"), 1500), 0x10), QStringLiteral("010200"));
}

TEST_F(ExchangeE2E, RawRequestToTheLoader)
{
    sim.host->restartOnLoader = false;
    EXPECT_TRUE(await(link, hexBytes("0C01"), 500).ok());
    EXPECT_EQ(bytesToHex(await(link, QByteArray(16, '\xAA'), 1000, true).raw), QStringLiteral("0100"));
    EXPECT_EQ(sim.model->blocksTaken(), 1);
}

TEST_F(ExchangeE2E, SplitReplyIsStillReceivedWhole)
{
    sim.model->injectFault(sim::Fault::Split);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(bytesToHex(await(link, hexBytes("0B01"), 1000).reply.body).startsWith(QStringLiteral("020267")));
    sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3D4E5F6"));
    EXPECT_TRUE(limra::testing::waitUntil([this] { return !ids.isEmpty(); }));
    EXPECT_EQ(ids.value(0), QStringLiteral("04A1B2C3D4E5F6"));
}

TEST_F(ExchangeE2E, UnpluggingClosesThePortOnceAndEndsTheRequestThatWaits)
{
    QSignalSpy lost(&session, &ReaderSession::portLost);
    sim.model->injectFault(sim::Fault::Silent);
    QObject unplugging; // the reader goes once it has the request
    sim.unplugWhen(&unplugging, [&] { return !sim.model->commandsReceived().isEmpty(); });
    QElapsedTimer clock;
    clock.start();
    const qint64 waited = limra::testing::runQueueWaitNs();
    const ReaderLink::Answer a = await(link, hexBytes("0B01"), 5000);
    ASSERT_TRUE(a.error.has_value());
    EXPECT_EQ(a.error->kind, LinkError::Kind::PortLost);
    EXPECT_LT(limra::testing::runningMs(clock.elapsed(), limra::testing::runQueueWaitNs() - waited), 2000); // less what the machine's load took
    limra::testing::deliverPosted(); // what the hang-up left to tell has been told
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(session.hasPort());
}
