#pragma once
// The serial ports the system knows.
#include <QList>
#include <QString>
#include <QStringList>

namespace limra {

struct PortInfo {
    QString name;          // what the port is opened by (a device path on Linux)
    bool hasUsbIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    // Every present serial port.
    virtual QList<PortInfo> ports() const = 0;
    // The present serial ports with the reader's USB ids (1FC9:0117).
    virtual QStringList readerPorts() const = 0;
    // Links of the virtual (simulated) readers, in name order.
    virtual QStringList virtualReaders() const = 0;
    // Where the port's device is plugged in (the USB path), so that a reader
    // coming back under another name is known; empty when not known.
    virtual QString location(const QString &port) const
    {
        Q_UNUSED(port)
        return QString();
    }
};

} // namespace limra
