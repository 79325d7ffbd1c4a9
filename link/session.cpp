#include "link/session.h"

#include "common/logging.h"
#include "link/hextext.h"
#include "link/readerlink.h"

namespace limra {

namespace {
// Item FD must be longer than 3 bytes to be a serial number.
constexpr int kMinSerialBytes = 4;
constexpr int kTypeItemBytes = 2;
} // namespace

std::optional<ReaderIdentity> ReaderIdentity::fromReply(const Reply &reply)
{
    const std::optional<QByteArray> serial = reply.item(tag::Serial);
    const std::optional<QByteArray> type = reply.item(tag::ReaderType);
    if (!serial || serial->size() < kMinSerialBytes || !type || type->size() != kTypeItemBytes)
        return std::nullopt;
    ReaderIdentity identity;
    switch (quint8(type->at(1))) {
    case kReaderKindUsb: identity.kind = ReaderKind::Usb; break;
    case kReaderKindBle: identity.kind = ReaderKind::Ble; break;
    default: return std::nullopt;
    }
    identity.typeItem = bytesToHex(*type);
    identity.serial = bytesToHex(*serial);
    const QString firmware = firmwareIdentityIn(reply);
    if (firmware.size() == 8)
        identity.firmwareIdentity = firmware;
    return identity;
}

QString ReaderIdentity::firmwareIdentityIn(const Reply &reply)
{
    const std::optional<QByteArray> type = reply.item(tag::ReaderType);
    const std::optional<QByteArray> tail = reply.item(tag::Identity);
    return swapBytes(type ? bytesToHex(*type) : QString()) + swapBytes(tail ? bytesToHex(*tail) : QString());
}

ReaderSession::ReaderSession(ReaderLink &link, SerialPortFactory factory, QObject *parent)
    : QObject(parent), m_link(link), m_factory(std::move(factory))
{
}

ReaderSession::~ReaderSession()
{
    if (m_port) {
        m_link.detach();
        QObject::disconnect(m_port.get(), nullptr, this, nullptr);
        m_port->close();
    }
}

bool ReaderSession::open(const QString &name)
{
    closePort();
    if (!m_claim.claim(name)) {
        m_lastOpenFailure = OpenFailure::Busy;
        return false;
    }
    if (attach(m_factory(), name.trimmed(), true))
        return true;
    m_claim.release();
    return false;
}

bool ReaderSession::attach(std::unique_ptr<SerialPort> port, const QString &name, bool reportLineErrors)
{
    m_lastOpenFailure = OpenFailure::None;
    if (!port || !port->open(name) || !port->isOpen()) {
        m_lastOpenFailure = port ? port->openFailure() : OpenFailure::Other;
        return false;
    }
    m_port = std::move(port);
    m_portName = name;
    m_reportLineErrors = reportLineErrors;
    SerialPort *p = m_port.get();
    connect(p, &SerialPort::lineError, this, [this](LineErrors errors) {
        if (isConnected() && m_reportLineErrors && !m_firmwareSwitching)
            Q_EMIT lineErrors(errors);
    });
    connect(p, &SerialPort::failed, this, &ReaderSession::portFailed);
    m_link.attach(p);
    return true;
}

void ReaderSession::letPortGo()
{
    if (m_port) {
        QObject::disconnect(m_port.get(), nullptr, this, nullptr);
        m_port->close();
        // This may run inside one of the port's own signals.
        m_port.release()->deleteLater();
    }
    m_claim.release();
    m_link.detach();
}

void ReaderSession::closePort()
{
    const bool was = m_state != State::None;
    m_state = State::None;
    if (m_port)
        letPortGo();
    if (was) {
        qCDebug(lcDiscovery) << "disconnected";
        Q_EMIT disconnected();
    }
}

void ReaderSession::portFailed(bool ioError)
{
    const QString name = m_portName;
    qCDebug(lcDiscovery) << "port" << name << "failed" << (ioError ? "(I/O error)" : "(gone)");
    if (ioError && isConnected() && m_reportLineErrors && !m_firmwareSwitching)
        Q_EMIT lineErrors(IoError);
    letPortGo();
    // A reader switching to its loader keeps its connection: the port comes back.
    if (m_state != State::None && !m_firmwareSwitching) {
        m_state = State::None;
        Q_EMIT disconnected();
    }
    Q_EMIT portLost(name);
}

void ReaderSession::setConnected(const ReaderIdentity &identity)
{
    m_identity = identity;
    m_state = m_port ? State::Reader : State::None;
    if (isConnected()) {
        qCDebug(lcDiscovery) << "connected" << m_portName << identity.serialNumber();
        Q_EMIT connected();
    }
}

void ReaderSession::setInLoader(const ReaderIdentity &identity)
{
    m_identity = identity;
    m_state = m_port ? State::Loader : State::None;
    if (inLoader())
        Q_EMIT loaderConnected();
}

void ReaderSession::dropConnection()
{
    const bool was = m_state != State::None;
    closePort();
    if (!was)
        Q_EMIT disconnected();
}

bool ReaderSession::reopen()
{
    const QString name = m_portName;
    const State state = m_state;
    letPortGo();
    m_portName = name;
    if (!name.isEmpty() && m_claim.claim(name)) {
        if (attach(m_factory(), name, false)) {
            m_state = state;
            return true;
        }
        m_claim.release();
    }
    qCDebug(lcDiscovery) << "cannot reopen" << name;
    if (m_firmwareSwitching)
        return false;
    m_state = State::None;
    Q_EMIT disconnected();
    return false;
}

} // namespace limra

#include "moc_session.cpp"
