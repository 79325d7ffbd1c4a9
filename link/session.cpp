#include "link/session.h"

#include "common/logging.h"
#include "link/errors.h"
#include "link/readerlink.h"

namespace limra {

ReaderSession::ReaderSession(ReaderLink &link, SerialPortFactory factory, QObject *parent)
    : QObject(parent), m_link(link), m_factory(std::move(factory))
{
}

ReaderSession::~ReaderSession()
{
    m_link.detach();
}

bool ReaderSession::open(const QString &name)
{
    closePort();
    return attach(m_factory(), name, true);
}

bool ReaderSession::attach(std::unique_ptr<SerialPort> port, const QString &name, bool reportLineErrors)
{
    m_lastOpenFailure = OpenFailure::None;
    if (!port || !port->open(name) || !port->isOpen()) {
        m_lastOpenFailure = port ? port->openFailure() : OpenFailure::Other;
        return false;
    }
    m_port = std::move(port);
    SerialPort *p = m_port.get();
    if (reportLineErrors)
        connect(p, &SerialPort::lineError, this, [this](LineErrors errors) {
            if (isConnected())
                Q_EMIT lineErrors(lineErrorTexts(errors));
        });
    connect(p, &SerialPort::failed, this, &ReaderSession::portFailedNow);
    m_link.attach(p);
    return true;
}

void ReaderSession::closePort()
{
    if (!m_port)
        return;
    m_link.detach();
    QObject::disconnect(m_port.get(), nullptr, this, nullptr);
    m_port->close();
    // The port may be closed from inside one of its own signals.
    m_port.release()->deleteLater();
}

void ReaderSession::portFailedNow(bool ioError)
{
    const QString name = m_port ? m_port->name() : QString();
    qCDebug(lcDiscovery) << "port" << name << "failed";
    if (ioError && isConnected())
        Q_EMIT lineErrors(lineErrorTexts(IoError));
    if (!isConnected())
        closePort(); // a failed candidate leaves nothing behind
    Q_EMIT portFailed(name);
}

void ReaderSession::setConnected(const QString &status, ReaderKind kind, const QString &serial)
{
    m_serial = serial;
    m_connectedPort = m_port ? m_port->name() : QString();
    m_kind = kind;
    Q_EMIT connected(status);
}

void ReaderSession::dropConnection()
{
    const bool was = isConnected();
    m_connectedPort.clear();
    closePort();
    if (was)
        qCDebug(lcDiscovery) << "disconnected";
    Q_EMIT disconnected();
}

bool ReaderSession::reopen()
{
    const QString name = m_connectedPort;
    closePort();
    if (!name.isEmpty() && attach(m_factory(), name, false))
        return true;
    qCDebug(lcDiscovery) << "cannot reopen" << name;
    dropConnection();
    return false;
}

} // namespace limra
