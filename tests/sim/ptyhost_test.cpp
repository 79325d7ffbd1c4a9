// The simulated reader's terminal as the tool's serial port sees it: a
// terminal whose other end closes is a device gone away, never an I/O error;
// the reader's restart into its loader hangs its port up and brings the
// loader back under the same name after a while.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSignalSpy>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "link/frame.h"
#include "link/hextext.h"
#include "link/protocol.h"
#include "platform/qtserialport.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

// A bare pseudo-terminal: the tool opens its terminal end, the test holds the other.
struct BarePty {
    BarePty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(ptsname(master));
    }
    ~BarePty() { hangUp(); }
    void hangUp()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    int master = -1;
    QString slave;
};

// How the port ended: -1 not at all, 0 gone, 1 I/O error.
int endOf(QSignalSpy &failed)
{
    if (!waitUntil([&] { return !failed.isEmpty(); }, 2000))
        return -1;
    return failed.first().first().toBool() ? 1 : 0;
}

} // namespace

// Whatever is read last before the hang-up, or written after it, the port
// tells the device gone.
TEST(PortHangUp, ATerminalWhoseOtherEndClosesIsGoneNotAnIoError)
{
    enum class Before { Nothing, Bytes, Write };
    for (const Before before : {Before::Nothing, Before::Bytes, Before::Write}) {
        SCOPED_TRACE(int(before));
        BarePty pty;
        ASSERT_FALSE(pty.slave.isEmpty());
        QtSerialPort port;
        ASSERT_TRUE(port.open(pty.slave));
        QSignalSpy failed(&port, &SerialPort::failed);
        if (before == Before::Bytes) {
            ASSERT_EQ(::write(pty.master, "\x01\x00", 2), 2);
            ASSERT_TRUE(waitUntil([&] { return port.readAll().size() > 0; }));
        }
        pty.hangUp();
        if (before == Before::Write)
            port.write(QByteArray(16, 'x'));
        EXPECT_EQ(endOf(failed), 0);
        EXPECT_FALSE(port.isOpen());
    }
}

TEST(PortHangUp, TheSimulatedReaderUnpluggedIsGone)
{
    SimReader sim(QStringLiteral("hangup%1").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);
    QtSerialPort port;
    ASSERT_TRUE(port.open(sim.port()));
    QSignalSpy failed(&port, &SerialPort::failed);
    sim.host->unplug();
    EXPECT_EQ(endOf(failed), 0);
    EXPECT_FALSE(QFileInfo(sim.port()).exists());
}

// The switch into the loader is answered first; then the port hangs up,
// its name vanishes, and the loader comes back under it after the delay.
TEST(PtyHostRestart, TheLoaderComesBackUnderTheSameNameAfterTheDelay)
{
    SimReader sim(QStringLiteral("restart%1").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);
    sim.host->restartDelayMs = 300;
    const QString name = sim.port();
    QtSerialPort port;
    ASSERT_TRUE(port.open(name));
    QSignalSpy failed(&port, &SerialPort::failed);
    QByteArray answer;
    QObject::connect(&port, &SerialPort::readyRead, [&] { answer += port.readAll(); });

    ASSERT_TRUE(port.write(frameOf(payload(command::SwitchToLoader, command::kVersion))));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(endOf(failed), 0);
    EXPECT_EQ(bytesToHex(answer), QStringLiteral("23080C010D010024"));
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(name); }, 2000));
    EXPECT_GE(clock.elapsed(), 300);

    QtSerialPort loader;
    ASSERT_TRUE(loader.open(name));
    QByteArray taken;
    QObject::connect(&loader, &SerialPort::readyRead, [&] { taken += loader.readAll(); });
    ASSERT_TRUE(loader.write(QByteArray(16, 'b')));
    EXPECT_TRUE(waitUntil([&] { return taken.size() == 2; }));
    EXPECT_EQ(sim.model->mode, sim::ReaderModel::Mode::Loader);
}
