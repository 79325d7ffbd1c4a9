#pragma once
// Serves a reader model on a pseudo-terminal and registers it as a virtual
// reader: a symbolic link to the terminal in the virtual readers folder.
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "sim/readermodel.h"

namespace limra::sim {

class PtyHost : public QObject {
    Q_OBJECT
public:
    // `name` is the link's name; an empty name serves without registering.
    PtyHost(ReaderModel *model, const QString &name, QObject *parent = nullptr);
    ~PtyHost() override;

    // Creates the terminal and the link. False with `error` set on failure.
    bool plug(QString *error = nullptr);
    // Removes the link and closes the terminal: to the tool the device is gone.
    void unplug();
    // Like a USB reader restarting into its loader: the terminal hangs up and
    // its link vanishes at once; after `restartDelayMs` a new terminal comes,
    // under the link's name or under another one.
    void restart(const QString &name);
    // The reader restarts when it switches to its loader, and when the
    // loader starts the firmware (on by default).
    bool restartOnLoader = true;
    // How long the device is away while it restarts.
    int restartDelayMs = kDefaultRestartDelayMs;
    static constexpr int kDefaultRestartDelayMs = 400;
    bool plugged() const { return m_master >= 0; }
    // Gone for a restart and not back yet.
    bool restarting() const { return m_comeBack.isActive(); }

    QString slavePath() const { return m_slave; }  // /dev/pts/N
    QString linkPath() const { return m_link; }    // what the tool opens
    // What the tool opens: the link when registered, else the terminal.
    QString portName() const { return m_link.isEmpty() ? m_slave : m_link; }

private:
    void readMaster();
    void write(const QByteArray &bytes);

    ReaderModel *m_model;
    QString m_linkName;
    QString m_readerName; // the name the reader itself (not its loader) comes under
    QTimer m_comeBack;
    int m_master = -1;
    int m_slaveKeep = -1; // our own slave descriptor keeps the master side from hanging up
    QString m_slave;
    QString m_link;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// Removes a registered link on SIGINT and SIGTERM before the process ends.
void removeLinkOnSignal(const QString &linkPath);

} // namespace limra::sim
