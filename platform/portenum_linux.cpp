#include "platform/systemdevices.h"

#include <QSerialPortInfo>

#include "platform/virtualreaders.h"

namespace limra {

QList<PortInfo> SystemPortEnumerator::ports() const
{
    QList<PortInfo> out;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &i : infos) {
        PortInfo p;
        p.name = i.systemLocation();
        p.hasUsbIds = i.hasVendorIdentifier() && i.hasProductIdentifier();
        p.vendorId = i.vendorIdentifier();
        p.productId = i.productIdentifier();
        out << p;
    }
    return out;
}

QStringList SystemPortEnumerator::virtualReaders() const
{
    return virtualReaderPorts();
}

} // namespace limra
