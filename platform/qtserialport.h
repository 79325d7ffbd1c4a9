#pragma once
#include <QSerialPort>

#include "platform/serialport.h"

namespace limra {

// The serial port through QSerialPort. Any error of the open port other than
// a time-out is reported once and closes the port, so that a vanished device
// cannot make it spin. A device that hung up (unplugged, or restarting) is
// reported gone, not as an I/O error.
class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open(const QString &name) override;
    OpenFailure openFailure() const override { return m_openFailure; }
    bool isOpen() const override;
    QString name() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void close() override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_name;
    OpenFailure m_openFailure = OpenFailure::None;
};

} // namespace limra
