#pragma once
// Reader discovery: once a second the scan tries the ports that may carry
// the reader, identifies it with "FF01" and keeps the first that answers.
// A removal notice for the connected port drops the connection.
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "link/readerlink.h"
#include "platform/portenum.h"

namespace limra {

class ReaderDiscovery : public QObject {
    Q_OBJECT
public:
    enum ConnectMode { Automatic = 0, FromList = 1, ByNumber = 2 };

    ReaderDiscovery(ReaderLink &link, const PortEnumerator &ports, SerialPortFactory factory,
                    QObject *parent = nullptr);

    // The present ports of the reader (USB 1FC9:0117), then the virtual readers.
    QStringList EnumPorts2() const;
    // Every serial port the system knows, then the virtual readers.
    QStringList EnumPorts() const;
    // The ports one scan tries, by `connectmode`.
    QStringList candidates() const;
    // The port that number n names in manual mode.
    static QString portForNumber(int n);

    void ScanCOMTimerTimer();
    // A device-removal notice carrying the port name.
    void WMDEVICECHANGE(const QString &removedPort);
    void disconnect();

    bool isConnected() const { return !link.connectedport.isEmpty(); }

    QTimer scanTimer;
    int connectmode = Automatic;
    QString listPort;      // the port chosen in the dialog's list (mode 1)
    int manualNumber = 1;  // the number typed in the dialog (mode 2)
    bool blereader = false;
    bool fwswitching = false;
    std::function<bool()> settingsDialogOpen = [] { return false; };

Q_SIGNALS:
    // A reader identified itself; `status` is the status-bar text.
    void connected(const QString &status);
    // The connection ended.
    void disconnected();
    // The configuration is to be read now (after "0501").
    void readConfigurationRequested();

private:
    bool probe(const QString &name);

    ReaderLink &link;
    const PortEnumerator &ports;
    SerialPortFactory factory;
};

} // namespace limra
