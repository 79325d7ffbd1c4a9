#include "platform/qtserialport.h"

#include "link/constants.h"
#include "link/logging.h"
#include "platform/messageassembler.h"

namespace limra {

QtSerialPort::QtSerialPort(QObject *parent) : SerialPort(parent)
{
    holdTimer.setSingleShot(true);
    holdTimer.setInterval(kMessageHoldMs);
    connect(&holdTimer, &QTimer::timeout, this, &QtSerialPort::deliver);
}

QtSerialPort::~QtSerialPort()
{
    close();
}

bool QtSerialPort::open(const QString &name)
{
    portName = name.trimmed();
    port.setPortName(portName);
    port.setBaudRate(kBaudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setReadBufferSize(0);
    if (!port.open(QIODevice::ReadWrite)) {
        qCDebug(lcPort) << "cannot open" << portName << port.errorString();
        return false;
    }
    // Modem lines are not asserted. A pseudo-terminal has none, so failures
    // here are not errors of the port.
    port.setDataTerminalReady(false);
    port.setRequestToSend(false);
    port.clear(QSerialPort::AllDirections);
    port.clearError();
    connect(&port, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
    return true;
}

bool QtSerialPort::isOpen() const
{
    return port.isOpen();
}

QString QtSerialPort::name() const
{
    return portName;
}

bool QtSerialPort::write(const QByteArray &bytes)
{
    if (!port.isOpen())
        return false;
    if (port.write(bytes) != bytes.size())
        return false;
    port.flush(); // hand the bytes to the system now, not at the next event loop pass
    return true;
}

QByteArray QtSerialPort::takeMessage()
{
    return messages.isEmpty() ? QByteArray() : messages.takeFirst();
}

void QtSerialPort::close()
{
    if (closing)
        return;
    closing = true;
    holdTimer.stop();
    disconnect(&port, nullptr, this, nullptr);
    if (port.isOpen())
        port.close();
    held.clear();
    messages.clear();
    closing = false;
}

void QtSerialPort::onReadyRead()
{
    held += port.readAll();
    messages += splitMessages(held);
    if (!messages.isEmpty())
        Q_EMIT readyRead();
    if (isIncompleteMessage(held)) {
        qCDebug(lcPort) << "holding" << held.size() << "bytes";
        if (!holdTimer.isActive())
            holdTimer.start();
        return;
    }
    deliver();
}

void QtSerialPort::deliver()
{
    holdTimer.stop();
    if (held.isEmpty())
        return;
    messages << held;
    held.clear();
    Q_EMIT readyRead();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !port.isOpen())
        return;
    qCDebug(lcPort) << "port" << portName << "failed:" << error << port.errorString();
    const bool ioError = error != QSerialPort::ResourceError;
    close();
    Q_EMIT failed(ioError);
}

} // namespace limra
