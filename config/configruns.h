#pragma once
// How the configuration's front ends start reader runs: each start makes a
// new run (nullptr when refused), which the runner owns.
#include <QString>

#include "config/transfer.h"

namespace limra {

class ConfigRuns : public virtual OperationGate {
public:
    // "0B01": the reader's configuration.
    virtual ConfigRead *readConfig(const Watch<ConfigRead> &watch = {}) = 0;
    // The configuration written, the reader's own kept first (ConfigWrite::start).
    virtual ConfigWrite *writeConfig(const ConfigItems &items, bool objectCode, const Watch<ConfigWrite> &watch = {}) = 0;
};

} // namespace limra
