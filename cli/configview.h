#pragma once
// A reader configuration as limra-cli shows it: the fields the editor shows
// for its read mode and reader kind, as readable text or as JSON. Keys are
// never shown, only whether the bank-card key is the default one.
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "config/editormodel.h"

namespace limra::cli {

// The editor holds the configuration; `items` are the items it came from,
// for the checksums the reader reports with them.
QStringList configText(const EditorModel &editor, const QString &items);
QJsonObject configJson(const EditorModel &editor, const QString &items);

// Saves the editor's configuration as the window saves a configuration file,
// making the file's folder when it is missing. False with what the user is
// told in `problem`.
bool saveConfiguration(EditorModel &editor, const QString &path, QString *problem);

// Zone numbers as ranges: "1-3, 7"; "none" for none.
QString zoneRanges(const std::array<bool, 64> &zones);

} // namespace limra::cli
