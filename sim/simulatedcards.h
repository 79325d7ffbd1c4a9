#pragma once
// The cards the simulated reader works on: the master cards it wrote, the
// secure cards with their object codes, and what a card presented to it
// does in each mode: a card-operation status, a master card's configuration
// report, or the configuration or object code the reader takes from it.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "sim/readermode.h"

namespace limra::sim {

struct MasterCard {
    QString uid;
    QByteArray items;       // configuration items written onto the card
    QByteArray protection;  // the value of item 11 as given: AA or 00; empty: none
    QString objectCode;     // empty unless written for a protected read mode
    int place = 0;          // zero-based place in its set
    int setSize = 1;
};

struct SecureCard {
    QString uid;
    QStringList objectCodes;
    QByteArray zones;       // the zone bytes written with the last object code
};

class SimulatedCards {
public:
    // The cards as the prompt lists them.
    QStringList describeCards() const;

    // The master cards written and not cleared, and the secure cards.
    const QList<MasterCard> &masterCards() const { return m_masterCards; }
    const QList<SecureCard> &secureCards() const { return m_secureCards; }
    // A card written elsewhere comes to the reader.
    void addMasterCard(const MasterCard &card) { m_masterCards << card; }
    void addSecureCard(const SecureCard &card) { m_secureCards << card; }
    // The master cards are gone (lost, or wiped elsewhere).
    void forgetMasterCards() { m_masterCards.clear(); }

    // Configuration given for master cards ("0102") without its protection
    // item, and the value of that item (empty: none given).
    const QByteArray &masterConfigItems() const { return m_masterConfigItems; }
    const QByteArray &masterProtection() const { return m_masterProtection; }

protected:
    // What a card presented does at the reader.
    struct CardOutcome {
        int status = -1;    // the card-operation status reported; -1: none
        QByteArray report;  // the configuration items a master card reports (frame 0103); empty: none
        std::optional<QByteArray> takenItems;         // the configuration the reader takes over
        std::optional<QByteArray> objectCodeChecksum; // the object code taken: the reader reads cards again
    };

    // Configuration for master cards ("0102" without item 11, and that
    // item's value) and zones ("0104").
    void setMasterConfig(const QByteArray &items, const QByteArray &protection);
    void setSecureZones(const QByteArray &zones) { m_secureZones = zones; }
    // A secure-card mode starts: no master card accepted yet.
    void forgetAcceptedObjectCode() { m_acceptedObjectCode.clear(); }
    // A set of `count` master cards is to be written.
    void beginMasterSet(int count);
    // A blank card's identifier, new each time.
    QString newUid();
    // Master card `index` (out of range: the last one); a master card
    // written elsewhere with `factoryItems` when there is none.
    int masterToPresent(int index, const QByteArray &factoryItems);
    QString masterUid(int index) const { return m_masterCards.at(index).uid; }
    // A card presented in `mode`: a master card, blank, or secure.
    CardOutcome cardPresented(ReaderMode mode, const QString &uid);
    CardOutcome masterPresented(ReaderMode mode, int index);

private:
    static CardOutcome withStatus(int code);
    int masterIndex(const QString &uid) const;
    int secureIndex(const QString &uid) const;

    QByteArray m_masterConfigItems;
    QByteArray m_masterProtection;
    QByteArray m_secureZones;
    QList<MasterCard> m_masterCards;
    QList<SecureCard> m_secureCards;
    int m_cardsToWrite = 0;
    int m_cardsWritten = 0;
    QString m_acceptedObjectCode;   // the master card accepted in a secure-card mode
    int m_nextUid = 1;
    int m_sets = 0;
};

} // namespace limra::sim
