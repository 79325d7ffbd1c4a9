#pragma once
#include <QString>

namespace limra {

// True when a process of this name runs (ModemManager, say).
bool processRunning(const QString &name);

// Nanoseconds a thread has waited so far, ready to run, for a processor: what
// a loaded machine took from it, apart from its own work and its own waits.
// This thread (pid 0), or the main thread of the process `pid`; 0 where the
// system does not tell.
qint64 runQueueWaitNs(qint64 pid = 0);

} // namespace limra
