#pragma once
// How the card display shows each kind of identifier: its label and the
// colour the identifier is shown on.
#include <QtGlobal>
#include <vector>

#include "link/protocol.h"

namespace limra {

struct IdKindLook {
    const char *label; // kind label of the card display
    quint32 colour;    // background of the identifier, 0xRRGGBB
};
const IdKindLook &idKindLook(IdKind kind);
// Kinds in the order of the display's kind labels.
const std::vector<IdKind> &idKindLabelOrder();

} // namespace limra
