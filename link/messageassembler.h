#pragma once
// The reader writes every frame and identifier line at once, but the system
// may hand them over in pieces, or several in one piece. The assembler cuts
// what arrives into whole messages: frames by their length byte, identifier
// lines with their line end. Bytes that are neither (a loader's raw answer)
// go out as they came. Only an unfinished message at the end is held.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace limra {

class MessageAssembler {
public:
    // A message held longer than this is not waiting for its rest: it goes out.
    // Nothing the reader sends is longer; more held bytes go out at once.
    static constexpr int kMaxHeld = 512;

    // Adds received bytes; returns the messages now complete, in order.
    QList<QByteArray> take(const QByteArray &bytes);
    // When nothing is held and the bytes are one whole message as they are
    // (mostly so), takes them as take() would and returns true: the caller
    // handles them as that message. Otherwise takes nothing.
    bool takeWhole(QByteArrayView bytes);
    // True while an unfinished message is held.
    bool holding() const { return !m_held.isEmpty(); }
    // The held bytes as they are, when their rest did not come in time.
    QByteArray flush();
    void clear();

private:
    QByteArray m_held;
    bool m_afterLine = false; // the last message was a line: its CR LF may trail
};

} // namespace limra
