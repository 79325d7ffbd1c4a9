#pragma once
// Where the settings file lives, and the folder the tool keeps its files in.
#include <QString>

namespace limra {

// "settings.ini" next to the program file when that folder is writable,
// otherwise in the per-user configuration folder.
QString settingsFilePath();
// The folder that holds the settings file (zone-name files live there too).
QString programFolder();

inline const QString kSettingsSection = QStringLiteral("usbreader");

} // namespace limra
