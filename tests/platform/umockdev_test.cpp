// The genuine USB path without hardware: umockdev fakes a CDC-ACM reader
// (1FC9:0117) whose /dev/ttyACM0 is a pseudo-terminal with the simulated
// reader on its other side. Runs under umockdev-wrapper, so QSerialPortInfo,
// QSerialPort and the udev monitor are the real ones.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <umockdev.h>
#include <unistd.h>

#include "link/discovery.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "platform/systemdevices.h"
#include "sim/readermodel.h"
#include "tests/support/simreader.h"

using namespace limra;

namespace {

const char kDevice[] = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0";

// The simulated reader on the master side of umockdev's terminal.
class MasterSide : public QObject {
public:
    MasterSide(int fd, sim::ReaderModel *model) : m_fd(fd), m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this, model] {
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                model->receive(QByteArray(buf, int(n)));
        });
        connect(model, &sim::ReaderModel::output, this, [this](const QByteArray &b) {
            if (::write(m_fd, b.constData(), size_t(b.size())) < 0) {}
        });
    }
    int m_fd;
    QSocketNotifier m_notifier;
};

class UsbReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("umockdev-preload")))
            GTEST_SKIP() << "needs umockdev-wrapper";
        testbed = umockdev_testbed_new();
        GError *error = nullptr;
        QFile fixture(QStringLiteral(LIMRA_FIXTURES "/reader-acm.umockdev"));
        ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, fixture.readAll().constData(), &error))
            << (error ? error->message : "");
        const int fd = umockdev_testbed_get_dev_fd(testbed, "/dev/ttyACM0");
        ASSERT_GE(fd, 0);
        master = std::make_unique<MasterSide>(fd, &model);
    }
    void TearDown() override
    {
        master.reset();
        if (testbed)
            g_object_unref(testbed);
    }
    UMockdevTestbed *testbed = nullptr;
    sim::ReaderModel model;
    std::unique_ptr<MasterSide> master;
};

} // namespace

TEST_F(UsbReader, IsFoundByItsUsbIdsConnectedAndDroppedOnRemoval)
{
    SystemPortEnumerator ports;
    ReaderLink link;
    ReaderSession session(link, [] { return std::make_unique<QtSerialPort>(); });
    LoaderRegistry loaders;
    Timings timings;
    ReaderDiscovery discovery(session, link, ports, loaders, timings);
    EXPECT_TRUE(discovery.readerPorts().contains(QStringLiteral("/dev/ttyACM0")))
        << discovery.readerPorts().join(QLatin1Char(' ')).toStdString();

    SystemDeviceMonitor monitor;
    QObject::connect(&monitor, &DeviceMonitor::removed, &discovery, &ReaderDiscovery::deviceRemoved);
    discovery.scanOnce();
    ASSERT_TRUE(limra::testing::waitUntil([&] { return !discovery.scanning() && link.idle(); }, 3000));
    ASSERT_EQ(session.portName(), QStringLiteral("/dev/ttyACM0"));
    // The USB location is known, so that a reader coming back elsewhere is known too.
    EXPECT_FALSE(discovery.location(QStringLiteral("/dev/ttyACM0")).isEmpty());
    EXPECT_EQ(model.commandsReceived().mid(0, 2),
              (QList<QByteArray>{QByteArray::fromHex("FF01"), QByteArray::fromHex("0501")}));

    QSignalSpy removed(&monitor, &DeviceMonitor::removed);
    umockdev_testbed_uevent(testbed, kDevice, "remove");
    EXPECT_TRUE(limra::testing::waitUntil([&] { return !session.isConnected(); }, 3000));
    ASSERT_EQ(removed.count(), 1); // told by the udev monitor
    EXPECT_EQ(removed[0][0].toString(), QStringLiteral("/dev/ttyACM0"));
}
