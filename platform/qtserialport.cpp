#include "platform/qtserialport.h"

#include <QFile>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "common/logging.h"
#include "platform/readerdevice.h"

namespace limra {

namespace {
// Qt reports a port the user may not open and one that another program
// holds (its lock file, or an exclusive open) alike: the file's own access
// rights tell them apart.
OpenFailure classifyOpenFailure(const QString &name, QSerialPort::SerialPortError error)
{
    const QByteArray path = QFile::encodeName(name);
    if (::access(path.constData(), F_OK) != 0 || error == QSerialPort::DeviceNotFoundError)
        return OpenFailure::Missing;
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return OpenFailure::NoPermission;
    if (error == QSerialPort::PermissionError || error == QSerialPort::ResourceError)
        return OpenFailure::Busy;
    return OpenFailure::Other;
}

// Whether the device behind an open port has gone away. A terminal whose
// device was unplugged (or whose other end closed) is hung up: reads give 0
// bytes, which Qt reports as a read error with whatever errno was left from
// before, writes fail with EIO. The descriptor tells it: poll reports a
// hang-up. A device node that has vanished tells it too.
bool deviceGone(QSerialPort &port, const QString &name)
{
    pollfd p{};
    p.fd = int(port.handle());
    p.events = POLLIN | POLLOUT;
    if (p.fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLNVAL)))
        return true;
    return ::access(QFile::encodeName(name).constData(), F_OK) != 0 && errno == ENOENT;
}
} // namespace

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent) {}

QtSerialPort::~QtSerialPort()
{
    close();
}

bool QtSerialPort::open(const QString &name)
{
    m_name = name.trimmed();
    m_port.setPortName(m_name);
    m_port.setBaudRate(kReaderBaudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(0);
    m_openFailure = OpenFailure::None;
    if (!m_port.open(QIODevice::ReadWrite)) {
        qCDebug(lcPort) << "cannot open" << m_name << m_port.errorString();
        m_openFailure = classifyOpenFailure(m_name, m_port.error());
        return false;
    }
    // Modem lines are not asserted. A pseudo-terminal has none, so failures
    // here are not errors of the port.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
    return true;
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen();
}

QString QtSerialPort::name() const
{
    return m_name;
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    // A frame is a few bytes: the system takes it whole at once. Written
    // straight to the descriptor it costs one system call, where the port's
    // own buffer would switch its write notice on and off for every frame
    // (each switch wakes the event loop once more).
    QByteArray rest = bytes;
    const qintptr fd = m_port.handle();
    if (fd >= 0 && m_port.bytesToWrite() == 0) {
        const ssize_t written = ::write(int(fd), bytes.constData(), size_t(bytes.size()));
        if (written == bytes.size())
            return true;
        if (written > 0)
            rest = bytes.mid(written);
    }
    if (m_port.write(rest) != rest.size())
        return false;
    m_port.flush(); // hand the bytes to the system now, not at the next event loop pass
    return true;
}

QByteArray QtSerialPort::readAll()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void QtSerialPort::close()
{
    disconnect(&m_port, nullptr, this, nullptr);
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
    // A device that became unavailable, or hung up, is gone, whatever error
    // Qt made of it.
    const bool ioError = error != QSerialPort::ResourceError && !deviceGone(m_port, m_name);
    qCDebug(lcPort) << "port" << m_name << "failed:" << error << m_port.errorString()
                    << (ioError ? "(I/O error)" : "(gone)");
    close();
    Q_EMIT failed(ioError);
}

} // namespace limra

#include "moc_qtserialport.cpp"
