// The connection's owner with the in-memory port.
#include <gtest/gtest.h>

#include <QSignalSpy>

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

TEST_F(SessionTest, PortFailureIsReportedOnceAndMessagesOnlyWhenConnected)
{
    QSignalSpy failed(&session, &ReaderSession::portFailed);
    QSignalSpy messages(&session, &ReaderSession::lineErrors);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM0")));
    port()->failNow(true);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(messages.count(), 0); // nothing connected: nothing shown
    EXPECT_FALSE(session.hasPort()); // a failed candidate leaves nothing behind

    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM1")));
    session.setConnected(QStringLiteral("status"), ReaderKind::Usb);
    port()->failNow(true);
    EXPECT_EQ(failed.count(), 2);
    EXPECT_EQ(failed[1][0].toString(), QStringLiteral("/dev/ttyACM1"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages[0][0].toStringList(),
              QStringList{QStringLiteral("ERROR: An I/O error occured during communication with the device.")});
    port()->failNow(false); // the device vanished: no message
    EXPECT_EQ(messages.count(), 1);
}

TEST_F(SessionTest, LineErrorsOfTheConnectedReaderOnly)
{
    QSignalSpy messages(&session, &ReaderSession::lineErrors);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM0")));
    Q_EMIT port()->lineError(ParityError | BreakCondition);
    EXPECT_EQ(messages.count(), 0);
    session.setConnected(QStringLiteral("status"), ReaderKind::Ble);
    EXPECT_TRUE(session.isBle());
    Q_EMIT port()->lineError(ParityError | BreakCondition);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages[0][0].toStringList(),
              (QStringList{QStringLiteral("ERROR: The hardware detected a parity error."),
                           QStringLiteral("ERROR: The hardware detected a break condition.")}));
}

TEST_F(SessionTest, ReopenKeepsTheNameOrDisconnects)
{
    QSignalSpy disconnected(&session, &ReaderSession::disconnected);
    ASSERT_TRUE(session.open(QStringLiteral("/dev/ttyACM3")));
    session.setConnected(QStringLiteral("status"), ReaderKind::Usb);
    FakeSerialPort *before = port();
    ASSERT_TRUE(session.reopen());
    EXPECT_NE(port(), before);
    EXPECT_EQ(port()->portName, QStringLiteral("/dev/ttyACM3"));
    EXPECT_EQ(link.port(), port());
    EXPECT_TRUE(session.isConnected());

    openable = false;
    EXPECT_FALSE(session.reopen());
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.hasPort());
    EXPECT_EQ(link.port(), nullptr);
    EXPECT_EQ(disconnected.count(), 1);
}
