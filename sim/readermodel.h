#pragma once
// The simulated reader: answers the tool's commands the way a desktop reader
// of the family does, reports cards presented to it, and injects faults on
// request. It speaks bytes; a host (a pseudo-terminal, or a test) carries them.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "link/readerlink.h"

namespace limra::sim {

// Faults the model can be told to show.
struct Faults {
    bool silent = false;    // answer no command
    int statusCode = -1;    // answer every command with this status (0..255)
    bool split = false;     // write each reply in two pieces
    int delayMs = 0;        // answer this much later
    int cardError = -1;     // report this error for the next card operation
};

// A card that can be presented.
struct MasterCard {
    QString items;          // configuration items written onto the card
    int place = 0;          // zero-based place in its set
    int setSize = 1;
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

    // What happens at the reader.
    void presentCard(IdKind kind, const QString &id);
    void sendCardInfo(int type, int level, qint32 memory, int capacitance);
    void presentBlank();
    void presentMaster(int index = -1); // -1: the last one written

    Faults faults;
    QString serial = QStringLiteral("0A1B2C3D");  // identification item FD
    int readerType = 0x02;                         // 02 USB, 04 BLE
    QString hardware = QStringLiteral("A1");       // first byte of item FF
    QString identityTail = QStringLiteral("0117"); // item FE
    QString firmwareItems = QStringLiteral("1003010200") + QStringLiteral("120401000003");

    // Configuration the reader holds (items, as hex text) and the checksums it reports.
    QString configItems;
    QString objectCodeChecksum;  // item 0E, empty: not reported
    QString blockKeyChecksum;    // item 0F
    bool emMarine = true;        // item 14
    // Configuration given for master cards ("0102"), its protection byte, and zones ("0104").
    QString masterConfigItems;
    QString masterProtection;
    QString secureZones;

    QList<MasterCard> masterCards;  // the master cards written so far
    Mode mode = Mode::Reading;
    int cardsToWrite = 0;
    int cardsWritten = 0;
    bool masterAccepted = false;
    int loaderBlocks = 0;
    QStringList commandsReceived;   // payloads of every frame received, as hex text

    static QString defaultConfigItems();

Q_SIGNALS:
    void output(const QByteArray &bytes);
    void note(const QString &text); // what the reader did, for the prompt

private:
    void handleFrame(const QString &payload);
    void reply(const QString &cmdVer, const QString &body = QString());
    void emitBytes(const QByteArray &bytes);
    void writeNow(const QByteArray &bytes);
    void cardStatus(int code);
    int takeCardError();
    QString readConfigReply() const;

    QByteArray pending;
    QTimer loaderIdle;
};

QString modeName(ReaderModel::Mode mode);
// Parses a kind word of the prompt (uid, phone, mir, nonunique, random).
bool parseKind(const QString &word, IdKind *kind);

} // namespace limra::sim
