#include "link/messageassembler.h"

#include <array>

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

// Whether a byte begins any identifier prefix: most bytes do not, and are
// not compared with every prefix.
bool beginsPrefix(char c)
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (const QByteArray &prefix : prefixes())
            t[quint8(prefix.front())] = true;
        return t;
    }();
    return table[quint8(c)];
}

// Length of the identifier prefix at the front, 0 for none; -1 when the bytes
// are the start of a prefix whose rest may follow.
int prefixAt(QByteArrayView held)
{
    if (held.isEmpty() || !beginsPrefix(held.front()))
        return 0;
    for (const QByteArray &prefix : prefixes()) {
        if (held.startsWith(prefix))
            return int(prefix.size());
        if (held.size() < prefix.size() && QByteArrayView(prefix).startsWith(held))
            return -1;
    }
    return 0;
}

// Whether a whole identifier prefix begins at `at`.
bool wholePrefixAt(QByteArrayView held, qsizetype at)
{
    if (!beginsPrefix(held[at]))
        return false;
    const QByteArrayView rest = held.sliced(at);
    for (const QByteArray &prefix : prefixes())
        if (rest.startsWith(prefix))
            return true;
    return false;
}

// Bytes that are neither a frame nor a line (noise, a loader's raw answer)
// go out as they are, but not with the lines behind them: they end with their
// line end, or where an identifier prefix begins.
int junkLength(QByteArrayView held)
{
    for (qsizetype i = 0; i < held.size(); ++i) {
        if (i > 0 && wholePrefixAt(held, i))
            return int(i);
        if (!isLineEnd(held[i]))
            continue;
        while (i < held.size() && isLineEnd(held[i]))
            ++i;
        return int(i);
    }
    return int(held.size());
}

// Length of the complete message at the front of the bytes, 0 when it is
// unfinished.
int completeLength(QByteArrayView held)
{
    if (held.front() == kFrameStart) {
        if (held.size() < 2)
            return 0;
        const int length = quint8(held[1]);
        if (length < kMinFrameLength)
            return int(held.size()); // not a frame: out as it is
        return held.size() >= length ? length : 0;
    }
    const int prefix = prefixAt(held);
    if (prefix < 0)
        return 0;
    if (prefix == 0)
        return junkLength(held); // neither a frame nor a line
    qsizetype i = prefix;
    while (i < held.size() && quint8(held[i]) >= kFirstIdentifierByte)
        ++i;
    if (i == held.size())
        return 0; // the line end is still to come
    while (i < held.size() && isLineEnd(held[i]))
        ++i;
    return int(i);
}

// Whether the message at the front is an identifier line.
bool isLine(QByteArrayView message)
{
    return message.front() != kFrameStart && prefixAt(message) > 0;
}

} // namespace

bool MessageAssembler::takeWhole(QByteArrayView bytes)
{
    if (holding() || bytes.isEmpty() || (m_afterLine && isLineEnd(bytes.front())))
        return false;
    if (completeLength(bytes) != bytes.size())
        return false;
    m_afterLine = isLine(bytes);
    return true;
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
        const int length = completeLength(m_held);
        if (length == 0) {
            if (m_held.size() > kMaxHeld)
                out << flush();
            break;
        }
        const bool line = isLine(m_held);
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
