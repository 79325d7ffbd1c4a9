#pragma once
// The simulated reader's modes: what it does with a card presented to it,
// or that it is its firmware loader; and their names for the prompt.
#include <QString>

namespace limra::sim {

enum class ReaderMode {
    Reading,          // identifiers are reported as text lines
    CreateMasters,    // 02: write master cards
    ClearMasters,     // 03
    CreateSecure,     // 04: master card first, then cards
    ClearSecure,      // 06: master card first, then cards
    ReadMaster,       // 07: report a master card's configuration
    TakeOverMaster,   // 08: take a master card's configuration
    ClearAllSecure,   // 09
    ObjectCode,       // after a protected-mode configuration write
    Loader,           // firmware loader: raw 16-byte blocks
};

QString modeName(ReaderMode mode);

} // namespace limra::sim
