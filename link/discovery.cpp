#include "link/discovery.h"

#include <algorithm>

#include "common/logging.h"
#include "link/hextext.h"
#include "link/loaders.h"
#include "platform/portnames.h"
#include "platform/processes.h"

namespace limra {

QString PortTrouble::shortText() const
{
    switch (kind) {
    case Kind::NoPermission: return QStringLiteral("нет прав на порт ") + port;
    case Kind::Busy: return QStringLiteral("порт ") + port + QStringLiteral(" занят");
    case Kind::Silent: return QStringLiteral("считыватель на ") + port + QStringLiteral(" не отвечает");
    case Kind::None: break;
    }
    return QString();
}

QString PortTrouble::details() const
{
    switch (kind) {
    case Kind::NoPermission:
        return QStringLiteral("Нет прав на порт считывателя %1. Добавьте пользователя в группу dialout и войдите "
                              "в систему заново, или установите правило udev 60-limra-rfid.rules (оно входит в пакет "
                              "программы), и подключите считыватель заново.")
            .arg(port);
    case Kind::Busy:
        return QStringLiteral("Порт считывателя %1 занят другой программой (возможно, другой копией этой программы).")
                   .arg(port)
               + (modemManager ? QStringLiteral(" Работает ModemManager: он проверяет новые устройства около 20 секунд. "
                                                "Правило udev 60-limra-rfid.rules просит его не трогать считыватель.")
                               : QString());
    case Kind::Silent:
        return QStringLiteral("Порт %1 открыт, но считыватель не отвечает на запрос идентификации.").arg(port);
    case Kind::None:
        break;
    }
    return QString();
}

ReaderDiscovery::ReaderDiscovery(ReaderSession &session, ReaderLink &link, const PortEnumerator &ports,
                                 const LoaderRegistry &loaders, const Timings &timings, QObject *parent)
    : QObject(parent), m_session(session), m_link(link), m_ports(ports), m_loaders(loaders), m_timings(timings)
{
    connect(&m_timer, &QTimer::timeout, this, &ReaderDiscovery::scanOnce);
    m_rescan.setSingleShot(true);
    connect(&m_rescan, &QTimer::timeout, this, &ReaderDiscovery::scanOnce);
    connect(&m_session, &ReaderSession::portLost, this, &ReaderDiscovery::deviceRemoved);
}

void ReaderDiscovery::start()
{
    m_timer.start(m_timings.scan);
}

void ReaderDiscovery::pause()
{
    m_paused = true;
}

void ReaderDiscovery::resume()
{
    m_paused = false;
    if (!m_timer.isActive())
        m_timer.start(m_timings.scan);
}

void ReaderDiscovery::applySettings(ReaderSession::ConnectionMode mode, const QString &listPort, int manualNumber)
{
    m_mode = mode;
    m_listPort = listPort;
    m_manualNumber = manualNumber;
    if (m_session.hasPort())
        m_session.dropConnection();
}

QStringList readerPortsOf(const PortEnumerator &ports)
{
    QStringList usb;
    for (const QString &name : ports.readerPorts())
        usb << name.trimmed();
    std::sort(usb.begin(), usb.end()); // a stable order whatever the system lists first
    usb.removeDuplicates();
    return usb + ports.virtualReaders();
}

QStringList ReaderDiscovery::readerPorts()
{
    if (m_portsStale) {
        m_readerPorts = readerPortsOf(m_ports);
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
    switch (m_mode) {
    case ReaderSession::ConnectionMode::FromList: return {m_listPort};
    case ReaderSession::ConnectionMode::ByNumber: return {portForNumber(m_manualNumber)};
    case ReaderSession::ConnectionMode::Automatic: break;
    }
    return readerPorts();
}

void ReaderDiscovery::scanOnce()
{
    if (m_paused || m_scanning || m_session.isConnected() || m_session.inLoader() || m_session.hasPort())
        return;
    m_scanning = true;
    m_found = PortTrouble();
    m_pending.clear();
    for (const QString &candidate : candidates())
        if (!candidate.trimmed().isEmpty())
            m_pending << candidate.trimmed();
    probeNext();
}

void ReaderDiscovery::probeNext()
{
    while (!m_pending.isEmpty()) {
        if (m_paused)
            break;
        const QString name = m_pending.takeFirst();
        if (!m_session.open(name)) {
            if (m_found.kind == PortTrouble::Kind::None) {
                if (m_session.lastOpenFailure() == OpenFailure::NoPermission)
                    m_found = {PortTrouble::Kind::NoPermission, name};
                else if (m_session.lastOpenFailure() == OpenFailure::Busy)
                    m_found = {PortTrouble::Kind::Busy, name};
            }
            continue;
        }
        // A reader the tool left in its loader takes no command: it would
        // take the bytes for firmware.
        if (const auto loader = m_loaders.find(name, m_ports.location(name))) {
            ReaderIdentity identity = ReaderIdentity::fromSerialNumber(loader->serialNumber);
            identity.firmwareIdentity = loader->firmwareIdentity;
            m_session.setInLoader(identity);
            endScan(PortTrouble());
            Q_EMIT loaderFound();
            return;
        }
        m_link.send(payload(command::Identify, command::kVersion), m_timings.identify, this,
                    [this, name](const ReaderLink::Answer &answer) { identification(name, answer); });
        return;
    }
    endScan(m_found);
}

void ReaderDiscovery::identification(const QString &name, const ReaderLink::Answer &answer)
{
    auto discard = [&](const char *why) {
        qCDebug(lcDiscovery) << name << why;
        if (answer.error && answer.error->kind == LinkError::Kind::TimedOut && m_found.kind == PortTrouble::Kind::None)
            m_found = {PortTrouble::Kind::Silent, name};
        if (m_session.openPortName() == name && !m_session.isConnected())
            m_session.closePort();
        probeNext();
    };
    if (!answer.ok() || m_session.openPortName() != name)
        return discard("did not identify");
    const std::optional<ReaderIdentity> identity = ReaderIdentity::fromReply(answer.reply);
    if (!identity)
        return discard("sent wrong identification items, or is not a reader of a known type");
    // Back to card reading (its answer is not looked at); then the reader
    // counts as connected and nothing else is sent before.
    m_link.send(payload(command::ResumeReading, command::kVersion), m_timings.reply, this,
                [this, name, identity = *identity](const ReaderLink::Answer &) {
                    endScan(PortTrouble());
                    if (m_session.openPortName() != name)
                        return; // the port went away meanwhile
                    m_session.setConnected(identity);
                    if (m_session.isConnected())
                        Q_EMIT identified();
                });
}

void ReaderDiscovery::endScan(const PortTrouble &trouble)
{
    m_scanning = false;
    m_pending.clear();
    setTrouble(trouble);
}

void ReaderDiscovery::setTrouble(const PortTrouble &trouble)
{
    if (trouble == m_trouble)
        return;
    m_trouble = trouble;
    if (m_trouble.kind == PortTrouble::Kind::Busy)
        m_trouble.modemManager = processRunning(QStringLiteral("ModemManager"));
    Q_EMIT troubleChanged(m_trouble);
}

void ReaderDiscovery::deviceRemoved(const QString &portName)
{
    m_portsStale = true;
    const QString name = portName.trimmed();
    if (name.isEmpty() || m_session.firmwareSwitching())
        return;
    const bool ours = name == m_session.portName() || name == m_session.openPortName();
    if (ours && m_session.hasPort())
        m_session.dropConnection();
    // The next scan follows soon; the scans of other ports keep their pace.
    if (ours && !m_paused)
        m_rescan.start(m_timings.rescanAfterRemoval);
}

} // namespace limra

#include "moc_discovery.cpp"
