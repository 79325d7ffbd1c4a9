#include "platform/qtserialport.h"

#include <QEvent>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/file.h>
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
// bytes or fail with EIO, writes fail with EIO. The descriptor tells it:
// poll reports a hang-up. A device node that has vanished tells it too.
bool deviceGone(int fd, const QString &name)
{
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN | POLLOUT;
    if (p.fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLNVAL)))
        return true;
    return ::access(QFile::encodeName(name).constData(), F_OK) != 0 && errno == ENOENT;
}

// As much as one read takes; more waits for the next notice. Nothing the
// reader sends at once is near as long.
constexpr qsizetype kReadChunk = 4096;
} // namespace

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent) {}

bool QtSerialPort::ReadNotice::event(QEvent *event)
{
    if (event->type() != QEvent::SockAct)
        return QSocketNotifier::event(event);
    m_owner.onReadable();
    return true;
}

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
    // The terminal's exclusive mode does not hold root off; a lock on the
    // device does, whoever holds it and under whatever name it was opened.
    if (::flock(int(m_port.handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        qCDebug(lcPort) << "cannot open" << m_name << "another program holds it";
        m_port.close();
        m_openFailure = OpenFailure::Busy;
        return false;
    }
    // Modem lines are not asserted. A pseudo-terminal has none, so failures
    // here are not errors of the port.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    // QSerialPort watches the descriptor for reading itself, into its ring
    // buffer; its notice is switched off so that only this port reads.
    bool ownNoticeOff = false;
    for (QSocketNotifier *notifier : m_port.findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly))
        if (notifier->type() == QSocketNotifier::Read) {
            notifier->setEnabled(false);
            ownNoticeOff = true;
        }
    if (!ownNoticeOff)
        qCWarning(lcPort) << "QSerialPort's read notice not found: it may take bytes of" << m_name;
    m_received.resize(0);
    m_readNotifier.setSocket(m_port.handle());
    m_readNotifier.setEnabled(true);
    // Errors of writes that went through QSerialPort's buffer.
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
    QByteArray out;
    readInto(out);
    return out;
}

void QtSerialPort::readInto(QByteArray &buffer)
{
    if (m_received.isEmpty())
        return;
    buffer.append(m_received);
    m_received.resize(0); // its storage is kept for the next read
}

void QtSerialPort::onReadable()
{
    const int fd = int(m_port.handle());
    if (!m_port.isOpen() || fd < 0)
        return;
    const qsizetype had = m_received.size();
    m_received.resize(had + kReadChunk);
    ssize_t n = 0;
    do
        n = ::read(fd, m_received.data() + had, size_t(kReadChunk));
    while (n < 0 && errno == EINTR);
    const int readErrno = errno;
    m_received.resize(had + std::max<qsizetype>(n, 0));
    if (n > 0) {
        Q_EMIT readyRead();
        return;
    }
    if (n < 0 && (readErrno == EAGAIN || readErrno == EWOULDBLOCK))
        return; // someone else was quicker: nothing to read after all
    // A terminal that hung up reads 0 bytes (or fails with EIO): the device
    // is gone. Any other failure is an I/O error, unless the device is gone.
    const bool gone = (n < 0 && (readErrno == EIO || readErrno == EBADF)) || deviceGone(fd, m_name);
    fail(!gone, n == 0 ? QStringLiteral("end of input") : QString::fromLocal8Bit(::strerror(readErrno)));
}

void QtSerialPort::close()
{
    // Off before the descriptor closes: nothing is read or told after close.
    m_readNotifier.setEnabled(false);
    m_received.clear();
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
    const bool ioError = error != QSerialPort::ResourceError && !deviceGone(int(m_port.handle()), m_name);
    fail(ioError, m_port.errorString());
}

void QtSerialPort::fail(bool ioError, const QString &why)
{
    qCDebug(lcPort) << "port" << m_name << "failed:" << why << (ioError ? "(I/O error)" : "(gone)");
    close();
    Q_EMIT failed(ioError);
}

} // namespace limra

#include "moc_qtserialport.cpp"
