#include "sim/simulatedcards.h"

#include "link/hextext.h"
#include "link/protocol.h"

namespace limra::sim {

namespace {
constexpr int kErrAllMastersWritten = 0x0D;
constexpr int kErrMasterNotEmpty = 0x0E;
constexpr int kErrNoMasterData = 0x10;
constexpr int kErrCodeExists = 0x12;
constexpr int kErrMasterPresented = 0x13;
constexpr int kErrCardEmpty = 0x19;
constexpr int kErrModesDiffer = 0x1A;
} // namespace

SimulatedCards::CardOutcome SimulatedCards::withStatus(int code)
{
    CardOutcome outcome;
    outcome.status = code;
    return outcome;
}

void SimulatedCards::beginMasterSet(int count)
{
    cardsToWrite = count;
    cardsWritten = 0;
    ++m_sets;
}

QString SimulatedCards::newUid()
{
    return QStringLiteral("04") + hexDigits(quint64(m_nextUid++), 12);
}

int SimulatedCards::masterIndex(const QString &uid) const
{
    for (int i = 0; i < masterCards.size(); ++i)
        if (masterCards[i].uid == uid)
            return i;
    return -1;
}

int SimulatedCards::secureIndex(const QString &uid) const
{
    for (int i = 0; i < secureCards.size(); ++i)
        if (secureCards[i].uid == uid)
            return i;
    return -1;
}

int SimulatedCards::masterToPresent(int index, const QString &factoryItems)
{
    if (masterCards.isEmpty()) {
        // A master card written elsewhere, with the factory configuration.
        masterCards << MasterCard{newUid(), factoryItems, QStringLiteral("00"), QString(), 0, 1};
    }
    if (index < 0 || index >= masterCards.size())
        index = int(masterCards.size()) - 1;
    return index;
}

// A card that is not a master card: blank, or secure.
SimulatedCards::CardOutcome SimulatedCards::cardPresented(ReaderMode mode, const QString &uid)
{
    const int master = masterIndex(uid);
    if (master >= 0)
        return masterPresented(mode, master);
    int secure = secureIndex(uid);
    switch (mode) {
    case ReaderMode::Reading:
    case ReaderMode::Loader:
        return {};
    case ReaderMode::CreateMasters:
        if (cardsWritten >= cardsToWrite)
            return withStatus(kErrAllMastersWritten);
        if (secure >= 0 && !secureCards[secure].objectCodes.isEmpty())
            return withStatus(kErrMasterNotEmpty);
        {
            const QString readMode = tagValue(0x06, masterConfigItems, Packet::Items);
            const bool objectCode = readMode == QLatin1String("01") || readMode == QLatin1String("03");
            masterCards << MasterCard{uid, masterConfigItems, masterProtection,
                                      objectCode ? QStringLiteral("OC%1").arg(m_sets) : QString(), cardsWritten,
                                      cardsToWrite};
        }
        ++cardsWritten;
        return withStatus(0);
    case ReaderMode::ClearMasters:
    case ReaderMode::ObjectCode:
        return withStatus(kErrCardEmpty);
    case ReaderMode::ReadMaster:
    case ReaderMode::TakeOverMaster:
        return withStatus(kErrNoMasterData);
    case ReaderMode::CreateSecure:
        if (acceptedObjectCode.isEmpty())
            return withStatus(kErrCardEmpty);
        if (secure < 0) {
            secureCards << SecureCard{uid, {}, QString()};
            secure = int(secureCards.size()) - 1;
        }
        if (secureCards[secure].objectCodes.contains(acceptedObjectCode))
            return withStatus(kErrCodeExists);
        secureCards[secure].objectCodes << acceptedObjectCode;
        secureCards[secure].zones = secureZones;
        return withStatus(0);
    case ReaderMode::ClearSecure:
        if (acceptedObjectCode.isEmpty() || secure < 0
            || !secureCards[secure].objectCodes.removeOne(acceptedObjectCode))
            return withStatus(kErrCardEmpty);
        return withStatus(0);
    case ReaderMode::ClearAllSecure:
        if (secure >= 0)
            secureCards.removeAt(secure);
        return withStatus(0);
    }
    return {};
}

SimulatedCards::CardOutcome SimulatedCards::masterPresented(ReaderMode mode, int index)
{
    const MasterCard card = masterCards.at(index);
    switch (mode) {
    case ReaderMode::Reading:
    case ReaderMode::Loader:
        return {};
    case ReaderMode::CreateMasters:
        return withStatus(kErrMasterNotEmpty);
    case ReaderMode::ClearMasters:
        masterCards.removeAt(index);
        return withStatus(0);
    case ReaderMode::ReadMaster: {
        QString items = card.items + QStringLiteral("0102") + hexByte(card.place) + hexByte(card.setSize);
        if (!card.objectCode.isEmpty())
            items += QStringLiteral("0E02") + hexDigits(qHash(card.objectCode) & 0xFFFF, 4);
        CardOutcome reported;
        reported.report = items;
        return reported;
    }
    case ReaderMode::TakeOverMaster: {
        CardOutcome taken = withStatus(0);
        taken.takenItems = card.items;
        return taken;
    }
    case ReaderMode::CreateSecure:
    case ReaderMode::ClearSecure:
        if (!acceptedObjectCode.isEmpty())
            return withStatus(kErrMasterPresented);
        if (card.objectCode.isEmpty())
            return withStatus(kErrModesDiffer);
        acceptedObjectCode = card.objectCode;
        return withStatus(0);
    case ReaderMode::ClearAllSecure:
        return withStatus(kErrMasterPresented);
    case ReaderMode::ObjectCode: {
        CardOutcome taken = withStatus(0);
        taken.objectCodeChecksum = card.objectCode.isEmpty() ? QStringLiteral("5A3C")
                                                             : hexDigits(qHash(card.objectCode) & 0xFFFF, 4);
        return taken;
    }
    }
    return {};
}

QStringList SimulatedCards::describeCards() const
{
    QStringList out;
    for (int i = 0; i < masterCards.size(); ++i) {
        const MasterCard &m = masterCards[i];
        out << QStringLiteral("master %1: %2, No %3 of %4, protection %5%6, items %7")
                   .arg(i)
                   .arg(m.uid)
                   .arg(m.place + 1)
                   .arg(m.setSize)
                   .arg(m.protection.isEmpty() ? QStringLiteral("-") : m.protection,
                        m.objectCode.isEmpty() ? QString() : QStringLiteral(", object code ") + m.objectCode,
                        m.items);
    }
    for (const SecureCard &s : secureCards)
        out << QStringLiteral("secure %1: object codes %2, zones %3")
                   .arg(s.uid, s.objectCodes.join(QLatin1Char(',')), s.zones.isEmpty() ? QStringLiteral("-") : s.zones);
    return out;
}

} // namespace limra::sim
