// CPU of the waiting tool: the main window with the system's port
// enumeration and device monitor, no reader attached, for 20 seconds; beside
// it, in the same run, the same span of an event loop that lists every serial
// port of the system once a second, as the search did before it listened to
// device changes. Printed as shares of one core.
#include <QApplication>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "bench/benchsupport.h"
#include "platform/qtserialport.h"
#include "platform/systemdevices.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::bench;

namespace {

// Runs the event loop for `seconds` and returns the CPU share of one core.
double cpuShare(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    loop.exec();
    return (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    double toolShare = 0;
    {
        testing::ToolServices services;
        SystemPortEnumerator ports;
        SystemDeviceMonitor monitor;
        ReaderStation::Platform platform;
        platform.ports = &ports;
        platform.deviceMonitor = &monitor;
        platform.portFactory = [] { return std::make_unique<QtSerialPort>(); };
        platform.dataFolder = services.dir.filePath(QStringLiteral("data"));
        ReaderStation station(platform);
        MainWindow window(station, services.services());
        window.show();
        cpuShare(2); // start-up is not waiting
        toolShare = cpuShare(seconds);
        window.close();
    }

    QTimer everySecond;
    int listed = 0;
    QObject::connect(&everySecond, &QTimer::timeout, [&] { listed += int(QSerialPortInfo::availablePorts().size()); });
    everySecond.start(1000);
    const double enumerating = cpuShare(seconds);
    everySecond.stop();

    std::printf("waiting tool, no reader, %d s: %.3f%% of a core (goal <= 0.1%%); listing every serial port once a "
                "second, as before: %.3f%% (%d ports listed)\n",
                seconds, 100 * toolShare, 100 * enumerating, listed);
    return 0;
}
