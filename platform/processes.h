#pragma once
#include <QString>
#include <algorithm>

namespace limra {

// True when a process of this name runs (ModemManager, say).
bool processRunning(const QString &name);

// Nanoseconds a thread has waited so far, ready to run, for a processor: what
// a loaded machine took from it, apart from its own work and its own waits.
// This thread (pid 0), or the main thread of the process `pid`; 0 where the
// system does not tell.
qint64 runQueueWaitNs(qint64 pid = 0);
// A span of wall time less the nanoseconds a thread waited for a processor
// in it: how long it could run.
inline qint64 runningMs(qint64 wallMs, qint64 waitedNs) { return std::max<qint64>(0, wallMs - waitedNs / 1000000); }

} // namespace limra
