#include "platform/systemdevices.h"

#include <QFile>
#include <QSerialPortInfo>
#include <libudev.h>

#include "platform/readerdevice.h"

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

QStringList SystemPortEnumerator::readerPorts() const
{
    QStringList out;
    struct udev *context = udev_new();
    if (!context)
        return out;
    udev_enumerate *e = udev_enumerate_new(context);
    const QByteArray vendor = QByteArray::number(kReaderVendorId, 16).rightJustified(4, '0');
    const QByteArray product = QByteArray::number(kReaderProductId, 16).rightJustified(4, '0');
    udev_enumerate_add_match_subsystem(e, "tty");
    udev_enumerate_add_match_property(e, "ID_VENDOR_ID", vendor.constData());
    udev_enumerate_scan_devices(e);
    for (udev_list_entry *entry = udev_enumerate_get_list_entry(e); entry; entry = udev_list_entry_get_next(entry)) {
        udev_device *dev = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (!dev)
            continue;
        const char *model = udev_device_get_property_value(dev, "ID_MODEL_ID");
        const char *node = udev_device_get_devnode(dev);
        if (model && node && qstricmp(model, product.constData()) == 0)
            out << QString::fromLocal8Bit(node);
        udev_device_unref(dev);
    }
    udev_enumerate_unref(e);
    udev_unref(context);
    return out;
}

QString SystemPortEnumerator::location(const QString &port) const
{
    // A virtual reader is where its link is.
    if (virtualReaderPorts().contains(port))
        return port;
    QString out;
    struct udev *context = udev_new();
    if (!context)
        return out;
    udev_enumerate *e = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(e, "tty");
    udev_enumerate_add_match_property(e, "DEVNAME", QFile::encodeName(port).constData());
    udev_enumerate_scan_devices(e);
    if (udev_list_entry *entry = udev_enumerate_get_list_entry(e)) {
        if (udev_device *dev = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry))) {
            // The USB device the port belongs to: where it is plugged in.
            if (const char *path = udev_device_get_property_value(dev, "ID_PATH"))
                out = QString::fromLocal8Bit(path);
            else if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device"))
                out = QString::fromLocal8Bit(udev_device_get_devpath(usb));
            udev_device_unref(dev);
        }
    }
    udev_enumerate_unref(e);
    udev_unref(context);
    return out;
}

QStringList SystemPortEnumerator::virtualReaders() const
{
    return virtualReaderPorts();
}

} // namespace limra
