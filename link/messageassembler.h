#pragma once
// The reader writes every frame and identifier line at once, but the system
// may hand them over in pieces, or several in one piece. The assembler cuts
// what arrives into whole messages: frames by their length byte, identifier
// lines with their line end. Bytes that are neither (a loader's raw answer)
// go out as they came. Only an unfinished message at the end is held.
#include <QByteArray>
#include <QList>

namespace limra {

class MessageAssembler {
public:
    // A message held longer than this is not waiting for its rest: it goes out.
    // Nothing the reader sends is longer; more held bytes go out at once.
    static constexpr int kMaxHeld = 512;

    // Adds received bytes; returns the messages now complete, in order.
    QList<QByteArray> take(const QByteArray &bytes);
    // True while an unfinished message is held.
    bool holding() const { return !m_held.isEmpty(); }
    // The held bytes as they are, when their rest did not come in time.
    QByteArray flush();
    void clear();

private:
    // Length of the complete message at the front of the held bytes, 0 when
    // it is unfinished.
    int completeLength() const;

    QByteArray m_held;
    bool m_afterLine = false; // the last message was a line: its CR LF may trail
};

} // namespace limra
