#pragma once
// The debug terminal's core: every frame sent and every chunk received,
// rendered as hex digits and/or characters, one time-stamped line each; and
// the free command the technician sends.
#include <QObject>
#include <QString>

#include "link/operation.h"
#include "link/readerlink.h"

namespace limra {

// How bytes are rendered: hex digits, characters, both or neither.
struct TrafficRendering {
    bool hex = true;
    bool ascii = false;
};

// The rendering of a hex text; a trailing single digit is ignored. Empty when
// both are off.
QString renderTraffic(const QString &hex, TrafficRendering rendering);
// "[" + time + "] " + direction + " " + rendered bytes.
QString trafficLine(const QString &time, QChar direction, const QString &rendered);

// The free command as typed, checked before anything is sent: hex digits
// (either case), two per byte, blanks anywhere ignored; at most
// kMaxPayload bytes, so that the frame's length byte holds it.
struct TypedCommand {
    QByteArray payload; // the bytes to send; empty when refused
    QString refusal;    // why nothing is sent, for the user; empty when accepted
    bool accepted() const { return refusal.isEmpty(); }
};
TypedCommand parseTypedCommand(const QString &typed);

// Every frame written and every piece read, as time-stamped lines.
class TrafficLog : public QObject {
    Q_OBJECT
public:
    explicit TrafficLog(ReaderLink &link, QObject *parent = nullptr);

    TrafficRendering rendering;

Q_SIGNALS:
    void lineAdded(const QString &line);

private:
    void traffic(char direction, const QByteArray &bytes);
};

// "Отправить": the technician's free command, framed. Done, or refused (or
// not answered) after which the reader goes back to card reading.
class DebugCommand : public ReaderOperation {
    Q_OBJECT
public:
    using Result = Outcome;

    using ReaderOperation::ReaderOperation;
    // The command's payload: cmd, ver and items, as typed.
    void start(const QByteArray &payload);
    // "Выполнено", or the error as a plain message.
    Report report() const override;

Q_SIGNALS:
    void finished(const limra::ReaderOperation::Outcome &result);

protected:
    void tellFinished() override { Q_EMIT finished(outcome()); }
};

// How the debug tab starts its command: a new run each time (nullptr when
// refused), which the runner owns.
class DebugRuns : public virtual OperationGate {
public:
    virtual DebugCommand *sendDebugCommand(const QByteArray &payload, const Watch<DebugCommand> &watch = {}) = 0;
};

} // namespace limra
