#pragma once
// The serial port as the reader link sees it: 9600 baud, 8 data bits, no
// parity, one stop bit, no flow control, DTR and RTS not asserted. Events
// arrive on the user-interface thread.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/lineerrors.h"

namespace limra {

// Why a port could not be opened.
enum class OpenFailure {
    None,
    Missing,      // no such port
    NoPermission, // the user may not open it
    Busy,         // another program holds it
    Other,
};

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the port by name and discards both buffers.
    virtual bool open(const QString &name) = 0;
    // Why the last open failed.
    virtual OpenFailure openFailure() const { return OpenFailure::Other; }
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;
    virtual bool write(const QByteArray &bytes) = 0;
    // Everything received since the last call.
    virtual QByteArray readAll() = 0;
    // Appends everything received since the last call to `buffer`, whose
    // storage the caller keeps from one call to the next.
    virtual void readInto(QByteArray &buffer) { buffer += readAll(); }
    virtual void close() = 0;

Q_SIGNALS:
    void readyRead();
    // Line errors reported by the driver (parity, framing, ...); the port stays open.
    void lineError(limra::LineErrors errors);
    // The port failed (device gone, I/O error) and is already closed.
    // `ioError` is false when the device simply disappeared.
    void failed(bool ioError);
};

using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

} // namespace limra
