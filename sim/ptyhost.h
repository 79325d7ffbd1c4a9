#pragma once
// Serves a reader model on a pseudo-terminal and registers it as a virtual
// reader: a symbolic link to the terminal in the virtual readers folder.
#include <QObject>
#include <QSocketNotifier>
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
    bool plugged() const { return master >= 0; }

    QString slavePath() const { return slave; }  // /dev/pts/N
    QString linkPath() const { return link; }    // what the tool opens
    // What the tool opens: the link when registered, else the terminal.
    QString portName() const { return link.isEmpty() ? slave : link; }

private:
    void readMaster();
    void write(const QByteArray &bytes);

    ReaderModel *model;
    QString linkName;
    int master = -1;
    int slaveKeep = -1; // our own slave descriptor keeps the master from hanging up
    QString slave;
    QString link;
    std::unique_ptr<QSocketNotifier> notifier;
};

// Removes a registered link on SIGINT and SIGTERM before the process ends.
void removeLinkOnSignal(const QString &linkPath);

} // namespace limra::sim
