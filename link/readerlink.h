#pragma once
// The reader link: the command exchange (SendToComPort) and the receive
// dispatcher (ComPort1RxChar), with the program-wide reply slot, raw flag and
// card-operation status that tie them to their users.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/serialport.h"

namespace limra {

// The last card-operation status frame.
struct Answer {
    quint8 cmd = 0;
    quint8 ver = 0;
    QString body;
};

enum class IdKind { Uid, PhoneId, Mir, NonuniqueUid, RandomUid };

struct IdKindInfo {
    IdKind kind;
    const char *prefix; // ASCII prefix of the identifier line
    const char *label;  // kind label of the card display
    quint32 colour;     // background of the identifier, 0xRRGGBB
};
// In the order the prefixes are searched ("UID: " last).
const std::vector<IdKindInfo> &idKinds();
const IdKindInfo &idKindInfo(IdKind kind);
// Kinds in the order of the display's kind labels.
const std::vector<IdKind> &idKindLabelOrder();

// Texts of the three card-information labels (empty: nothing shown).
struct CardInfo {
    QString type;
    QString security;
    QString memory;
};
// Decodes the 16 value digits of card-information item 13.
CardInfo decodeCardInfo(const QString &value);

// What the dispatcher hands on. Every method has a do-nothing default.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    virtual void identifierRead(const QString &id, IdKind kind) { Q_UNUSED(id) Q_UNUSED(kind) }
    virtual void cardInfoRead(const CardInfo &info) { Q_UNUSED(info) }
    // True while a dialog waits for a master card's configuration report.
    virtual bool masterConfigWaiting() const { return false; }
    virtual void masterConfigRead(const QString &items) { Q_UNUSED(items) }
};

class ReaderLink : public QObject {
    Q_OBJECT
public:
    explicit ReaderLink(QObject *parent = nullptr);
    ~ReaderLink() override;

    // Sends a command and waits for its reply while events keep flowing.
    // Framed (bl false): the reply body, "ER" + status, or "ER00" on time-out.
    // Raw (bl true): the first chunk received, or empty text.
    QString SendToComPort(const QString &text, int timeout, bool bl = false);

    // Handles one received chunk (the port's bytes-received event).
    void dispatch(const QByteArray &chunk);

    // The port of the current connection attempt or connection.
    void setPort(std::unique_ptr<SerialPort> port);
    SerialPort *port() const { return comport.get(); }
    void closePort();

    void addSink(ReceiveSink *sink);
    void removeSink(ReceiveSink *sink);

    // Program-wide link state.
    QString replyslot;
    bool rawmode = false;
    Answer statusanswer;
    QString connectedport; // the reader's port; empty when not connected

    // Logging of traffic (the debug terminal turns it on).
    bool trafficLogging = false;

Q_SIGNALS:
    void replyStored();
    // Sent (">") or received ("<") bytes as hex text, when trafficLogging.
    void traffic(QChar direction, const QString &hex);
    // Line errors of the connected reader's port, one message each.
    void lineErrors(const QStringList &messages);
    // The port failed and has been closed (device gone or I/O error).
    void portFailed(const QString &portName);

private:
    void ComPort1RxChar();
    void ComPort1Error(LineErrors errors);
    void waitForReply(qint64 ms);

    std::unique_ptr<SerialPort> comport;
    std::vector<ReceiveSink *> sinks;
};

} // namespace limra
