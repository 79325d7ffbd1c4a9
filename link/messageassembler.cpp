#include "link/messageassembler.h"

#include <algorithm>

#include "link/protocol.h"

namespace limra {

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

const QList<QByteArray> &prefixes()
{
    static const QList<QByteArray> list = [] {
        QList<QByteArray> out;
        for (const IdKindInfo &kind : idKinds())
            out << QByteArray(kind.prefix);
        return out;
    }();
    return list;
}

// Length of the identifier prefix at the front, 0 for none; -1 when the bytes
// are the start of a prefix whose rest may follow.
int prefixAt(const QByteArray &held)
{
    for (const QByteArray &prefix : prefixes()) {
        if (held.startsWith(prefix))
            return int(prefix.size());
        if (held.size() < prefix.size() && prefix.startsWith(held))
            return -1;
    }
    return 0;
}

// Bytes that are neither a frame nor a line (noise, a loader's raw answer)
// go out as they are, but not with the lines behind them: they end with their
// line end, or where an identifier prefix begins.
int junkLength(const QByteArray &held)
{
    qsizetype end = held.size();
    for (const QByteArray &prefix : prefixes()) {
        const qsizetype at = held.indexOf(prefix, 1);
        if (at > 0)
            end = std::min(end, at);
    }
    for (qsizetype i = 0; i < end; ++i) {
        if (!isLineEnd(held.at(i)))
            continue;
        while (i < end && isLineEnd(held.at(i)))
            ++i;
        return int(i);
    }
    return int(end);
}

} // namespace

int MessageAssembler::completeLength() const
{
    if (m_held.at(0) == kFrameStart) {
        if (m_held.size() < 2)
            return 0;
        const int length = quint8(m_held.at(1));
        if (length < kMinFrameLength)
            return int(m_held.size()); // not a frame: out as it is
        return m_held.size() >= length ? length : 0;
    }
    const int prefix = prefixAt(m_held);
    if (prefix < 0)
        return 0;
    if (prefix == 0)
        return junkLength(m_held); // neither a frame nor a line
    int i = prefix;
    while (i < m_held.size() && quint8(m_held.at(i)) >= kFirstIdentifierByte)
        ++i;
    if (i == m_held.size())
        return 0; // the line end is still to come
    while (i < m_held.size() && isLineEnd(m_held.at(i)))
        ++i;
    return i;
}

QList<QByteArray> MessageAssembler::take(const QByteArray &bytes)
{
    m_held += bytes;
    QList<QByteArray> out;
    // A line end split from its line comes alone at the front: it belongs to
    // the line already handed on.
    if (m_afterLine) {
        int skip = 0;
        while (skip < m_held.size() && isLineEnd(m_held.at(skip)))
            ++skip;
        m_held.remove(0, skip);
        if (!m_held.isEmpty())
            m_afterLine = false;
    }
    while (!m_held.isEmpty()) {
        const int length = completeLength();
        if (length == 0) {
            if (m_held.size() > kMaxHeld)
                out << flush();
            break;
        }
        const bool line = m_held.at(0) != kFrameStart && prefixAt(m_held) > 0;
        out << m_held.left(length);
        m_held.remove(0, length);
        m_afterLine = line;
    }
    return out;
}

QByteArray MessageAssembler::flush()
{
    QByteArray out;
    out.swap(m_held);
    m_afterLine = false;
    return out;
}

void MessageAssembler::clear()
{
    m_held.clear();
    m_afterLine = false;
}

} // namespace limra
