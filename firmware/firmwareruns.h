#pragma once
// How the firmware tab starts reader runs: each start makes a new run
// (nullptr when refused), which the runner owns.
#include "firmware/update.h"

namespace limra {

class FirmwareRuns : public virtual OperationGate {
public:
    // Updates the connected reader, or finishes the one left in its loader.
    virtual FirmwareUpdate *updateFirmware(const QString &path, const Watch<FirmwareUpdate> &watch = {}) = 0;
    virtual FirmwareVersionQuery *queryVersion(const Watch<FirmwareVersionQuery> &watch = {}) = 0;
};

} // namespace limra
