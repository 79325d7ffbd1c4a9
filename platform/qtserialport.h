#pragma once
#include <QSerialPort>
#include <QSocketNotifier>

#include "platform/serialport.h"

namespace limra {

// The serial port through QSerialPort, which opens and sets it up; the port
// is then read and written straight through its descriptor: a notifier on
// the descriptor reads what arrives into the port's own buffer, without
// QSerialPort's ring buffer and signals. Any error of the open port other
// than a time-out is reported once and closes the port, so that a vanished
// device cannot make it spin. A device that hung up (unplugged, or
// restarting) is reported gone, not as an I/O error.
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
    void readInto(QByteArray &buffer) override;
    void close() override;

private:
    void onReadable();
    void onError(QSerialPort::SerialPortError error);
    void fail(bool ioError, const QString &why);

    // The notice that the descriptor has bytes (or hung up), handled in its
    // event straight away, not through a signal.
    class ReadNotice : public QSocketNotifier {
    public:
        explicit ReadNotice(QtSerialPort &port) : QSocketNotifier(QSocketNotifier::Read), m_owner(port) {}

    protected:
        bool event(QEvent *event) override;

    private:
        QtSerialPort &m_owner;
    };

    QSerialPort m_port;
    ReadNotice m_readNotifier{*this};
    QByteArray m_received; // read from the descriptor, not yet taken
    QString m_name;
    OpenFailure m_openFailure = OpenFailure::None;
};

} // namespace limra
