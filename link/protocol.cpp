#include "link/protocol.h"

#include <algorithm>

#include "link/hextext.h"

namespace limra {

const std::vector<IdKindInfo> &idKinds()
{
    static const std::vector<IdKindInfo> kinds = {
        {IdKind::PhoneId, "PhoneID: "},
        {IdKind::RandomUid, "Random UID: "},
        {IdKind::NonuniqueUid, "Nonunic UID: "},
        {IdKind::Mir, "MIR: "},
        {IdKind::Uid, "UID: "},
    };
    return kinds;
}

const IdKindInfo &idKindInfo(IdKind kind)
{
    const auto &kinds = idKinds();
    return *std::find_if(kinds.begin(), kinds.end(), [kind](const IdKindInfo &k) { return k.kind == kind; });
}

static QString cardTypeName(qint64 type)
{
    static const char *const names[] = {
        nullptr, "Mifare ID", "Mifare Classic", "Mifare Classic", "Mifare Classic",
        "Mifare Ultralight", "Mifare Plus S", "Mifare Plus X", "SmartMX or BANK",
        "SmartMX с Mifare Classic", "Mifare Plus SE", "Mifare Plus EV1", "Mifare Plus EV2",
        "Mifare DESFire EV1", "Mifare DESFire EV2", "Mifare DESFire EV3", "NTag216", "NTag4XX",
        "TagNPlay", "ISO14443B", "ICODE", "PHONE", "BANK", "EM-Marine"};
    if (type <= 0 || type >= qint64(sizeof names / sizeof names[0]))
        return QString();
    return QString::fromUtf8(names[type]);
}

CardInfo decodeCardInfo(const QString &v)
{
    CardInfo info;
    info.type = cardTypeName(hexToInt(swapBytes(v.mid(0, 4))));
    if (info.type.isEmpty())
        return info;
    static const char *const levels[] = {"SL0", "SL1", "SL2", "SL3"};
    const qint64 level = hexToInt(v.mid(4, 2));
    if (level >= 1 && level <= 4)
        info.security = QString::fromLatin1(levels[level - 1]);
    const qint32 memory = qint32(quint32(hexToInt(swapBytes(v.mid(6, 8)))));
    if (memory > 0)
        info.memory = memory < 1024 ? QString::number(memory) + QLatin1Char('B')
                                    : QString::number(memory / 1024) + QLatin1Char('K');
    const qint64 capacitance = hexToInt(v.mid(14, 2));
    if (capacitance == 1 || capacitance == 2) {
        if (!info.memory.isEmpty())
            info.memory += QLatin1Char(' ');
        info.memory += capacitance == 1 ? QStringLiteral("17пФ") : QStringLiteral("70пФ");
    }
    return info;
}

} // namespace limra
