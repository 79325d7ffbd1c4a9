// The connection's owner with the in-memory port.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "link/errors.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "tests/support/fakeserialport.h"

using namespace limra;
using limra::testing::FakeSerialPort;

namespace {

class SessionTest : public ::testing::Test {
protected:
    SessionTest()
        : session(link, [this] {
              auto p = std::make_unique<FakeSerialPort>();
              p->openable = openable;
              ports << p.get();
              return p;
          })
    {
    }
    FakeSerialPort *port() const { return ports.last(); }

    ReaderLink link;
    QList<FakeSerialPort *> ports;
    bool openable = true;
    ReaderSession session;
};

} // namespace

TEST_F(SessionTest, PortFailureIsReportedOnceAndAnIoErrorOnlyWhenConnected)
{
    QSignalSpy lost(&session, &ReaderSession::portLost);
    QSignalSpy errors(&session, &ReaderSession::lineErrors);
    QSignalSpy disconnected(&session, &ReaderSession::disconnected);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM0")));
    port()->failNow(true);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(errors.count(), 0); // nothing connected: nothing shown
    EXPECT_FALSE(session.hasPort()); // a failed candidate leaves nothing behind
    EXPECT_EQ(disconnected.count(), 0);

    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM1")));
    session.setConnected(ReaderIdentity{});
    port()->failNow(true);
    EXPECT_EQ(lost.count(), 2);
    EXPECT_EQ(lost[1][0].toString(), QStringLiteral("/dev/ttyACM1"));
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(lineErrorTexts(errors[0][0].value<LineErrors>()),
              QStringList{QStringLiteral("ERROR: An I/O error occured during communication with the device.")});
    EXPECT_EQ(disconnected.count(), 1);
    EXPECT_FALSE(session.isConnected());

    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM2")));
    session.setConnected(ReaderIdentity{});
    port()->failNow(false); // the device vanished: no message
    EXPECT_EQ(errors.count(), 1);
}

TEST_F(SessionTest, LineErrorsOfTheConnectedReaderOnly)
{
    QSignalSpy errors(&session, &ReaderSession::lineErrors);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM0")));
    Q_EMIT port()->lineError(ParityError | BreakCondition);
    EXPECT_EQ(errors.count(), 0);
    ReaderIdentity ble;
    ble.kind = ReaderKind::Ble;
    session.setConnected(ble);
    EXPECT_TRUE(session.isBle());
    Q_EMIT port()->lineError(ParityError | BreakCondition);
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(lineErrorTexts(errors[0][0].value<LineErrors>()),
              (QStringList{QStringLiteral("ERROR: The hardware detected a parity error."),
                           QStringLiteral("ERROR: The hardware detected a break condition.")}));
}

TEST_F(SessionTest, NothingOfTheOldPortReachesTheUserWhileTheReaderSwitchesToItsLoader)
{
    QSignalSpy errors(&session, &ReaderSession::lineErrors);
    QSignalSpy disconnected(&session, &ReaderSession::disconnected);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM3")));
    session.setConnected(ReaderIdentity{});
    session.setFirmwareSwitching(true);
    port()->failNow(true); // the restart's hang-up
    EXPECT_EQ(errors.count(), 0);
    EXPECT_EQ(disconnected.count(), 0);
    ASSERT_TRUE(session.reopen());
    session.setFirmwareSwitching(false);
    // The reopened port reports no line errors.
    Q_EMIT port()->lineError(ParityError);
    port()->failNow(true);
    EXPECT_EQ(errors.count(), 0);
}

TEST_F(SessionTest, ReopenKeepsTheNameOrDisconnects)
{
    QSignalSpy disconnected(&session, &ReaderSession::disconnected);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM3")));
    session.setConnected(ReaderIdentity{});
    FakeSerialPort *before = port();
    ASSERT_TRUE(session.reopen());
    EXPECT_NE(port(), before);
    EXPECT_EQ(port()->portName, QStringLiteral("/dev/ttyACM3"));
    EXPECT_EQ(link.port(), port());
    EXPECT_TRUE(session.isConnected());

    // While the reader switches to its loader, a port not back yet is tried
    // again: the reader stays, under its name.
    openable = false;
    session.setFirmwareSwitching(true);
    EXPECT_FALSE(session.reopen());
    EXPECT_TRUE(session.isConnected());
    EXPECT_EQ(disconnected.count(), 0);
    openable = true;
    ASSERT_TRUE(session.reopen());
    EXPECT_EQ(port()->portName, QStringLiteral("/dev/ttyACM3"));
    session.setFirmwareSwitching(false);

    openable = false;
    EXPECT_FALSE(session.reopen());
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasPort());
    EXPECT_EQ(link.port(), nullptr);
    EXPECT_EQ(disconnected.count(), 1);
}
