#pragma once
// The cards the simulated reader works on: the master cards it wrote, the
// secure cards with their object codes, and what a card presented to it
// does in each mode: a card-operation status, a master card's configuration
// report, or the configuration or object code the reader takes from it.
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "sim/readermode.h"

namespace limra::sim {

struct MasterCard {
    QString uid;
    QString items;          // configuration items written onto the card
    QString protection;     // item 11 as given: AA or 00
    QString objectCode;     // empty unless written for a protected read mode
    int place = 0;          // zero-based place in its set
    int setSize = 1;
};

struct SecureCard {
    QString uid;
    QStringList objectCodes;
    QString zones;          // the zone bytes written with the last object code
};

class SimulatedCards {
public:
    // The cards as the prompt lists them.
    QStringList describeCards() const;

    // Configuration given for master cards ("0102"), its protection byte, and zones ("0104").
    QString masterConfigItems;
    QString masterProtection;
    QString secureZones;

    QList<MasterCard> masterCards;  // the master cards written and not cleared
    QList<SecureCard> secureCards;
    int cardsToWrite = 0;
    int cardsWritten = 0;
    QString acceptedObjectCode;     // the master card accepted in a secure-card mode

protected:
    // What a card presented does at the reader.
    struct CardOutcome {
        int status = -1;    // the card-operation status reported; -1: none
        QString report;     // the configuration items a master card reports (frame 0103); empty: none
        std::optional<QString> takenItems;         // the configuration the reader takes over
        std::optional<QString> objectCodeChecksum; // the object code taken: the reader reads cards again
    };

    // A set of `count` master cards is to be written.
    void beginMasterSet(int count);
    // A blank card's identifier, new each time.
    QString newUid();
    // Master card `index` (out of range: the last one); a master card
    // written elsewhere with `factoryItems` when there is none.
    int masterToPresent(int index, const QString &factoryItems);
    // A card presented in `mode`: a master card, blank, or secure.
    CardOutcome cardPresented(ReaderMode mode, const QString &uid);
    CardOutcome masterPresented(ReaderMode mode, int index);

private:
    static CardOutcome withStatus(int code);
    int masterIndex(const QString &uid) const;
    int secureIndex(const QString &uid) const;

    int m_nextUid = 1;
    int m_sets = 0;
};

} // namespace limra::sim
