#include "link/frame.h"

#include "link/protocol.h"

namespace limra {

std::optional<QByteArray> Reply::item(quint8 tag) const
{
    const std::optional<QByteArrayView> value = findItem(body, tag);
    if (!value)
        return std::nullopt;
    return value->toByteArray();
}

QByteArray payload(quint8 cmd, quint8 ver, QByteArrayView items)
{
    QByteArray out;
    out.reserve(2 + items.size());
    out.append(char(cmd)).append(char(ver)).append(items);
    return out;
}

QByteArray frameOf(QByteArrayView payload)
{
    if (payload.size() > kMaxPayload)
        return QByteArray();
    QByteArray out;
    out.reserve(payload.size() + kFrameOverhead);
    out.append(kFrameStart).append(char(payload.size() + kFrameOverhead)).append(payload).append(kFrameEnd);
    return out;
}

std::optional<QByteArrayView> findItem(QByteArrayView items, quint8 tag)
{
    // Read as the reader's packets are read: a tag byte (0 starts nothing),
    // a length byte (0 is read again as the length), then the value.
    quint8 current = 0;
    int length = 0;
    int start = 0;
    for (int p = 0; p < items.size(); ++p) {
        const quint8 b = quint8(items[p]);
        if (current == 0) {
            current = b;
            length = 0;
        } else if (length == 0) {
            length = b;
            start = p + 1;
        } else if (p + 1 - start == length) {
            if (current == tag)
                return items.sliced(start, length);
            current = 0;
            length = 0;
        }
    }
    return std::nullopt;
}

bool isWholeFrame(QByteArrayView bytes)
{
    return bytes.size() >= kMinFrameLength && bytes.front() == kFrameStart && bytes.back() == kFrameEnd
           && quint8(bytes[1]) == bytes.size();
}

Reply replyOf(QByteArrayView frame)
{
    Reply reply;
    reply.cmd = quint8(frame[2]);
    reply.ver = quint8(frame[3]);
    reply.body = frame.sliced(4, frame.size() - kMinFrameLength).toByteArray();
    return reply;
}

} // namespace limra
