#pragma once
// An in-memory serial port: feed it received bytes, read what was written,
// inject errors. Optionally answers each write through a responder.
#include <QByteArray>
#include <QList>
#include <QTimer>
#include <functional>

#include "platform/serialport.h"

namespace limra::testing {

class FakeSerialPort : public SerialPort {
public:
    bool open(const QString &name) override
    {
        portName = name;
        opened = openable;
        return opened;
    }
    bool isOpen() const override { return opened; }
    OpenFailure openFailure() const override { return opened ? OpenFailure::None : failure; }
    QString name() const override { return portName; }
    bool write(const QByteArray &bytes) override
    {
        if (!opened)
            return false;
        writes << bytes;
        if (responder) {
            const QList<QByteArray> answers = responder(bytes);
            for (const QByteArray &a : answers)
                QTimer::singleShot(0, this, [this, a] { feed(a); });
        }
        return true;
    }
    QByteArray readAll() override
    {
        QByteArray out;
        out.swap(incoming);
        return out;
    }
    void close() override { opened = false; }

    // Bytes arrive from the reader.
    void feed(const QByteArray &bytes)
    {
        incoming += bytes;
        Q_EMIT readyRead();
    }
    void failNow(bool ioError)
    {
        opened = false;
        Q_EMIT failed(ioError);
    }

    bool openable = true;
    OpenFailure failure = OpenFailure::Other;
    bool opened = false;
    QString portName;
    QByteArray incoming;
    QList<QByteArray> writes;
    std::function<QList<QByteArray>(const QByteArray &)> responder;
};

} // namespace limra::testing
