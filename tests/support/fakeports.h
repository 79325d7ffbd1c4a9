#pragma once
#include "platform/devicemonitor.h"
#include "platform/portenum.h"

namespace limra::testing {

class FakePortEnumerator : public PortEnumerator {
public:
    QList<PortInfo> ports() const override { return system; }
    QStringList virtualReaders() const override { return virtuals; }
    QList<PortInfo> system;
    QStringList virtuals;
};

class FakeDeviceMonitor : public DeviceMonitor {
public:
    void remove(const QString &port) { Q_EMIT removed(port); }
};

} // namespace limra::testing
