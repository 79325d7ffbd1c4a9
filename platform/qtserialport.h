#pragma once
#include <QSerialPort>
#include <QTimer>

#include "platform/serialport.h"

namespace limra {

// The serial port through QSerialPort. It delivers whole messages: bytes that
// end inside a frame or an identifier line are held up to 50 ms for their rest.
// Any error of the open port other than a time-out is reported once and closes
// the port, so that a vanished device cannot make it spin.
class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString &name) override;
    bool isOpen() const override;
    QString name() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray takeMessage() override;
    void close() override;

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void deliver();

    QSerialPort port;
    QString portName;
    QByteArray held;
    QList<QByteArray> messages;
    QTimer holdTimer;
    bool closing = false;
};

} // namespace limra
