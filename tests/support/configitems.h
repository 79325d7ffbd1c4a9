#pragma once
// Configuration items for tests of single items, written as hex digits (two
// a byte) for the reader of the test.
#include <QString>

#include "config/configitems.h"
#include "link/hextext.h"

namespace limra::testing {

// The items the hex digits give.
inline ConfigItems itemsOf(const QString &hex)
{
    return ConfigItems::parse(hexToBytes(hex));
}

// The items' bytes as hex digits.
inline QString hexOf(const ConfigItems &items)
{
    return bytesToHex(items.toBytes());
}

// One item's value as hex digits; empty when there is none.
inline QString itemHex(const ConfigItems &items, int tag)
{
    return bytesToHex(items.value(quint8(tag)));
}

// The items every configuration carries (formats 01E7, normal conversion
// without shift and 64 bits, read mode 0, Wiegand with check bits, automatic
// width) in front of `items`: a later item of the same tag replaces one of these.
inline QString withCarriedHex(const QString &items)
{
    return QStringLiteral("0202E701") + QStringLiteral("0303000040") + QStringLiteral("060100")
           + QStringLiteral("040100") + QStringLiteral("050100") + items;
}
inline ConfigItems withCarriedItems(const QString &items)
{
    return itemsOf(withCarriedHex(items));
}

} // namespace limra::testing
