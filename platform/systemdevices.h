#pragma once
// The system's serial ports and their removal, on Linux through libudev and
// the virtual readers' folder.
#include <QSet>
#include <memory>

#include "platform/devicemonitor.h"
#include "platform/portenum.h"

class QFileSystemWatcher;
class QSocketNotifier;

namespace limra {

// Every port through QSerialPortInfo; the reader's ports straight from
// udev by their USB ids; virtual readers from their folder.
class SystemPortEnumerator : public PortEnumerator {
public:
    QList<PortInfo> ports() const override;
    QStringList readerPorts() const override;
    QStringList virtualReaders() const override;
    QString location(const QString &port) const override;
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
    std::unique_ptr<Udev> m_state;
    QSocketNotifier *m_notifier = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QSet<QString> m_knownLinks;
};

} // namespace limra
