#pragma once
// Frames and TLV items as bytes: what goes to the reader is built here, and
// what comes back is taken apart here, in place where it can be.
//
// Frame: 23, length (payload + 3), payload, 24. Payload: cmd, ver, items.
// Item: tag, length, value.
#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace limra {

// The payload of a frame: its command, its version and its items.
struct Reply {
    quint8 cmd = 0;
    quint8 ver = 0;
    QByteArray body;

    // The value of the first complete item with the tag in the body.
    std::optional<QByteArray> item(quint8 tag) const;
};

// A command's payload: cmd, ver and its items.
QByteArray payload(quint8 cmd, quint8 ver, QByteArrayView items = {});
// The frame around a payload. A payload of more than 252 bytes does not fit
// the length byte: the result is empty.
QByteArray frameOf(QByteArrayView payload);
// The largest payload a frame carries.
constexpr int kMaxPayload = 252;

// The value of the first complete item with the tag among `items` (a tag of
// 0 is never found; an item cut short at the end does not count).
std::optional<QByteArrayView> findItem(QByteArrayView items, quint8 tag);

// A whole frame as the reader sends it: 23, a length byte equal to the
// number of bytes, at least cmd and ver, 24.
bool isWholeFrame(QByteArrayView bytes);
// The payload of a whole frame.
Reply replyOf(QByteArrayView frame);

} // namespace limra
