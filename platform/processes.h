#pragma once
#include <QString>

namespace limra {

// True when a process of this name runs (ModemManager, say).
bool processRunning(const QString &name);

} // namespace limra
