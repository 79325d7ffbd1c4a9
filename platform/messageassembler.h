#pragma once
// The reader writes every frame and identifier line at once, but the system
// may hand one message over in pieces. This decides whether the bytes held so
// far end inside a message whose rest is still to come.
#include <QByteArray>
#include <QList>

namespace limra {

// True for: a frame (first byte 0x23) shorter than its length byte says; a
// known identifier prefix with no byte below 0x30 after it; the start of a
// known prefix.
bool isIncompleteMessage(const QByteArray &held);

// Takes the complete messages from the front of `held`: whole frames (by
// their length byte) and identifier lines with their line end; bytes that
// are neither go out as one message. What is left is an incomplete message.
QList<QByteArray> splitMessages(QByteArray &held);

} // namespace limra
