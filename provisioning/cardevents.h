#pragma once
// The card-operation status the card-wait dialogs watch.
#include "link/hextext.h"
#include "link/readerlink.h"

namespace limra::cardevents {

inline bool waiting(const Answer &a)
{
    return a.cmd == 0 && a.ver == 1;
}

inline bool success(const Answer &a)
{
    return waiting(a) && a.body == QLatin1String("0D0100");
}

inline bool failure(const Answer &a)
{
    return waiting(a) && a.body.size() == 6 && a.body.startsWith(QLatin1String("0D01")) && a.body.right(2) != QLatin1String("00");
}

inline int code(const Answer &a)
{
    return int(hextoint(a.body.right(2)) & 0xFF);
}

// Marks the event as seen.
inline void consume(Answer &a)
{
    a.cmd = 255;
    a.body.clear();
}

} // namespace limra::cardevents
