#include "station/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

#include "platform/files.h"

namespace limra {

SettingsPlace settingsPlace(const QString &programFolder, bool folderWritable, bool runAsRoot)
{
    const bool installed = QDir::cleanPath(programFolder).split(QLatin1Char('/')).contains(QLatin1String("usr"));
    if (installed || runAsRoot || !folderWritable)
        return SettingsPlace::UserConfigFolder;
    return SettingsPlace::NextToProgram;
}

QString settingsFilePath()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (settingsPlace(folder, QFileInfo(folder).isWritable(), ::geteuid() == 0) == SettingsPlace::UserConfigFolder) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        (void)makePrivateFolder(folder);
    }
    return folder + QStringLiteral("/settings.ini");
}

} // namespace limra
