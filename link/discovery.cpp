#include "link/discovery.h"

#include <algorithm>

#include "common/logging.h"
#include "common/texts.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/portnames.h"

namespace limra {

namespace {
constexpr int kScanIntervalMs = 1000;
constexpr int kRescanAfterRemovalMs = 100;
// Item FD must be longer than this many digits to be a serial number.
constexpr int kMinSerialDigits = 7;
} // namespace

ReaderDiscovery::ReaderDiscovery(ReaderSession &session, ReaderLink &link, const PortEnumerator &ports,
                                 QObject *parent)
    : QObject(parent), m_session(session), m_link(link), m_ports(ports)
{
    m_timer.setInterval(kScanIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ReaderDiscovery::scanOnce);
    connect(&m_session, &ReaderSession::portFailed, this, &ReaderDiscovery::deviceRemoved);
    connect(&m_session, &ReaderSession::portFailed, this, &ReaderDiscovery::portsChanged);
}

void ReaderDiscovery::start()
{
    m_timer.start();
}

void ReaderDiscovery::pause()
{
    m_paused = true;
    m_timer.stop();
}

void ReaderDiscovery::resume()
{
    m_paused = false;
    m_timer.start();
}

void ReaderDiscovery::applySettings(ReaderSession::ConnectionMode mode, const QString &listPort, int manualNumber)
{
    m_session.mode = mode;
    m_session.listPort = listPort;
    m_session.manualNumber = manualNumber;
    if (m_session.hasPort())
        m_session.dropConnection();
}

QStringList ReaderDiscovery::readerPorts()
{
    if (m_portsStale) {
        QStringList usb;
        for (const QString &name : m_ports.readerPorts())
            usb << name.trimmed();
        std::sort(usb.begin(), usb.end()); // a stable order whatever the system lists first
        usb.removeDuplicates();
        m_readerPorts = usb + m_ports.virtualReaders();
        m_portsStale = false;
    }
    return m_readerPorts;
}

QStringList ReaderDiscovery::allPorts() const
{
    QStringList all;
    for (const PortInfo &p : m_ports.ports())
        all << p.name;
    return all + m_ports.virtualReaders();
}

QStringList ReaderDiscovery::candidates()
{
    switch (m_session.mode) {
    case ReaderSession::ConnectionMode::FromList: return {m_session.listPort};
    case ReaderSession::ConnectionMode::ByNumber: return {portForNumber(m_session.manualNumber)};
    case ReaderSession::ConnectionMode::Automatic: break;
    }
    return readerPorts();
}

void ReaderDiscovery::scanOnce()
{
    if (m_timer.interval() < kScanIntervalMs)
        m_timer.setInterval(kScanIntervalMs);
    m_timer.stop();
    // The waits of a probe let events run, a further tick among them: the
    // timer is started again when this scan ends, however it ends.
    struct Restart {
        ReaderDiscovery &d;
        ~Restart()
        {
            if (!d.m_paused)
                d.m_timer.start();
        }
    } restart{*this};

    if (m_paused || m_session.isConnected() || m_session.hasPort())
        return;
    for (const QString &candidate : candidates()) {
        const QString name = candidate.trimmed();
        if (!name.isEmpty() && probe(name))
            return;
    }
}

bool ReaderDiscovery::probe(const QString &name)
{
    if (!m_session.open(name))
        return false;
    const QString reply = m_link.exchange(command::Identify, kIdentifyTimeoutMs);
    auto discard = [this, &name](const char *why) {
        qCDebug(lcDiscovery) << name << why;
        m_session.closePort();
        return false;
    };
    if (isError(reply) || !m_session.hasPort())
        return discard("did not identify");
    const QString serial = tagValue(tag::Serial, reply, Packet::Items);
    const QString kindItem = tagValue(tag::ReaderType, reply, Packet::Items);
    if (serial.size() < kMinSerialDigits || kindItem.size() != 4)
        return discard("sent wrong identification items");
    ReaderKind readerKind = ReaderKind::Usb;
    QString prefix;
    if (kindItem.mid(2, 2) == hexByte(kReaderKindUsb)) {
        prefix = texts::kConnectedUsb;
    } else if (kindItem.mid(2, 2) == hexByte(kReaderKindBle)) {
        readerKind = ReaderKind::Ble;
        prefix = texts::kConnectedBle;
    } else {
        return discard("is not a reader of a known type");
    }
    m_session.setConnected(prefix + name + QStringLiteral("  (s/n: ") + kindItem + QLatin1Char('-') + serial
                               + QLatin1Char(')'),
                           readerKind);
    m_link.exchange(command::ResumeReading);
    if (m_session.isConnected())
        Q_EMIT identified();
    return true;
}

void ReaderDiscovery::deviceRemoved(const QString &portName)
{
    m_timer.stop();
    m_portsStale = true;
    const QString name = portName.trimmed();
    if (m_session.hasPort() && !name.isEmpty() && name == m_session.portName().trimmed()
        && !m_session.firmwareSwitching()) {
        m_session.dropConnection();
        m_timer.setInterval(kRescanAfterRemovalMs);
    }
    if (!m_paused)
        m_timer.start();
}

} // namespace limra
