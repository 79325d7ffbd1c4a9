#pragma once
// The debug terminal's core: every frame sent and every chunk received,
// rendered as hex digits and/or characters, one time-stamped line each; and
// the free command the technician sends.
#include <QObject>
#include <QString>

#include "link/operation.h"

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
// kMaxDebugCommandBytes bytes, so that the frame's length byte holds it.
struct DebugCommand {
    QString payload;  // upper-case hex digits, blanks removed; empty when refused
    QString refusal;  // why nothing is sent, for the user; empty when accepted
    bool accepted() const { return refusal.isEmpty(); }
};
constexpr int kMaxDebugCommandBytes = 255 - 3;
DebugCommand parseDebugCommand(const QString &typed);

class TrafficLog : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    TrafficLog(ReaderLink &link, UserDialogs &dialogs, QObject *parent = nullptr);

    TrafficRendering rendering;

    // "Отправить": the command framed; "Выполнено", or "0501" and the error.
    // The text is sent in upper case, so that the reply's cmd matches.
    void sendCommand(const QString &payload);

Q_SIGNALS:
    void lineAdded(const QString &line);

private:
    void traffic(QChar direction, const QString &hex);
};

} // namespace limra
