#pragma once
// Tells when a serial device has gone: a USB serial port removed, or a
// virtual reader's link taken away. Arrivals are not reported.
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

class QFileSystemWatcher;
class QSocketNotifier;

namespace limra {

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    // The removal of a serial device is complete; `portName` as the port is opened by.
    void removed(const QString &portName);
};

// udev's tty subsystem plus the virtual readers' folder.
class SystemDeviceMonitor : public DeviceMonitor {
    Q_OBJECT
public:
    explicit SystemDeviceMonitor(QObject *parent = nullptr);
    ~SystemDeviceMonitor() override;

private:
    void readUdev();
    void virtualReadersChanged();

    struct Udev;
    std::unique_ptr<Udev> state;
    QSocketNotifier *notifier = nullptr;
    QFileSystemWatcher *watcher = nullptr;
    QSet<QString> knownLinks;
};

} // namespace limra
