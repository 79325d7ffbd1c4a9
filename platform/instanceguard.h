#pragma once
// One copy of the tool per user and graphical session: a new start asks the
// running copy to show its window and ends; signals that end a process close
// the window the ordinary way, so that the settings are written.
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace limra {

// The copies of one session meet at a Unix socket in a folder private to the
// user; a lock file beside it tells which copy came first.
class InstanceGuard : public QObject {
    Q_OBJECT
public:
    // `socketPath` names the meeting point; with an empty path there is no
    // guard: every start counts as the first.
    explicit InstanceGuard(QString socketPath, QObject *parent = nullptr);
    ~InstanceGuard() override;

    // True when another copy runs: it has been asked to show itself. Needs no
    // event loop, so it may run before the application object exists.
    bool anotherCopyRuns();
    // Serves later starts from now on, when anotherCopyRuns() found none
    // (needs the application object).
    bool listen();

Q_SIGNALS:
    // A later start asked this copy to show its window.
    void showRequested();

private:
    void acceptClients();
    void readClient(int fd, QSocketNotifier *notifier);

    QString m_path;
    bool m_first = false; // no other copy runs: this one may listen
    int m_lockFd = -1;
    int m_serverFd = -1;
    QSocketNotifier *m_serverNotifier = nullptr;
    int m_clients = 0;
};

// SIGTERM, SIGINT and SIGHUP, told on the event loop: the handler only
// writes a byte to a socket.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

// The folder of the tool's per-user runtime files: $XDG_RUNTIME_DIR/limra-rfid
// when $XDG_RUNTIME_DIR is the user's own, else limra-rfid-<uid> in the
// temporary folder; created private (0700) when missing. Empty when the folder
// is not the user's own or others may write into it.
QString privateRuntimeFolder();
// The meeting point of the copies in this graphical session (keyed by
// $WAYLAND_DISPLAY, else $DISPLAY); empty when no private folder can be had.
QString instanceSocketPath();

} // namespace limra
