#pragma once
// The one owner of the connection to the reader: the open port, the name it
// was opened by, whether a reader identified itself on it (and who it is),
// or whether the port holds a reader left in its firmware loader; how ports
// are chosen; and whether a firmware update is switching the reader to its
// loader. Discovery, the operations and the status bar ask it.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "link/frame.h"

#include "link/protocol.h"
#include "platform/lineerrors.h"
#include "platform/portclaims.h"
#include "platform/serialport.h"

namespace limra {

class ReaderLink;

// Who answered the identification.
struct ReaderIdentity {
    ReaderKind kind = ReaderKind::Usb;
    QString typeItem; // item FF, 4 hex digits
    QString serial;   // item FD, hex digits
    // Items FF and FE, each byte-reversed: the identity firmware sections are
    // built for (8 hex digits), empty when the reply did not carry it whole.
    QString firmwareIdentity;

    // Who answered an identification ("FF01"), when the reply says a reader
    // of a known kind with its serial number.
    static std::optional<ReaderIdentity> fromReply(const Reply &reply);
    // Items FF and FE of an identification's reply, each byte-reversed (8
    // hex digits when the reply carries both whole).
    static QString firmwareIdentityIn(const Reply &reply);

    // The serial number as the status bar shows it: item FF, "-", item FD.
    QString serialNumber() const
    {
        return typeItem.isEmpty() ? QString() : typeItem + QLatin1Char('-') + serial;
    }
    // The identity a serial number as shown stands for (what serialNumber() gave).
    static ReaderIdentity fromSerialNumber(const QString &shown)
    {
        const QStringList parts = shown.split(QLatin1Char('-'));
        ReaderIdentity identity;
        identity.typeItem = parts.value(0);
        identity.serial = parts.value(1);
        return identity;
    }
};

class ReaderSession : public QObject {
    Q_OBJECT
public:
    enum class ConnectionMode { Automatic = 0, FromList = 1, ByNumber = 2 };

    ReaderSession(ReaderLink &link, SerialPortFactory factory, QObject *parent = nullptr);
    ~ReaderSession() override;

    // Opens a port for a connection attempt and attaches it to the link.
    // False, with no port left, when it cannot be opened, or when another
    // program of the tool claims the port (lastOpenFailure(): Busy).
    bool open(const QString &name);
    bool hasPort() const { return m_port != nullptr; }
    // The name of the open port, connected or not.
    QString openPortName() const { return m_port ? m_portName : QString(); }
    // Why the last open failed.
    OpenFailure lastOpenFailure() const { return m_lastOpenFailure; }
    // Discards the port, if any, and with it the connection.
    void closePort();

    // A reader identified itself on the open port.
    void setConnected(const ReaderIdentity &identity);
    // The open port holds a reader left in its firmware loader: no command
    // goes to it, only firmware blocks.
    void setInLoader(const ReaderIdentity &identity);
    // Drops the connection: no port, not connected.
    void dropConnection();
    bool isConnected() const { return m_state == State::Reader; }
    bool inLoader() const { return m_state == State::Loader; }
    // The port of the reader or of its loader; empty when neither.
    QString portName() const { return m_state == State::None ? QString() : m_portName; }
    // The last reader that identified itself (kept after a disconnection).
    const ReaderIdentity &identity() const { return m_identity; }
    ReaderKind kind() const { return m_identity.kind; }
    bool isBle() const { return m_identity.kind == ReaderKind::Ble; }
    QString serial() const { return m_identity.serialNumber(); }

    // While the reader switches to its firmware loader its port may vanish
    // and come back: removal of the port is ignored, and nothing the old
    // port's end reports reaches the user.
    bool firmwareSwitching() const { return m_firmwareSwitching; }
    void setFirmwareSwitching(bool on) { m_firmwareSwitching = on; }
    // Replaces the port by a new one opened under the same name, which
    // reports no line errors. When that fails the reader counts as
    // disconnected, unless the reader is switching (the caller tries again
    // or gives up with dropConnection()).
    bool reopen();

Q_SIGNALS:
    void connected();
    void loaderConnected();
    void disconnected();
    // The port failed (device gone, or an I/O error) and is closed.
    void portLost(const QString &portName);
    // Line errors of the connected reader's port.
    void lineErrors(limra::LineErrors errors);

private:
    enum class State { None, Reader, Loader };
    bool attach(std::unique_ptr<SerialPort> port, const QString &name, bool reportLineErrors);
    void portFailed(bool ioError);
    // Closes the port (if still open) and lets the link go of it.
    void letPortGo();

    ReaderLink &m_link;
    SerialPortFactory m_factory;
    std::unique_ptr<SerialPort> m_port;
    QString m_portName;
    State m_state = State::None;
    ReaderIdentity m_identity;
    bool m_firmwareSwitching = false;
    bool m_reportLineErrors = false;
    OpenFailure m_lastOpenFailure = OpenFailure::None;
    PortClaim m_claim; // the open port's, held off from the tool's other programs
};

} // namespace limra
