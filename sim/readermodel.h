#pragma once
// The simulated reader: answers the tool's commands the way a desktop reader
// of the family does, passes the cards presented to it (blank cards, master
// cards, secure cards) to its cards and the bytes in its loader mode to its
// firmware loader, and injects faults on request. It speaks bytes; a host (a
// pseudo-terminal, or a test) carries them.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "link/protocol.h"
#include "sim/readermode.h"
#include "sim/simulatedcards.h"
#include "sim/simulatedloader.h"

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

class ReaderModel : public QObject, public SimulatedCards, public SimulatedLoader {
    Q_OBJECT
public:
    using Mode = ReaderMode;

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
    // The loader started afresh (switched into, or plugged in again) and has
    // received nothing since: the next block is the first of an upload. A
    // loader that received bytes is half-fed until it restarts: what it is
    // sent is appended to what it took.
    bool loaderFresh() const { return mode == Mode::Loader && loaderStartedAfresh(); }
    // Bytes the loader holds that do not make a whole block yet.
    int loaderPendingBytes() const { return mode == Mode::Loader ? int(m_pending.size()) : 0; }

    Faults faults;
    QString serial = QStringLiteral("0A1B2C3D");   // identification item FD
    int readerType = kReaderKindUsb;               // 02 USB, 04 BLE
    QString hardware = QStringLiteral("A1");       // first byte of item FF
    QString identityTail = QStringLiteral("0117"); // item FE
    QString firmwareItems = QStringLiteral("1003010200") + QStringLiteral("120401000003");

    // Configuration the reader holds (items, as hex text) and the checksums it reports.
    QString configItems;
    QString objectCodeChecksum;  // item 0E, empty: not reported
    QString blockKeyChecksum;    // item 0F
    bool emMarine = true;        // item 14
    Mode mode = Mode::Reading;
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
    // What a card presented did: the reader reports it.
    void tell(const CardOutcome &outcome);
    QString readConfigReply() const;

    QByteArray m_pending;
    QTimer m_loaderIdle;
};

// Parses a kind word of the prompt (uid, phone, mir, nonunique, random).
bool parseKind(const QString &word, IdKind *kind);

} // namespace limra::sim
