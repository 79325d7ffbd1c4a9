#pragma once
// The simulated reader: answers the tool's commands the way a desktop reader
// of the family does, passes the cards presented to it (blank cards, master
// cards, secure cards) to its cards and the bytes in its loader mode to its
// firmware loader, and injects faults on request. It speaks bytes; a host (a
// pseudo-terminal, or a test) carries them.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "link/protocol.h"
#include "sim/readermode.h"
#include "sim/simulatedcards.h"
#include "sim/simulatedloader.h"

namespace limra::sim {

// Faults the reader can be told to show.
enum class Fault {
    Silent,     // answer no command
    StatusCode, // answer every command with one status
    Refuse,     // answer one command (cmd and ver) with a status
    Split,      // write each reply in two pieces
    Delay,      // answer later
    CardError,  // report an error for the next card operation
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
    bool loaderFresh() const { return m_mode == Mode::Loader && loaderStartedAfresh(); }
    // The loader counts its idle time down (after it last received bytes).
    bool loaderIdling() const { return m_loaderIdle.isActive(); }
    // Bytes the loader holds that do not make a whole block yet.
    int loaderPendingBytes() const { return m_mode == Mode::Loader ? int(m_pending.size()) : 0; }

    // Faults. `value` is the status of StatusCode and CardError and the
    // milliseconds of Delay; Silent and Split take none. Refuse is set by
    // refuse(). A card error shows once.
    void injectFault(Fault fault, int value = 0);
    // Fault::Refuse: command `cmd` of version `ver` is answered with status `code`.
    void refuse(quint8 cmd, quint8 ver, int code = kErrBadCommand);
    void clearFault(Fault fault);
    // Every fault of the reader (its loader's: clearLoaderFaults()).
    void clearFaults();
    bool hasFault(Fault fault) const;

    // Identification: the serial number (item FD), the reader's kind (02
    // USB, 04 BLE) after its hardware byte (item FF), and item FE.
    const QByteArray &serial() const { return m_serial; }
    void setSerial(const QByteArray &serial) { m_serial = serial; }
    int readerType() const { return m_readerType; }
    void setReaderType(int type) { m_readerType = type; }
    quint8 hardware() const { return m_hardware; }
    void setHardware(quint8 hardware) { m_hardware = hardware; }
    const QByteArray &identityTail() const { return m_identityTail; }
    void setIdentityTail(const QByteArray &tail) { m_identityTail = tail; }
    // The items of the answer to "0A01": firmware and loader versions.
    const QByteArray &firmwareItems() const { return m_firmwareItems; }
    void setFirmwareItems(const QByteArray &items) { m_firmwareItems = items; }

    // The configuration the reader holds: its items as they were written.
    const QByteArray &configItems() const { return m_configItems; }
    void setConfigItems(const QByteArray &items) { m_configItems = items; }
    static QByteArray defaultConfigItems();
    // What the reader reports with its configuration: the object-code
    // checksum (item 0E) and the block-key checksum (item 0F), each not
    // reported while empty, and Em-Marine offered (item 14).
    void setObjectCodeChecksum(const QByteArray &sum) { m_objectCodeChecksum = sum; }
    void setBlockKeyChecksum(const QByteArray &sum) { m_blockKeyChecksum = sum; }
    void setEmMarine(bool offered) { m_emMarine = offered; }

    Mode mode() const { return m_mode; }
    void setMode(Mode mode) { m_mode = mode; }

    // The payload (cmd, ver, items) of every frame received, in order.
    const QList<QByteArray> &commandsReceived() const { return m_commandsReceived; }
    void clearCommandsReceived() { m_commandsReceived.clear(); }

Q_SIGNALS:
    void output(const QByteArray &bytes);
    void note(const QString &text); // what the reader did, for the prompt
    // The reader restarts into its loader: its port goes away and comes back.
    void switchedToLoader();
    // The loader has finished: the reader restarts into its firmware.
    void leftLoader();

private:
    static constexpr int kErrBadCommand = 0x0F;

    void handleFrame(const QByteArray &payload);
    void loaderBlock(const QByteArray &block);
    void reply(quint8 cmd, quint8 ver, const QByteArray &body = QByteArray());
    void emitFrame(const QByteArray &payload);
    void emitBytes(const QByteArray &bytes);
    void writeNow(const QByteArray &bytes);
    void cardStatus(int code);
    // What a card presented did: the reader reports it.
    void tell(const CardOutcome &outcome);
    QByteArray readConfigReply() const;

    // The faults: on, or a status (-1: none), or milliseconds.
    bool m_silent = false;
    int m_statusCode = -1;
    QByteArray m_refused;   // cmd and ver answered with m_refuseCode; empty: none
    int m_refuseCode = kErrBadCommand;
    bool m_split = false;
    int m_delayMs = 0;
    int m_cardError = -1;

    QByteArray m_serial = QByteArray::fromHex("0A1B2C3D");
    int m_readerType = kReaderKindUsb;
    quint8 m_hardware = 0xA1;
    QByteArray m_identityTail = QByteArray::fromHex("0117");
    QByteArray m_firmwareItems = QByteArray::fromHex("1003010200" "120401000003");

    QByteArray m_configItems;
    QByteArray m_objectCodeChecksum;
    QByteArray m_blockKeyChecksum;
    bool m_emMarine = true;
    Mode m_mode = Mode::Reading;
    QList<QByteArray> m_commandsReceived;

    // The loader's idle time runs in two halves; the second counts only
    // the time this program could run (a loaded machine that held it, and
    // the tool beside it, from running is not the tool falling silent).
    void armLoaderIdle();
    void loaderIdleHalf();

    QByteArray m_pending;
    QTimer m_loaderIdle;
    bool m_idleSecondHalf = false;
    QElapsedTimer m_idleClock;
    qint64 m_idleWaitedNs = 0;
};

// Parses a kind word of the prompt (uid, phone, mir, nonunique, random).
bool parseKind(const QString &word, IdKind *kind);

} // namespace limra::sim
