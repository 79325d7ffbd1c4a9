#pragma once
// The card-operation status the reader reports while it works on cards
// (status frames 23 08 00 01 0D 01 code 24), as the card waits see it.
#include <QString>

#include "link/hextext.h"

namespace limra {

class CardEvents {
public:
    // The receive side: a status frame's item "0D01" + code arrived.
    void statusArrived(const QString &statusItem)
    {
        m_cmd = 0;
        m_ver = 1;
        m_body = statusItem;
    }
    // A card identifier was shown: a waiting status is dropped.
    void drop() { m_cmd = kNothingWaiting; }

    // A status waits to be examined.
    bool waiting() const { return m_cmd == 0 && m_ver == 1; }
    // The card operation succeeded.
    bool success() const { return waiting() && m_body == QLatin1String("0D0100"); }
    // The card operation failed; code() tells why.
    bool failure() const
    {
        return waiting() && m_body.size() == 6 && m_body.startsWith(QLatin1String("0D01"))
               && !m_body.endsWith(QLatin1String("00"));
    }
    int code() const { return int(hexToInt(m_body.right(2)) & 0xFF); }
    // Marks the status as seen; also the reset before every wait.
    void consume()
    {
        m_cmd = kNothingWaiting;
        m_body.clear();
    }

private:
    static constexpr quint8 kNothingWaiting = 255;
    quint8 m_cmd = 0;
    quint8 m_ver = 0;
    QString m_body;
};

// How a card wait ended: Yes (the awaited operation succeeded, or the user
// finished), No (its time ran out), Cancel (closed any other way).
enum class WaitResult { Cancel, Yes, No };

} // namespace limra
