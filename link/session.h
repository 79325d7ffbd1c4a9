#pragma once
// The one owner of the connection to the reader: the open port, the name it
// was opened by, whether a reader identified itself on it and of which kind,
// how ports are chosen, and whether a firmware update is switching the reader
// to its loader. Discovery, the editor, the firmware update and the status
// bar ask it.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "link/protocol.h"
#include "platform/serialport.h"

namespace limra {

class ReaderLink;

class ReaderSession : public QObject {
    Q_OBJECT
public:
    enum class ConnectionMode { Automatic = 0, FromList = 1, ByNumber = 2 };

    ReaderSession(ReaderLink &link, SerialPortFactory factory, QObject *parent = nullptr);
    ~ReaderSession() override;

    // Opens a port for a connection attempt and attaches it to the link.
    // False, with no port left, when it cannot be opened.
    bool open(const QString &name);
    bool hasPort() const { return m_port != nullptr; }
    // Why the last open failed.
    OpenFailure lastOpenFailure() const { return m_lastOpenFailure; }
    // Discards the port, if any; the connection state is left alone.
    void closePort();

    // The reader on the open port identified itself.
    void setConnected(const QString &status, ReaderKind kind, const QString &serial = QString());
    // Drops the connection: no port, not connected.
    void dropConnection();
    bool isConnected() const { return !m_connectedPort.isEmpty(); }
    // The port a reader identified itself on; empty when not connected.
    QString portName() const { return m_connectedPort; }
    // The kind of the last reader that identified itself.
    ReaderKind kind() const { return m_kind; }
    bool isBle() const { return m_kind == ReaderKind::Ble; }
    // The serial number the reader gave at identification (items FF and FD).
    QString serial() const { return m_serial; }

    // While the reader switches to its firmware loader its port may vanish
    // and come back: removal of the port is ignored.
    bool firmwareSwitching() const { return m_firmwareSwitching; }
    void setFirmwareSwitching(bool on) { m_firmwareSwitching = on; }
    // Replaces the port by a new one opened under the same name. When that
    // fails the reader counts as disconnected.
    bool reopen();

    // How discovery chooses ports; set by the connection settings.
    ConnectionMode mode = ConnectionMode::Automatic;
    QString listPort;      // the port chosen from the list
    int manualNumber = 1;  // the port number typed in

Q_SIGNALS:
    void connected(const QString &status);
    void disconnected();
    // The port failed (device gone, I/O error) and is closed.
    void portFailed(const QString &portName);
    // Line errors of the connected reader's port, one message each.
    void lineErrors(const QStringList &messages);

private:
    bool attach(std::unique_ptr<SerialPort> port, const QString &name, bool reportLineErrors);
    void portFailedNow(bool ioError);

    ReaderLink &m_link;
    SerialPortFactory m_factory;
    std::unique_ptr<SerialPort> m_port;
    QString m_connectedPort;
    ReaderKind m_kind = ReaderKind::Usb;
    QString m_serial;
    bool m_firmwareSwitching = false;
    OpenFailure m_lastOpenFailure = OpenFailure::None;
};

} // namespace limra
