#pragma once
// Zone-name files (.znm): one name per line, zone 1 first, Windows-1251
// text with CR LF line ends.
#include <QString>
#include <QStringList>

namespace limra {

inline const QString kStandardNames = QStringLiteral("стандартные имена");

// "Зона прохода " + n.
QString standardZoneName(int zone);
// The .znm files of a folder (regular files), in name order.
QStringList zoneNameFiles(const QString &folder);
// The names a zone-name file's bytes give: up to 64, trimmed.
QStringList zoneNamesFromBytes(const QByteArray &bytes);
// Up to 64 names, trimmed. False with the system's reason on failure.
bool readZoneNames(const QString &path, QStringList *names, QString *error);
// Writes the 64 names through a temporary file; the earlier file survives a
// failure. A name without a Windows-1251 form is refused, naming its zone.
bool writeZoneNames(const QString &path, const QStringList &names, QString *error);

} // namespace limra
