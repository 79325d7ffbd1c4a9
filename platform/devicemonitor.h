#pragma once
// Tells when a serial device has gone: a USB serial port removed, or a
// virtual reader's link taken away. Arrivals are not reported.
#include <QObject>
#include <QString>

namespace limra {

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    // The removal of a serial device is complete; `portName` as the port is opened by.
    void removed(const QString &portName);
};

} // namespace limra
