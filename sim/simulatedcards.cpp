#include "sim/simulatedcards.h"

#include "link/frame.h"
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

// The object code's checksum as the reader reports it (item 0E).
QByteArray objectCodeChecksum(const QString &objectCode)
{
    const quint16 sum = quint16(qHash(objectCode) & 0xFFFF);
    return QByteArray().append(char(sum >> 8)).append(char(sum & 0xFF));
}

// A protected read mode (item 06 of 01 or 03): cards carry an object code.
bool protectedReadMode(const QByteArray &items)
{
    const std::optional<QByteArrayView> readMode = findItem(items, 0x06);
    return readMode && (*readMode == QByteArrayView("\x01", 1) || *readMode == QByteArrayView("\x03", 1));
}
} // namespace

SimulatedCards::CardOutcome SimulatedCards::withStatus(int code)
{
    CardOutcome outcome;
    outcome.status = code;
    return outcome;
}

void SimulatedCards::setMasterConfig(const QByteArray &items, const QByteArray &protection)
{
    m_masterConfigItems = items;
    m_masterProtection = protection;
}

void SimulatedCards::beginMasterSet(int count)
{
    m_cardsToWrite = count;
    m_cardsWritten = 0;
    ++m_sets;
}

QString SimulatedCards::newUid()
{
    return QStringLiteral("04") + hexDigits(quint64(m_nextUid++), 12);
}

int SimulatedCards::masterIndex(const QString &uid) const
{
    for (int i = 0; i < m_masterCards.size(); ++i)
        if (m_masterCards[i].uid == uid)
            return i;
    return -1;
}

int SimulatedCards::secureIndex(const QString &uid) const
{
    for (int i = 0; i < m_secureCards.size(); ++i)
        if (m_secureCards[i].uid == uid)
            return i;
    return -1;
}

int SimulatedCards::masterToPresent(int index, const QByteArray &factoryItems)
{
    if (m_masterCards.isEmpty()) {
        // A master card written elsewhere, with the factory configuration.
        m_masterCards << MasterCard{newUid(), factoryItems, QByteArray(1, '\0'), QString(), 0, 1};
    }
    if (index < 0 || index >= m_masterCards.size())
        index = int(m_masterCards.size()) - 1;
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
        if (m_cardsWritten >= m_cardsToWrite)
            return withStatus(kErrAllMastersWritten);
        if (secure >= 0 && !m_secureCards[secure].objectCodes.isEmpty())
            return withStatus(kErrMasterNotEmpty);
        m_masterCards << MasterCard{uid, m_masterConfigItems, m_masterProtection,
                                    protectedReadMode(m_masterConfigItems) ? QStringLiteral("OC%1").arg(m_sets)
                                                                           : QString(),
                                    m_cardsWritten, m_cardsToWrite};
        ++m_cardsWritten;
        return withStatus(0);
    case ReaderMode::ClearMasters:
    case ReaderMode::ObjectCode:
        return withStatus(kErrCardEmpty);
    case ReaderMode::ReadMaster:
    case ReaderMode::TakeOverMaster:
        return withStatus(kErrNoMasterData);
    case ReaderMode::CreateSecure:
        if (m_acceptedObjectCode.isEmpty())
            return withStatus(kErrCardEmpty);
        if (secure < 0) {
            m_secureCards << SecureCard{uid, {}, QByteArray()};
            secure = int(m_secureCards.size()) - 1;
        }
        if (m_secureCards[secure].objectCodes.contains(m_acceptedObjectCode))
            return withStatus(kErrCodeExists);
        m_secureCards[secure].objectCodes << m_acceptedObjectCode;
        m_secureCards[secure].zones = m_secureZones;
        return withStatus(0);
    case ReaderMode::ClearSecure:
        if (m_acceptedObjectCode.isEmpty() || secure < 0
            || !m_secureCards[secure].objectCodes.removeOne(m_acceptedObjectCode))
            return withStatus(kErrCardEmpty);
        return withStatus(0);
    case ReaderMode::ClearAllSecure:
        if (secure >= 0)
            m_secureCards.removeAt(secure);
        return withStatus(0);
    }
    return {};
}

SimulatedCards::CardOutcome SimulatedCards::masterPresented(ReaderMode mode, int index)
{
    const MasterCard card = m_masterCards.at(index);
    switch (mode) {
    case ReaderMode::Reading:
    case ReaderMode::Loader:
        return {};
    case ReaderMode::CreateMasters:
        return withStatus(kErrMasterNotEmpty);
    case ReaderMode::ClearMasters:
        m_masterCards.removeAt(index);
        return withStatus(0);
    case ReaderMode::ReadMaster: {
        QByteArray items = card.items;
        items.append(char(0x01)).append(char(0x02)).append(char(card.place)).append(char(card.setSize));
        if (!card.objectCode.isEmpty())
            items.append(char(0x0E)).append(char(0x02)).append(objectCodeChecksum(card.objectCode));
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
        if (!m_acceptedObjectCode.isEmpty())
            return withStatus(kErrMasterPresented);
        if (card.objectCode.isEmpty())
            return withStatus(kErrModesDiffer);
        m_acceptedObjectCode = card.objectCode;
        return withStatus(0);
    case ReaderMode::ClearAllSecure:
        return withStatus(kErrMasterPresented);
    case ReaderMode::ObjectCode: {
        CardOutcome taken = withStatus(0);
        taken.objectCodeChecksum = card.objectCode.isEmpty() ? QByteArray("\x5A\x3C", 2)
                                                             : objectCodeChecksum(card.objectCode);
        return taken;
    }
    }
    return {};
}

QStringList SimulatedCards::describeCards() const
{
    QStringList out;
    for (int i = 0; i < m_masterCards.size(); ++i) {
        const MasterCard &m = m_masterCards[i];
        out << QStringLiteral("master %1: %2, No %3 of %4, protection %5%6, items %7")
                   .arg(i)
                   .arg(m.uid)
                   .arg(m.place + 1)
                   .arg(m.setSize)
                   .arg(m.protection.isEmpty() ? QStringLiteral("-") : bytesToHex(m.protection),
                        m.objectCode.isEmpty() ? QString() : QStringLiteral(", object code ") + m.objectCode,
                        bytesToHex(m.items));
    }
    for (const SecureCard &s : m_secureCards)
        out << QStringLiteral("secure %1: object codes %2, zones %3")
                   .arg(s.uid, s.objectCodes.join(QLatin1Char(',')),
                        s.zones.isEmpty() ? QStringLiteral("-") : bytesToHex(s.zones));
    return out;
}

} // namespace limra::sim
