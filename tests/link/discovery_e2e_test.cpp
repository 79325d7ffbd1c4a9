// Discovery with the real serial port over pseudo-terminals against
// simulated readers.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "link/discovery.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/requests.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::FakePortEnumerator;
using limra::testing::SimReader;
using limra::testing::hexBytes;
using limra::testing::waitUntil;

namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    DiscoveryTest()
    {
        QObject::connect(&session, &ReaderSession::connected, [this] {
            status = session.portName() + QStringLiteral(" ") + session.serial();
        });
        QObject::connect(&session, &ReaderSession::disconnected, [this] { status = QStringLiteral("searching"); });
        QObject::connect(&discovery, &ReaderDiscovery::identified,
                         [this] { link.send(hexBytes("0B01"), timings.reply, nullptr, [](const ReaderLink::Answer &) {}); });
    }
    // One scan, to its end (and the requests it left behind).
    void scan()
    {
        discovery.scanOnce();
        EXPECT_TRUE(waitUntil([this] { return !discovery.scanning() && link.idle(); }));
    }
    // Shortened, but a probe keeps its whole second: a loaded machine that
    // answers late must not make a reader look silent.
    Timings timings = [] {
        Timings t = Timings().shortened(5);
        t.identify = Timings().identify;
        return t;
    }();
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    FakePortEnumerator ports;
    LoaderRegistry loaders;
    ReaderDiscovery discovery{session, link, ports, loaders, timings};
    QString status;
};

} // namespace

TEST_F(DiscoveryTest, ConnectsUsbReaderAndSendsIdentifyResetRead)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    scan();
    EXPECT_EQ(session.portName(), sim.port());
    EXPECT_EQ(status, sim.port() + QStringLiteral(" A102-0A1B2C3D"));
    EXPECT_EQ(session.identity().firmwareIdentity, sim.model->deviceIdentity());
    EXPECT_FALSE(session.isBle());
    EXPECT_EQ(sim.commands(),
              (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01")}));
}

TEST_F(DiscoveryTest, ConnectsBleReader)
{
    SimReader sim;
    sim.model->setReaderType(0x04);
    sim.model->setSerial(QByteArray::fromHex("01020304050607"));
    ports.virtuals = {sim.port()};
    scan();
    EXPECT_TRUE(session.isBle());
    EXPECT_EQ(status, sim.port() + QStringLiteral(" A104-01020304050607"));
}

TEST_F(DiscoveryTest, WrongIdentificationIsRefusedAndRetriedEverySecond)
{
    SimReader sim;
    sim.model->setReaderType(0x03);
    sim.model->setHardware(0x01);
    ports.virtuals = {sim.port()};
    discovery.start();
    EXPECT_TRUE(waitUntil([&] { return sim.commands().size() >= 2; }, 3500));
    discovery.pause();
    EXPECT_TRUE(waitUntil([&] { return !discovery.scanning(); })); // the probe under way ends
    EXPECT_EQ(sim.commands(), (QStringList{QStringLiteral("FF01"), QStringLiteral("FF01")}));
    EXPECT_TRUE(session.portName().isEmpty());
    EXPECT_FALSE(session.hasPort());
    EXPECT_TRUE(status.isEmpty());
}

TEST_F(DiscoveryTest, ShortSerialNumberIsRefused)
{
    SimReader sim;
    sim.model->setSerial(QByteArray::fromHex("0A1B2C"));
    ports.virtuals = {sim.port()};
    scan();
    EXPECT_TRUE(session.portName().isEmpty());
}

TEST_F(DiscoveryTest, TwoReadersGiveTheFirstAndLeaveTheSecondUnopened)
{
    SimReader first, second;
    ports.virtuals = {first.port(), second.port()};
    scan();
    EXPECT_EQ(session.portName(), first.port());
    EXPECT_TRUE(second.commands().isEmpty());
}

TEST_F(DiscoveryTest, SilentReaderIsSkippedForTheNext)
{
    SimReader silent, good;
    silent.model->injectFault(sim::Fault::Silent);
    ports.virtuals = {silent.port(), good.port()};
    scan();
    EXPECT_EQ(session.portName(), good.port());
}

TEST_F(DiscoveryTest, UnplugDisconnectsAndAChangeRescansBeforeTheNextRegularScan)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    scan();
    ASSERT_FALSE(session.portName().isEmpty());
    const QString port = sim.port();
    // The regular scans come a minute apart from here on: a reader found
    // within the test's wait was found by the rescan after the change.
    timings.scan = 60000;
    timings.rescanAfterRemoval = 100;
    discovery.start();
    sim.host->unplug();
    ports.virtuals.clear();
    discovery.deviceRemoved(port);
    EXPECT_TRUE(waitUntil([&] { return status == QStringLiteral("searching"); }));
    EXPECT_FALSE(session.hasPort());
    // The next scan comes shortly after the change, not at the next regular scan.
    SimReader next;
    ports.virtuals = {next.port()};
    discovery.portsChanged();
    EXPECT_TRUE(waitUntil([&] { return session.portName() == next.port(); }));
}

TEST_F(DiscoveryTest, PortFailureAfterUnplugCountsAsRemoval)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    scan();
    ASSERT_FALSE(session.portName().isEmpty());
    sim.host->unplug(); // no removal notice: only the port's error tells
    EXPECT_TRUE(waitUntil([&] { return session.portName().isEmpty(); }, 2000));
    EXPECT_EQ(status, QStringLiteral("searching"));
}

