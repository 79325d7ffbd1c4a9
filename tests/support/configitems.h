#pragma once
// Configuration items for tests of single items.
#include <QString>

namespace limra::testing {

// The items every configuration carries (formats 01E7, normal conversion
// without shift and 64 bits, read mode 0, Wiegand with check bits, automatic
// width) in front of `items`: a later item of the same tag replaces one of these.
inline QString withCarriedItems(const QString &items)
{
    return QStringLiteral("0202E701") + QStringLiteral("0303000040") + QStringLiteral("060100")
           + QStringLiteral("040100") + QStringLiteral("050100") + items;
}

} // namespace limra::testing
