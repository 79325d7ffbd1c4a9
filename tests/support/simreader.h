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
    // Unplugs the reader once the condition holds (looked at every few ms
    // while `owner` lives).
    void unplugWhen(QObject *owner, std::function<bool()> condition)
    {
        auto *poll = new QTimer(owner);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, condition = std::move(condition)] {
            if (!condition())
                return;
            poll->stop();
            host->unplug();
        });
        poll->start(5);
    }
    // Unplugs the reader once it clears master cards (a clearing wait has no
    // countdown to go by).
    void unplugOnceClearing(QObject *owner)
    {
        unplugWhen(owner, [this] { return model->mode() == sim::ReaderModel::Mode::ClearMasters; });
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

// Delivers what is already posted (queued signals and calls, layout
// requests) and what those post in turn: for a check that reads what a
// change leaves once the event loop has had its turn.
inline void deliverPosted()
{
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Runs the event loop until a precise timer started now with this interval
// has fired, and calls `atFire` from it. Timers fire in the order they fall
// due, however late the loop comes to them: a timer of the tool started
// before with a clearly shorter interval (or the same one under 20 ms, where
// Qt gives every timer its exact time) has fired by then, and one due
// clearly later has not fired when `atFire` runs. For a check that what such
// a timer would have done did not happen, or has not happened yet.
inline bool waitPastTimer(int intervalMs, const std::function<void()> &atFire = {}, int limitMs = 10000)
{
    bool fired = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&fired, &atFire] {
        fired = true;
        if (atFire)
            atFire();
    });
    timer.start(intervalMs);
    const bool ok = waitUntil([&fired] { return fired; }, intervalMs + limitMs);
    deliverPosted(); // and what it posted
    return ok;
}

// Runs the event loop for a while.
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace limra::testing
