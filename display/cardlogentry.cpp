#include "display/cardlogentry.h"

namespace limra {

CardLogEntry::CardLogEntry(qint64 since, IdKind of, QString shownText, QStringView hex, QString type)
    : msecs(since), kind(of), id(hex), shown(std::move(shownText)), cardType(std::move(type))
{
}

CardLogEntry::CardLogEntry(const QDateTime &time, IdKind of, QString shownText, QStringView hex, QString type)
    : CardLogEntry(time.toMSecsSinceEpoch(), of, std::move(shownText), hex, std::move(type))
{
}

} // namespace limra
