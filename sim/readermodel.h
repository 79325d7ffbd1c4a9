#pragma once
// The simulated reader: answers the tool's commands the way a desktop reader
// of the family does, works on the cards presented to it (blank cards,
// master cards, secure cards), runs a firmware loader, and injects faults on
// request. It speaks bytes; a host (a pseudo-terminal, or a test) carries them.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "link/protocol.h"

namespace limra::sim {

// Faults the reader can be told to show.
struct Faults {
    bool silent = false;    // answer no command
    int statusCode = -1;    // answer every command with this status (0..255)
    QString refuse;         // answer only this command (cmd and ver, e.g. "0401") with `refuseCode`
    int refuseCode = 0x0F;
    bool split = false;     // write each reply in two pieces
    int delayMs = 0;        // answer this much later
    int cardError = -1;     // report this error for the next card operation
};

// Faults of the firmware loader, by block number counted from 0.
struct LoaderFaults {
    int rejectBlock = -1;   // answer 00 and `rejectCode` for this block
    int rejectCode = 0x07;
    int silentBlock = -1;   // no answer for this block
    int longReplyBlock = -1; // three bytes for this block
    bool comeBackElsewhere = false; // the loader shows up under another port name
    // From this block on the loader answers nothing and stays a loader (no
    // return to card reading); -1 clears it, and the loader answers again.
    int stuckBlock = -1;
    bool switchUnanswered = false; // the reader restarts into its loader without answering the switch
};

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

class ReaderModel : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Reading,          // identifiers are reported as text lines
        CreateMasters,    // 02: write master cards
        ClearMasters,     // 03
        CreateSecure,     // 04: master card first, then cards
        ClearSecure,      // 06: master card first, then cards
        ReadMaster,       // 07: report a master card's configuration
        TakeOverMaster,   // 08: take a master card's configuration
        ClearAllSecure,   // 09
        ObjectCode,       // after a protected-mode configuration write
        Loader,           // firmware loader: raw 16-byte blocks
    };

    explicit ReaderModel(QObject *parent = nullptr);

    // Bytes from the tool.
    void receive(const QByteArray &bytes);
    // The reader was plugged in (again): what was on its way is gone, and a
    // loader (it starts as one while its firmware is incomplete) starts
    // afresh: it expects a new upload from its first block.
    void pluggedIn();

    // What happens at the reader.
    void presentCard(IdKind kind, const QString &id);
    void sendCardInfo(int type, int level, qint32 memory, int capacitance);
    // A blank card with a new identifier, or the card with this identifier.
    void presentBlank(const QString &uid = QString());
    // Master card N (default: the last one written).
    void presentMaster(int index = -1);

    // The device identity the firmware sections are built for: item FF then
    // item FE, each byte-reversed.
    QString deviceIdentity() const;
    // What the loader took of the upload now running, and the CRC of that
    // data as the image header has it.
    int blocksTaken() const { return int(loaderData.size() / 16); }
    quint16 uploadedCrc() const;
    // The loader is stuck (LoaderFaults::stuckBlock reached): it answers nothing.
    bool loaderStuck() const { return loaderFaults.stuckBlock >= 0 && m_stuck; }
    // The loader started afresh (switched into, or plugged in again) and has
    // received nothing since: the next block is the first of an upload. A
    // loader that received bytes is half-fed until it restarts: what it is
    // sent is appended to what it took.
    bool loaderFresh() const { return mode == Mode::Loader && m_fresh; }
    // Bytes the loader holds that do not make a whole block yet.
    int loaderPendingBytes() const { return mode == Mode::Loader ? int(m_pending.size()) : 0; }
    // The cards as the prompt lists them.
    QStringList describeCards() const;

    Faults faults;
    LoaderFaults loaderFaults;
    QString serial = QStringLiteral("0A1B2C3D");   // identification item FD
    int readerType = kReaderKindUsb;               // 02 USB, 04 BLE
    QString hardware = QStringLiteral("A1");       // first byte of item FF
    QString identityTail = QStringLiteral("0117"); // item FE
    QString firmwareItems = QStringLiteral("1003010200") + QStringLiteral("120401000003");
    // A loader that took blocks and gets no more for this long starts the
    // firmware: back to card reading. Not while stuck, nor after an upload
    // that broke off; a loader that took nothing waits for an upload.
    int loaderIdleMs = 3000;

    // Configuration the reader holds (items, as hex text) and the checksums it reports.
    QString configItems;
    QString objectCodeChecksum;  // item 0E, empty: not reported
    QString blockKeyChecksum;    // item 0F
    bool emMarine = true;        // item 14
    // Configuration given for master cards ("0102"), its protection byte, and zones ("0104").
    QString masterConfigItems;
    QString masterProtection;
    QString secureZones;

    QList<MasterCard> masterCards;  // the master cards written and not cleared
    QList<SecureCard> secureCards;
    Mode mode = Mode::Reading;
    int cardsToWrite = 0;
    int cardsWritten = 0;
    QString acceptedObjectCode;     // the master card accepted in a secure-card mode
    // The blocks the loader took since it started afresh, in order. Like a
    // real loader it knows no other start of an upload: after a block it did
    // not take (rejected), or when the tool that fed it went away, the next
    // block it takes is appended; only a restart (plugged in again) or a new
    // switch empties it.
    QByteArray loaderData;
    // Every 16 bytes the loader received as a block since the switch, taken,
    // rejected or not answered, in order, across uploads.
    QList<QByteArray> loaderBlocks;
    QStringList commandsReceived;   // payloads of every frame received, as hex text

    static QString defaultConfigItems();

Q_SIGNALS:
    void output(const QByteArray &bytes);
    void note(const QString &text); // what the reader did, for the prompt
    // The reader restarts into its loader: its port goes away and comes back.
    void switchedToLoader();
    // The loader has finished: the reader restarts into its firmware.
    void leftLoader();

private:
    void handleFrame(const QString &payload);
    void loaderBlock(const QByteArray &block);
    void reply(const QString &cmdVer, const QString &body = QString());
    void emitBytes(const QByteArray &bytes);
    void writeNow(const QByteArray &bytes);
    void cardStatus(int code);
    QString readConfigReply() const;
    int masterIndex(const QString &uid) const;
    int secureIndex(const QString &uid) const;
    void cardPresented(const QString &uid);
    void masterPresented(int index);
    QString newUid();

    QByteArray m_pending;
    QTimer m_loaderIdle;
    bool m_stuck = false;
    bool m_uploadBroken = false; // a block was rejected or not answered: the firmware is not whole
    bool m_fresh = false;
    int m_nextUid = 1;
    int m_sets = 0;
};

QString modeName(ReaderModel::Mode mode);
// Parses a kind word of the prompt (uid, phone, mir, nonunique, random).
bool parseKind(const QString &word, IdKind *kind);

} // namespace limra::sim
