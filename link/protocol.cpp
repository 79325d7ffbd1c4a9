#include "link/protocol.h"

#include <algorithm>


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

QString cardTypeName(qint64 type)
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

namespace {
// The bytes from `at`, at most `count` of those there, least significant first.
quint32 littleEndian(const QByteArray &bytes, int at, int count)
{
    quint32 value = 0;
    for (int i = std::min<int>(int(bytes.size()), at + count) - 1; i >= at; --i)
        value = (value << 8) | quint8(bytes.at(i));
    return value;
}
} // namespace

CardInfo decodeCardInfo(const QByteArray &v)
{
    CardInfo info;
    info.type = cardTypeName(littleEndian(v, 0, 2));
    if (info.type.isEmpty())
        return info;
    static const char *const levels[] = {"SL0", "SL1", "SL2", "SL3"};
    const quint32 level = littleEndian(v, 2, 1);
    if (level >= 1 && level <= 4)
        info.security = QString::fromLatin1(levels[level - 1]);
    const qint32 memory = qint32(littleEndian(v, 3, 4));
    if (memory > 0)
        info.memory = memory < 1024 ? QString::number(memory) + QLatin1Char('B')
                                    : QString::number(memory / 1024) + QLatin1Char('K');
    const quint32 capacitance = littleEndian(v, 7, 1);
    if (capacitance == 1 || capacitance == 2) {
        if (!info.memory.isEmpty())
            info.memory += QLatin1Char(' ');
        info.memory += capacitance == 1 ? QStringLiteral("17пФ") : QStringLiteral("70пФ");
    }
    return info;
}

} // namespace limra
