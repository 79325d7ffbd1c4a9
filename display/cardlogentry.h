#pragma once
// One read in the card log: when, the identifier's kind, the identifier as
// the reader sent it and as the display showed it, and the card's type.
#include <QDateTime>
#include <QString>

#include "display/cardid.h"
#include "link/protocol.h"

namespace limra {

struct CardLogEntry {
    CardLogEntry() = default;
    CardLogEntry(qint64 msecs, IdKind kind, QString shown, QStringView hex, QString cardType = QString());
    CardLogEntry(const QDateTime &time, IdKind kind, QString shown, QStringView hex, QString cardType = QString());

    QDateTime time() const { return QDateTime::fromMSecsSinceEpoch(msecs); }
    QString hex() const { return id.text(); }

    qint64 msecs = 0;     // since the epoch
    IdKind kind = IdKind::Uid;
    CardId id;            // as the reader sent it
    QString shown;        // as the display showed it
    QString cardType;     // from the card information that came with it, if any
};

} // namespace limra
