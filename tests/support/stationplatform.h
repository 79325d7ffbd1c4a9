#pragma once
// What a station in a test is given: scripted port listings, real serial
// ports (the simulated reader's pseudo-terminals) and a data folder of its own.
#include "station/station.h"
#include "platform/qtserialport.h"

namespace limra::testing {

inline ReaderStation::Platform stationPlatform(const PortEnumerator &ports, const QString &dataFolder,
                                               DeviceMonitor *monitor = nullptr,
                                               SerialPortFactory factory = [] { return std::make_unique<QtSerialPort>(); })
{
    ReaderStation::Platform p;
    p.ports = &ports;
    p.deviceMonitor = monitor;
    p.portFactory = std::move(factory);
    p.dataFolder = dataFolder;
    return p;
}

} // namespace limra::testing
