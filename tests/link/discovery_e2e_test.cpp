// Discovery with the real serial port over pseudo-terminals against
// simulated readers.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>

#include "link/discovery.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::FakePortEnumerator;
using limra::testing::SimReader;
using limra::testing::waitUntil;

namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    DiscoveryTest()
        : discovery(link, ports, [] { return std::make_unique<QtSerialPort>(); })
    {
        QObject::connect(&discovery, &ReaderDiscovery::connected, [this](const QString &s) { status = s; });
        QObject::connect(&discovery, &ReaderDiscovery::disconnected, [this] { status = QStringLiteral("searching"); });
        QObject::connect(&discovery, &ReaderDiscovery::readConfigurationRequested, [this] {
            link.SendToComPort(QStringLiteral("0B01"), 2000);
        });
        QObject::connect(&link, &ReaderLink::portFailed, &discovery, &ReaderDiscovery::WMDEVICECHANGE);
    }
    ReaderLink link;
    FakePortEnumerator ports;
    ReaderDiscovery discovery;
    QString status;
};

} // namespace

TEST_F(DiscoveryTest, ConnectsUsbReaderAndSendsIdentifyResetRead)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    EXPECT_EQ(link.connectedport, sim.port());
    EXPECT_EQ(status, QStringLiteral("Устройство подключено ") + sim.port() + QStringLiteral("  (s/n: A102-0A1B2C3D)"));
    EXPECT_FALSE(discovery.bleReader);
    EXPECT_EQ(sim.model->commandsReceived,
              (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01")}));
    EXPECT_TRUE(discovery.scanTimer.isActive());
}

TEST_F(DiscoveryTest, ConnectsBleReader)
{
    SimReader sim;
    sim.model->readerType = 0x04;
    sim.model->serial = QStringLiteral("01020304050607");
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    EXPECT_TRUE(discovery.bleReader);
    EXPECT_EQ(status, QStringLiteral("Устройство BLE подключено ") + sim.port() + QStringLiteral("  (s/n: A104-01020304050607)"));
}

TEST_F(DiscoveryTest, WrongIdentificationIsRefusedAndRetriedEverySecond)
{
    SimReader sim;
    sim.model->readerType = 0x03;
    sim.model->hardware = QStringLiteral("01");
    ports.virtuals = {sim.port()};
    discovery.scanTimer.start();
    EXPECT_TRUE(waitUntil([&] { return sim.model->commandsReceived.size() >= 2; }, 3500));
    EXPECT_EQ(sim.model->commandsReceived, (QStringList{QStringLiteral("FF01"), QStringLiteral("FF01")}));
    EXPECT_TRUE(link.connectedport.isEmpty());
    EXPECT_EQ(link.port(), nullptr);
    EXPECT_TRUE(status.isEmpty());
}

TEST_F(DiscoveryTest, ShortSerialNumberIsRefused)
{
    SimReader sim;
    sim.model->serial = QStringLiteral("0A1B2C");
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    EXPECT_TRUE(link.connectedport.isEmpty());
}

TEST_F(DiscoveryTest, TwoReadersGiveTheFirstAndLeaveTheSecondUnopened)
{
    SimReader first, second;
    ports.virtuals = {first.port(), second.port()};
    discovery.ScanCOMTimerTimer();
    EXPECT_EQ(link.connectedport, first.port());
    EXPECT_TRUE(second.model->commandsReceived.isEmpty());
}

TEST_F(DiscoveryTest, SilentReaderIsSkippedForTheNext)
{
    SimReader silent, good;
    silent.model->faults.silent = true;
    ports.virtuals = {silent.port(), good.port()};
    discovery.ScanCOMTimerTimer();
    EXPECT_EQ(link.connectedport, good.port());
}

TEST_F(DiscoveryTest, UnplugDisconnectsAndRescansAfterAbout100ms)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    ASSERT_FALSE(link.connectedport.isEmpty());
    const QString port = sim.port();
    sim.host->unplug();
    ports.virtuals.clear();
    discovery.WMDEVICECHANGE(port);
    EXPECT_EQ(status, QStringLiteral("searching"));
    EXPECT_EQ(link.port(), nullptr);
    EXPECT_EQ(discovery.scanTimer.interval(), 100);
    EXPECT_TRUE(waitUntil([&] { return discovery.scanTimer.interval() == 1000; }, 500));
}

TEST_F(DiscoveryTest, PortFailureAfterUnplugCountsAsRemoval)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    ASSERT_FALSE(link.connectedport.isEmpty());
    sim.host->unplug(); // no removal notice: only the port's error tells
    EXPECT_TRUE(waitUntil([&] { return link.connectedport.isEmpty(); }, 2000));
    EXPECT_EQ(status, QStringLiteral("searching"));
}

TEST_F(DiscoveryTest, RemovalIgnoredWhileSwitchingFirmware)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.ScanCOMTimerTimer();
    discovery.fwswitching = true;
    discovery.WMDEVICECHANGE(sim.port());
    EXPECT_EQ(link.connectedport, sim.port());
    discovery.WMDEVICECHANGE(QStringLiteral("/dev/ttyACM9")); // another port
    EXPECT_EQ(link.connectedport, sim.port());
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
    EXPECT_EQ(discovery.EnumPorts().size(), 5);
    discovery.connectmode = ReaderDiscovery::ByNumber;
    discovery.manualNumber = 12;
    EXPECT_EQ(discovery.candidates(), QStringList{QStringLiteral("/dev/ttyACM11")});
    discovery.connectmode = ReaderDiscovery::FromList;
    discovery.listPort = QString();
    discovery.ScanCOMTimerTimer(); // an empty name is skipped
    EXPECT_EQ(link.port(), nullptr);
}

TEST_F(DiscoveryTest, NothingHappensWhileTheSettingsDialogIsOpen)
{
    SimReader sim;
    ports.virtuals = {sim.port()};
    discovery.settingsDialogOpen = [] { return true; };
    discovery.ScanCOMTimerTimer();
    EXPECT_TRUE(sim.model->commandsReceived.isEmpty());
}
