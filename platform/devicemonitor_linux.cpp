#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <libudev.h>

#include "common/logging.h"
#include "platform/systemdevices.h"
#include "platform/virtualreaders.h"

namespace limra {

struct SystemDeviceMonitor::Udev {
    struct ::udev *context = nullptr;
    udev_monitor *monitor = nullptr;
    ~Udev()
    {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
    }
};

SystemDeviceMonitor::SystemDeviceMonitor(QObject *parent) : DeviceMonitor(parent), m_state(std::make_unique<Udev>())
{
    m_state->context = udev_new();
    if (m_state->context)
        m_state->monitor = udev_monitor_new_from_netlink(m_state->context, "udev");
    if (m_state->monitor && udev_monitor_filter_add_match_subsystem_devtype(m_state->monitor, "tty", nullptr) == 0
        && udev_monitor_enable_receiving(m_state->monitor) == 0) {
        m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_state->monitor), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SystemDeviceMonitor::readUdev);
    } else {
        qCWarning(lcDiscovery) << "no udev monitor: removal of USB readers is noticed through port errors only";
    }

    ensureVirtualReadersDir();
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(virtualReadersDir());
    const QStringList links = virtualReaderPorts();
    m_knownLinks = QSet<QString>(links.begin(), links.end());
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SystemDeviceMonitor::virtualReadersChanged);
}

SystemDeviceMonitor::~SystemDeviceMonitor() = default;

void SystemDeviceMonitor::readUdev()
{
    while (udev_device *dev = udev_monitor_receive_device(m_state->monitor)) {
        const char *action = udev_device_get_action(dev);
        const char *node = udev_device_get_devnode(dev);
        if (action && node && qstrcmp(action, "remove") == 0) {
            qCDebug(lcDiscovery) << "removed" << node;
            Q_EMIT removed(QString::fromLocal8Bit(node));
        }
        if (action && (qstrcmp(action, "add") == 0 || qstrcmp(action, "remove") == 0))
            Q_EMIT changed();
        udev_device_unref(dev);
    }
}

void SystemDeviceMonitor::virtualReadersChanged()
{
    const QStringList links = virtualReaderPorts();
    const QSet<QString> now(links.begin(), links.end());
    const QSet<QString> gone = m_knownLinks - now;
    m_knownLinks = now;
    for (const QString &link : gone)
        Q_EMIT removed(link);
    Q_EMIT changed();
}

} // namespace limra
