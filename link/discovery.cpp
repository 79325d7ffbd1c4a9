#include "link/discovery.h"

#include <algorithm>

#include "link/constants.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/logging.h"

namespace limra {

ReaderDiscovery::ReaderDiscovery(ReaderLink &l, const PortEnumerator &p, SerialPortFactory f, QObject *parent)
    : QObject(parent), link(l), ports(p), factory(std::move(f))
{
    scanTimer.setInterval(kScanIntervalMs);
    connect(&scanTimer, &QTimer::timeout, this, &ReaderDiscovery::ScanCOMTimerTimer);
}

QStringList ReaderDiscovery::EnumPorts2() const
{
    QStringList usb;
    for (const PortInfo &p : ports.ports())
        if (p.hasUsbIds && p.vendorId == kReaderVendorId && p.productId == kReaderProductId)
            usb << p.name.trimmed();
    std::sort(usb.begin(), usb.end()); // a stable order whatever the system lists first
    usb.removeDuplicates();
    return usb + ports.virtualReaders();
}

QStringList ReaderDiscovery::EnumPorts() const
{
    QStringList all;
    for (const PortInfo &p : ports.ports())
        all << p.name;
    return all + ports.virtualReaders();
}

QString ReaderDiscovery::portForNumber(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    // The reader is a CDC-ACM device: COM1 is the first such port.
    return QStringLiteral("/dev/ttyACM%1").arg(n - 1);
#endif
}

QStringList ReaderDiscovery::candidates() const
{
    switch (connectmode) {
    case FromList: return {listPort};
    case ByNumber: return {portForNumber(manualNumber)};
    default: return EnumPorts2();
    }
}

void ReaderDiscovery::ScanCOMTimerTimer()
{
    if (scanTimer.interval() < kScanIntervalMs)
        scanTimer.setInterval(kScanIntervalMs);
    scanTimer.stop();
    struct Restart {
        QTimer &t;
        ~Restart() { t.start(); }
    } restart{scanTimer};

    if (isConnected() || link.port() || settingsDialogOpen())
        return;
    for (const QString &candidate : candidates()) {
        const QString name = candidate.trimmed();
        if (name.isEmpty())
            continue;
        if (probe(name))
            return;
    }
}

bool ReaderDiscovery::probe(const QString &name)
{
    std::unique_ptr<SerialPort> port = factory();
    if (!port->open(name) || !port->isOpen())
        return false;
    link.setPort(std::move(port));
    const QString reply = link.SendToComPort(QStringLiteral("FF01"), kIdentifyTimeoutMs);
    auto discard = [this, &name](const char *why) {
        qCDebug(lcDiscovery) << name << why;
        link.closePort();
        return false;
    };
    if (isError(reply) || !link.port())
        return discard("did not identify");
    const QString fd = gettagvalue(0xFD, reply, false);
    const QString ff = gettagvalue(0xFF, reply, false);
    if (fd.size() <= 6 || ff.size() != 4)
        return discard("sent wrong identification items");
    QString prefix;
    const QString type = ff.mid(2, 2);
    if (type == hexByte(kReaderTypeUsb)) {
        blereader = false;
        prefix = QStringLiteral("Устройство подключено ");
    } else if (type == hexByte(kReaderTypeBle)) {
        blereader = true;
        prefix = QStringLiteral("Устройство BLE подключено ");
    } else {
        return discard("is not a reader of a known type");
    }
    link.connectedport = name;
    Q_EMIT connected(prefix + name + QStringLiteral("  (s/n: ") + ff + QLatin1Char('-') + fd + QLatin1Char(')'));
    link.SendToComPort(QStringLiteral("0501"), kDefaultTimeoutMs);
    if (isConnected())
        Q_EMIT readConfigurationRequested();
    return true;
}

void ReaderDiscovery::WMDEVICECHANGE(const QString &removedPort)
{
    scanTimer.stop();
    const QString name = removedPort.trimmed();
    if (link.port() && !name.isEmpty() && name == link.connectedport.trimmed() && !fwswitching) {
        disconnect();
        scanTimer.setInterval(kRescanAfterRemovalMs);
    }
    scanTimer.start();
}

void ReaderDiscovery::disconnect()
{
    link.connectedport.clear();
    link.closePort();
    Q_EMIT disconnected();
}

} // namespace limra
