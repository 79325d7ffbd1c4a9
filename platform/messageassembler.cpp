#include "platform/messageassembler.h"

#include "link/constants.h"

namespace limra {

static const char *const kPrefixes[] = {"PhoneID: ", "Random UID: ", "Nonunic UID: ", "MIR: ", "UID: "};

bool isIncompleteMessage(const QByteArray &held)
{
    if (held.isEmpty())
        return false;
    if (held.at(0) == kFrameStart)
        return held.size() < 2 || held.size() < quint8(held.at(1));
    for (const char *prefix : kPrefixes) {
        const QByteArray p(prefix);
        const int at = held.lastIndexOf(p);
        if (at >= 0) {
            for (int i = at + p.size(); i < held.size(); ++i)
                if (quint8(held.at(i)) < 0x30) return false;
            return true;
        }
        if (held.size() < p.size() && p.startsWith(held))
            return true;
    }
    return false;
}

} // namespace limra
