// The simulated reader's terminal as the tool's serial port sees it: a
// terminal whose other end closes is a device gone away, never an I/O error;
// the reader's restart into its loader hangs its port up and brings the
// loader back under the same name after a while.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSignalSpy>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
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

// The port reads its descriptor itself: bytes that come in pieces, apart,
// reach the reader of the port whole and in order, each piece with a notice
// of its own.
TEST(PortReading, PiecesArrivingApartAreHandedOverInOrder)
{
    BarePty pty;
    ASSERT_FALSE(pty.slave.isEmpty());
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slave));
    QByteArray taken;
    int notices = 0;
    QObject::connect(&port, &SerialPort::readyRead, &port, [&] {
        ++notices;
        port.readInto(taken);
    });
    const QList<QByteArray> pieces{hexToBytes(QStringLiteral("2313")), hexToBytes(QStringLiteral("0A01100400")),
                                   QByteArray(300, 'x'), hexToBytes(QStringLiteral("24"))};
    QByteArray sent;
    for (const QByteArray &piece : pieces) {
        ASSERT_EQ(::write(pty.master, piece.constData(), size_t(piece.size())), piece.size());
        sent += piece;
        ASSERT_TRUE(waitUntil([&] { return taken.size() == sent.size(); })) << taken.size() << " of " << sent.size();
    }
    EXPECT_EQ(taken, sent);
    EXPECT_GE(notices, pieces.size());
    EXPECT_TRUE(port.readAll().isEmpty()) << "nothing is handed over twice";
    EXPECT_TRUE(port.isOpen());
}

// Closed while bytes wait on its descriptor, the port tells nothing more
// and hands nothing over.
TEST(PortReading, NothingIsReadOrToldAfterClose)
{
    BarePty pty;
    ASSERT_FALSE(pty.slave.isEmpty());
    // Opened before the port, which then holds the terminal alone: it sees
    // how many bytes wait on the terminal's input.
    const int watch = ::open(QFile::encodeName(pty.slave).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(watch, 0);
    // Waits for bytes on the terminal's input without the event loop, which
    // would let the port read them.
    auto waitForInput = [&] {
        pollfd p{watch, POLLIN, 0};
        return ::poll(&p, 1, 10000) == 1;
    };
    QtSerialPort port;
    ASSERT_TRUE(port.open(pty.slave));
    QSignalSpy notices(&port, &SerialPort::readyRead);
    QSignalSpy failed(&port, &SerialPort::failed);
    ASSERT_EQ(::write(pty.master, "\x23\x05", 2), 2);
    ASSERT_TRUE(waitUntil([&] { return notices.size() == 1; }));
    // Bytes not taken yet, and bytes still on the descriptor.
    ASSERT_EQ(::write(pty.master, "\x0A\x01\x24", 3), 3);
    ASSERT_TRUE(waitForInput());
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.readAll().isEmpty());
    pty.hangUp(); // a hang-up after close is not told either
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(notices.size(), 1);
    EXPECT_TRUE(failed.isEmpty());
    EXPECT_TRUE(port.readAll().isEmpty());
    ::close(watch);
}

TEST(PortHangUp, TheSimulatedReaderUnpluggedIsGone)
{
    SimReader sim(QStringLiteral("hangup%1").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);
    // Its own name, as a USB reader's link: the terminal's number may be
    // another program's terminal soon after.
    const QString name = sim.port();
    QtSerialPort port;
    ASSERT_TRUE(port.open(name));
    QSignalSpy failed(&port, &SerialPort::failed);
    sim.host->unplug();
    EXPECT_EQ(endOf(failed), 0);
    EXPECT_FALSE(QFileInfo::exists(name));
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
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Loader);
}
