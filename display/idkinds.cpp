#include "display/idkinds.h"

namespace limra {

const IdKindLook &idKindLook(IdKind kind)
{
    static const IdKindLook uid{"UID", 0xFFFFFF}, phone{"Phone ID", 0xBFFFBF}, mir{"MIR", 0xD7F3FF},
        nonunique{"Nonunique UID", 0xFFFFC4}, random{"Random UID", 0xFFB9B9};
    switch (kind) {
    case IdKind::PhoneId: return phone;
    case IdKind::Mir: return mir;
    case IdKind::NonuniqueUid: return nonunique;
    case IdKind::RandomUid: return random;
    case IdKind::Uid: break;
    }
    return uid;
}

const std::vector<IdKind> &idKindLabelOrder()
{
    static const std::vector<IdKind> order = {IdKind::Uid, IdKind::PhoneId, IdKind::Mir, IdKind::NonuniqueUid,
                                              IdKind::RandomUid};
    return order;
}

} // namespace limra
