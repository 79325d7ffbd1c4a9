#pragma once
// Reader discovery: once a second a scan tries the ports that may carry the
// reader, identifies it with "FF01" and keeps the first that answers. A
// removal notice for the connected port drops the connection.
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "link/session.h"
#include "platform/portenum.h"

namespace limra {

class ReaderLink;

// Why a reader port that is there cannot be used.
struct PortTrouble {
    enum class Kind { None, NoPermission, Busy, Silent };
    Kind kind = Kind::None;
    QString port;
    bool modemManager = false; // ModemManager runs (it probes new modems for a while)

    bool operator==(const PortTrouble &o) const { return kind == o.kind && port == o.port; }
    bool operator!=(const PortTrouble &o) const { return !(*this == o); }
    // A few words for the status bar, and the whole story with the remedy.
    QString shortText() const;
    QString details() const;
};

class ReaderDiscovery : public QObject {
    Q_OBJECT
public:
    ReaderDiscovery(ReaderSession &session, ReaderLink &link, const PortEnumerator &ports,
                    QObject *parent = nullptr);

    // The scan runs once a second from now on.
    void start();
    // No scan runs until resume (the connection settings are open).
    void pause();
    void resume();
    // New connection settings: the connection, if any, is dropped and the
    // next scan follows them.
    void applySettings(ReaderSession::ConnectionMode mode, const QString &listPort, int manualNumber);

    // One scan.
    void scanOnce();
    // A serial device is gone; `portName` as the port is opened by.
    void deviceRemoved(const QString &portName);
    // Serial devices came or went: the reader's ports are listed again at
    // the next scan. Between such changes a scan lists nothing.
    void portsChanged() { m_portsStale = true; }

    // The present ports of the reader (USB 1FC9:0117), then the virtual readers.
    QStringList readerPorts();
    // Every serial port the system knows, then the virtual readers.
    QStringList allPorts() const;
    // The ports one scan tries.
    QStringList candidates();

Q_SIGNALS:
    // A reader identified itself and was put back to card reading: its
    // configuration is to be read now.
    void identified();
    // Why the reader's port cannot be used, told when it changes (Kind::None: no trouble).
    void troubleChanged(const limra::PortTrouble &trouble);

private:
    bool probe(const QString &name, PortTrouble *trouble);
    void setTrouble(const PortTrouble &trouble);

    ReaderSession &m_session;
    ReaderLink &m_link;
    const PortEnumerator &m_ports;
    QTimer m_timer;
    bool m_paused = false;
    bool m_portsStale = true;
    QStringList m_readerPorts;
    PortTrouble m_trouble;
};

} // namespace limra