TEST_F(DiscoveryTest, RemovalIgnoredWhileSwitchingFirmware)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    scan();
    session.setFirmwareSwitching(true);
    discovery.deviceRemoved(sim.port());
    EXPECT_EQ(session.portName(), sim.port());
    session.setFirmwareSwitching(false);
    discovery.deviceRemoved(QStringLiteral("/dev/ttyACM9")); // another port
    EXPECT_EQ(session.portName(), sim.port());
}

TEST_F(DiscoveryTest, CandidatesFollowTheConnectMode)
{
    ports.system = {{QStringLiteral("/dev/ttyUSB0"), true, 0x0403, 0x6001},
                    {QStringLiteral("/dev/ttyACM1"), true, 0x1FC9, 0x0117},
                    {QStringLiteral("/dev/ttyS0"), false, 0, 0},
                    {QStringLiteral("/dev/ttyACM0"), true, 0x1FC9, 0x0117}};
    ports.virtuals = {QStringLiteral("/run/v/sim0")};
    EXPECT_EQ(discovery.candidates(), (QStringList{QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1"),
                                                   QStringLiteral("/run/v/sim0")}));
    EXPECT_EQ(discovery.allPorts().size(), 5);
    discovery.applySettings(ReaderSession::ConnectionMode::ByNumber, QString(), 12);
    EXPECT_EQ(discovery.candidates(), QStringList{QStringLiteral("/dev/ttyACM11")});
    discovery.applySettings(ReaderSession::ConnectionMode::FromList, QString(), 1);
    discovery.scanOnce(); // an empty name is skipped
    EXPECT_FALSE(session.hasPort());
}

TEST_F(DiscoveryTest, NothingHappensWhileTheSettingsDialogIsOpen)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.pause();
    discovery.scanOnce();
    EXPECT_FALSE(discovery.scanning());
    EXPECT_TRUE(sim.commands().isEmpty());
    discovery.resume();
    EXPECT_TRUE(waitUntil([&] { return session.isConnected(); }, 1500));
}

TEST_F(DiscoveryTest, PortsAreListedOnlyWhenDevicesChanged)
{
    for (int i = 0; i < 3; ++i)
        scan();
    EXPECT_EQ(ports.readerListings, 1);
    SimReader sim;
    ports.virtuals = {sim.port()};
    scan();
    EXPECT_FALSE(session.isConnected()); // nobody said the devices changed
    discovery.portsChanged();
    scan();
    EXPECT_EQ(ports.readerListings, 2);
    EXPECT_TRUE(session.isConnected());
}

TEST_F(DiscoveryTest, ABusyPortAndASilentReaderAreToldWhy)
{
    QList<PortTrouble> told;
    QObject::connect(&discovery, &ReaderDiscovery::troubleChanged, [&](const PortTrouble &t) { told << t; });
    SimReader sim;
    QtSerialPort other; // another program holds the port
    ASSERT_TRUE(other.open(sim.port()));
    ports.virtuals = {sim.port()};
    scan();
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].kind, PortTrouble::Kind::Busy);
    EXPECT_EQ(told[0].port, sim.port());
    EXPECT_TRUE(told[0].details().startsWith(QStringLiteral("Порт считывателя ") + sim.port() + QStringLiteral(" занят")));
    scan();
    EXPECT_EQ(told.size(), 1); // told once, not at every scan
    other.close();
    sim.model->injectFault(sim::Fault::Silent);
    scan();
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told[1].kind, PortTrouble::Kind::Silent);
    sim.model->clearFault(sim::Fault::Silent);
    scan();
    ASSERT_EQ(told.size(), 3);
    EXPECT_EQ(told[2].kind, PortTrouble::Kind::None);
    EXPECT_TRUE(session.isConnected());
}

TEST_F(DiscoveryTest, AProbeWaitsOnNothing)
{
    // A port that opens but never answers: the scan returns while the probe
    // still waits (had the scan waited for it, the probe would be over), and
    // the probe ends later, on its own.
    SimReader silent;
    silent.model->injectFault(sim::Fault::Silent);
    ports.virtuals = {silent.port()};
    discovery.scanOnce();
    EXPECT_TRUE(discovery.scanning());
    EXPECT_TRUE(waitUntil([&] { return !discovery.scanning(); }));
    EXPECT_FALSE(session.hasPort());
}

TEST_F(DiscoveryTest, RemovalsOfOtherPortsDoNotHoldTheScanBack)
{
    // Another device comes and goes more often than the scan runs.
    SimReader reader;
    QTimer flapping;
    QObject::connect(&flapping, &QTimer::timeout, [this] {
        discovery.deviceRemoved(QStringLiteral("/dev/ttyUSB7"));
        discovery.portsChanged();
    });
    flapping.start(timings.scan / 3);
    ports.virtuals = {reader.port()};
    discovery.start();
    EXPECT_TRUE(waitUntil([&] { return session.isConnected(); }, timings.scan * 4));
}

TEST_F(DiscoveryTest, AReaderLeftInItsLoaderIsTakenAsThatWithNothingSent)
{
    SimReader sim;
    ASSERT_TRUE((loaders.remember({sim.port(), QString(), QStringLiteral("A1020117"), QStringLiteral("A102-0A1B2C3D")})));
    QSignalSpy found(&discovery, &ReaderDiscovery::loaderFound);
    ports.virtuals = {sim.port()};
    scan();
    EXPECT_EQ(found.count(), 1);
    EXPECT_TRUE(session.inLoader());
    EXPECT_FALSE(session.isConnected());
    EXPECT_EQ(session.portName(), sim.port());
    EXPECT_EQ(session.identity().firmwareIdentity, QStringLiteral("A1020117"));
    EXPECT_EQ(session.serial(), QStringLiteral("A102-0A1B2C3D"));
    EXPECT_TRUE(sim.commands().isEmpty());
}
