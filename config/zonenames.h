#pragma once
// Zone-name files (.znm): one name per line, zone 1 first, Windows-1251
// text with CR LF line ends.
#include <QString>
#include <QStringList>

#include "common/expected.h"

namespace limra {

// Why zone names could not be read or written.
struct ZoneNamesError {
    enum class Kind {
        CannotRead,
        TooLarge,     // far larger than 64 names
        Unencodable,  // a name without a Windows-1251 form
        CannotWrite,
    };
    Kind kind = Kind::CannotRead;
    QString text; // what the user is told after the file's name
};

inline const QString kStandardNames = QStringLiteral("стандартные имена");

// "Зона прохода " + n.
QString standardZoneName(int zone);
// The .znm files of a folder (regular files), in name order.
QStringList zoneNameFiles(const QString &folder);
// The names a zone-name file's bytes give: up to 64, trimmed.
QStringList zoneNamesFromBytes(const QByteArray &bytes);
// Up to 64 names, trimmed.
Expected<QStringList, ZoneNamesError> readZoneNames(const QString &path);
// Writes the 64 names through a temporary file; the earlier file survives a
// failure. A name without a Windows-1251 form is refused, naming its zone.
Expected<void, ZoneNamesError> writeZoneNames(const QString &path, const QStringList &names);

} // namespace limra
