#pragma once
// Sends a request through the link and runs the event loop until its answer
// has come; operations run until they have ended.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "link/operation.h"
#include "link/readerlink.h"

namespace limra::testing {

inline ReaderLink::Answer await(ReaderLink &link, const QByteArray &payload, int timeoutMs, bool raw = false)
{
    std::optional<ReaderLink::Answer> got;
    QEventLoop loop;
    auto handler = [&](const ReaderLink::Answer &a) {
        got = a;
        loop.quit();
    };
    if (raw)
        link.sendRaw(payload, timeoutMs, nullptr, handler);
    else
        link.send(payload, timeoutMs, nullptr, handler);
    if (!got) {
        QTimer::singleShot(timeoutMs + 5000, &loop, &QEventLoop::quit); // a link that never answers fails the test
        loop.exec();
    }
    return got.value_or(ReaderLink::Answer{LinkError::malformed(), {}, {}});
}

// Runs the event loop until the operation has ended (and told it), or the time is up.
inline bool finish(ReaderOperation &operation, int ms = 10000)
{
    if (!operation.running()) {
        QCoreApplication::processEvents(); // its end is told from the event loop
        return true;
    }
    bool ended = false;
    QEventLoop loop;
    const auto c = QObject::connect(&operation, &ReaderOperation::ended, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return ended && !operation.running();
}

// Runs the event loop until a run has told its result (its finished(result)),
// or the time is up: then, and for no run (refused), a result still Running.
template <class Run>
typename Run::Result endOf(Run *run, int ms = 10000)
{
    std::optional<typename Run::Result> got;
    if (!run)
        return {};
    QEventLoop loop;
    const auto c = QObject::connect(run, &Run::finished, &loop, [&](const typename Run::Result &result) {
        got = result;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return got.value_or(typename Run::Result{});
}

// The payload of a command: cmd, ver and items given as hex text.
inline QByteArray hexBytes(const char *hex)
{
    QByteArray out;
    for (const char *p = hex; p[0] && p[1]; p += 2)
        out.append(char(QByteArray(p, 2).toInt(nullptr, 16)));
    return out;
}

} // namespace limra::testing
