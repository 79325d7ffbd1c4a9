#pragma once
// How the card workflows' front ends start reader runs: each start makes a
// new run (nullptr when refused), which the runner owns.
#include <array>

#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"

namespace limra {

class CardRuns : public virtual OperationGate {
public:
    // See MasterCardsCreate::start.
    virtual MasterCardsCreate *createMasterCards(const ConfigItems &items, const QString &cardType, bool optionVisible,
                                                 const Watch<MasterCardsCreate> &watch = {}) = 0;
    virtual MasterCardsClear *clearMasterCards(const Watch<MasterCardsClear> &watch = {}) = 0;
    virtual MasterConfigRead *readMasterConfig(const Watch<MasterConfigRead> &watch = {}) = 0;
    // The reader's configuration is kept first.
    virtual MasterConfigTakeOver *takeOverMasterConfig(const Watch<MasterConfigTakeOver> &watch = {}) = 0;
    virtual SecureModeQuery *querySecureMode(const Watch<SecureModeQuery> &watch = {}) = 0;
    // See SecureCardsRun::start.
    virtual SecureCardsRun *runSecureCards(SecureCardsRun::Kind kind, SecureMode mode,
                                           const std::array<bool, 64> &zones,
                                           const Watch<SecureCardsRun> &watch = {}) = 0;
};

} // namespace limra
