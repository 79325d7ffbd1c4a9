#pragma once
// Where the settings file lives.
#include <QString>

namespace limra {

enum class SettingsPlace {
    NextToProgram,    // a copy run from a folder of its own (the portable use)
    UserConfigFolder, // $XDG_CONFIG_HOME/limra-rfid (~/.config/limra-rfid)
};

// An installed program (its file under a folder named "usr": /usr/bin,
// /usr/local/bin), a program run as root (for whom every folder is
// writable) and a program whose folder the user may not write into keep the
// settings in the user's configuration folder; any other copy keeps them next
// to itself.
SettingsPlace settingsPlace(const QString &programFolder, bool folderWritable, bool runAsRoot);

// "settings.ini" in the place above for the running program; its folder is
// created when missing.
QString settingsFilePath();

inline const QString kSettingsSection = QStringLiteral("usbreader");

} // namespace limra
