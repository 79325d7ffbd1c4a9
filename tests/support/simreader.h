#pragma once
// A simulated reader served on a pseudo-terminal inside the test process.
// Registered under a link name, it restarts into its loader like a USB
// device: the port hangs up and vanishes, and the loader comes back under
// the same name `host->restartDelayMs` later (0.4 s unless set).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <memory>

#include "link/hextext.h"
#include "sim/ptyhost.h"
#include "sim/readermodel.h"

namespace limra::testing {

struct SimReader {
    explicit SimReader(const QString &linkName = QString())
        : model(std::make_unique<sim::ReaderModel>()),
          host(std::make_unique<sim::PtyHost>(model.get(), linkName))
    {
        plugged = host->plug(&error);
    }
    QString port() const { return host->portName(); }
    // The payloads of the commands the reader received, as hex text (the
    // way the traffic log shows them).
    QStringList commands() const
    {
        QStringList out;
        for (const QByteArray &payload : model->commandsReceived())
            out << bytesToHex(payload);
        return out;
    }

    std::unique_ptr<sim::ReaderModel> model;
    std::unique_ptr<sim::PtyHost> host;
    bool plugged = false;
    QString error;
};

// Runs the event loop until the condition holds or the time passes (a
// generous limit: a loaded machine can take seconds for what takes
// milliseconds on an idle one).
inline bool waitUntil(const std::function<bool()> &cond, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs the event loop for a while.
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace limra::testing
