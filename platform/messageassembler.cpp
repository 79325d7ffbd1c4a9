#include "platform/messageassembler.h"

#include "link/constants.h"
#include "link/readerlink.h"

namespace limra {

static int prefixAt(const QByteArray &held)
{
    for (const IdKindInfo &kind : idKinds())
        if (held.startsWith(kind.prefix))
            return int(qstrlen(kind.prefix));
    return 0;
}

QList<QByteArray> splitMessages(QByteArray &held)
{
    QList<QByteArray> out;
    while (!held.isEmpty() && !isIncompleteMessage(held)) {
        int end = held.size();
        if (held.at(0) == kFrameStart && held.size() >= 2 && quint8(held.at(1)) >= 5) {
            end = quint8(held.at(1));
        } else if (const int p = prefixAt(held)) {
            int i = p;
            while (i < held.size() && quint8(held.at(i)) >= 0x30)
                ++i;
            while (i < held.size() && quint8(held.at(i)) < 0x30 && held.at(i) != kFrameStart)
                ++i;
            end = i;
        }
        // Anything else (a loader's raw answer, for one) goes out whole.
        out << held.left(end);
        held.remove(0, end);
    }
    return out;
}

bool isIncompleteMessage(const QByteArray &held)
{
    if (held.isEmpty())
        return false;
    if (held.at(0) == kFrameStart)
        return held.size() < 2 || held.size() < quint8(held.at(1));
    for (const IdKindInfo &kind : idKinds()) {
        const QByteArray p(kind.prefix);
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
