#pragma once
// One copy of the tool per user: a new start asks the running copy to show
// its window and ends; signals that end a process close the window the
// ordinary way, so that the settings are written.
#include <QObject>
#include <memory>

class QLocalServer;
class QSocketNotifier;

namespace limra {

class InstanceGuard : public QObject {
    Q_OBJECT
public:
    // `key` names the copy; the same user's copies share it.
    explicit InstanceGuard(const QString &key, QObject *parent = nullptr);
    ~InstanceGuard() override;

    // True when another copy runs: it has been asked to show itself.
    bool anotherCopyRuns();
    // Serves later starts from now on.
    bool listen();

Q_SIGNALS:
    // A later start asked this copy to show its window.
    void showRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
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

// The per-user key of the tool's copies.
QString instanceKey();

} // namespace limra
