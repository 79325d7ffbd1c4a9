#pragma once
// Reader discovery: once a second a scan tries the ports that may carry the
// reader, identifies it with "FF01" and keeps the first that answers. A port
// known to hold a reader left in its firmware loader is taken as that, with
// nothing sent to it. A removal notice for the connected port drops the
// connection and the next scan follows at once. Probes are requests like any
// other: nothing waits on the stack, so the user's input goes on meanwhile.
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "link/readerlink.h"
#include "link/session.h"
#include "common/timings.h"
#include "platform/portenum.h"

namespace limra {

class LoaderRegistry;

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

// The ports a reader may be on: the USB readers in a stable order, then the
// virtual readers. Nothing is opened.
QStringList readerPortsOf(const PortEnumerator &ports);

class ReaderDiscovery : public QObject {
    Q_OBJECT
public:
    ReaderDiscovery(ReaderSession &session, ReaderLink &link, const PortEnumerator &ports,
                    const LoaderRegistry &loaders, const Timings &timings, QObject *parent = nullptr);

    // The scan runs once a second from now on.
    void start();
    // No scan starts until resume (the connection settings are open).
    void pause();
    void resume();
    bool paused() const { return m_paused; }
    // New connection settings: the connection, if any, is dropped and the
    // next scan follows them.
    void applySettings(ReaderSession::ConnectionMode mode, const QString &listPort, int manualNumber);
    ReaderSession::ConnectionMode connectionMode() const { return m_mode; }

    // Starts one scan, unless one runs, a reader is connected or a port is open.
    void scanOnce();
    bool scanning() const { return m_scanning; }
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
    // The USB location of a port, as the enumeration tells it.
    QString location(const QString &port) const { return m_ports.location(port); }

Q_SIGNALS:
    // A reader identified itself and was put back to card reading: its
    // configuration is to be read now.
    void identified();
    // A port holds a reader the tool left in its loader.
    void loaderFound();
    // Why the reader's port cannot be used, told when it changes (Kind::None: no trouble).
    void troubleChanged(const limra::PortTrouble &trouble);

private:
    void probeNext();
    void identification(const QString &name, const ReaderLink::Answer &answer);
    void endScan(const PortTrouble &trouble);
    void setTrouble(const PortTrouble &trouble);

    ReaderSession &m_session;
    ReaderLink &m_link;
    const PortEnumerator &m_ports;
    const LoaderRegistry &m_loaders;
    const Timings &m_timings;
    QTimer m_timer;
    QTimer m_rescan;
    bool m_paused = false;
    bool m_portsStale = true;
    bool m_scanning = false;
    QStringList m_readerPorts;
    // How ports are chosen; set by the connection settings.
    ReaderSession::ConnectionMode m_mode = ReaderSession::ConnectionMode::Automatic;
    QString m_listPort;     // the port chosen from the list
    int m_manualNumber = 1; // the port number typed in
    QStringList m_pending;  // the candidates of the scan that runs
    PortTrouble m_found;    // the first trouble this scan met
    PortTrouble m_trouble;
};

} // namespace limra
