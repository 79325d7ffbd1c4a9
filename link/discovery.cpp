#include "link/discovery.h"

#include <algorithm>

#include "common/logging.h"
#include "common/texts.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/portnames.h"
#include "platform/processes.h"

namespace limra {

namespace {
constexpr int kScanIntervalMs = 1000;
constexpr int kRescanAfterRemovalMs = 100;
// Item FD must be longer than this many digits to be a serial number.
constexpr int kMinSerialDigits = 7;
} // namespace

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
    PortTrouble trouble; // the first the candidates show
    for (const QString &candidate : candidates()) {
        const QString name = candidate.trimmed();
        PortTrouble found;
        if (!name.isEmpty() && probe(name, &found)) {
            setTrouble(PortTrouble());
            return;
        }
        if (trouble.kind == PortTrouble::Kind::None)
            trouble = found;
    }
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

bool ReaderDiscovery::probe(const QString &name, PortTrouble *trouble)
{
    if (!m_session.open(name)) {
        if (m_session.lastOpenFailure() == OpenFailure::NoPermission)
            *trouble = {PortTrouble::Kind::NoPermission, name};
        else if (m_session.lastOpenFailure() == OpenFailure::Busy)
            *trouble = {PortTrouble::Kind::Busy, name};
        return false;
    }
    const QString reply = m_link.exchange(command::Identify, kIdentifyTimeoutMs);
    if (reply == QLatin1String("ER00"))
        *trouble = {PortTrouble::Kind::Silent, name};
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
    const QString identity = kindItem + QLatin1Char('-') + serial;
    m_session.setConnected(prefix + name + QStringLiteral("  (s/n: ") + identity + QLatin1Char(')'), readerKind,
                           identity);
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
