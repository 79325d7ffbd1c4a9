#pragma once
// Tells when serial devices come and go: a USB serial port added or removed,
// a virtual reader's link made or taken away.
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
    // A serial device came or went: the ports are worth listing again.
    void changed();
};

} // namespace limra
