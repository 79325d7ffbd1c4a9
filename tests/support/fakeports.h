#pragma once
#include "platform/devicemonitor.h"
#include "platform/portenum.h"

namespace limra::testing {

class FakePortEnumerator : public PortEnumerator {
public:
    QList<PortInfo> ports() const override { return system; }
    QStringList readerPorts() const override
    {
        ++readerListings;
        QStringList out;
        for (const PortInfo &p : system)
            if (p.hasUsbIds && p.vendorId == 0x1FC9 && p.productId == 0x0117)
                out << p.name;
        return out;
    }
    QStringList virtualReaders() const override { return virtuals; }
    mutable int readerListings = 0;
    QList<PortInfo> system;
    QStringList virtuals;
};

class FakeDeviceMonitor : public DeviceMonitor {
public:
    void remove(const QString &port)
    {
        Q_EMIT removed(port);
        Q_EMIT changed();
    }
};

} // namespace limra::testing
