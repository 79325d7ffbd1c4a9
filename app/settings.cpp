#include "app/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace limra {

QString programFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeDir).isWritable())
        return exeDir;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(user);
    return user;
}

QString settingsFilePath()
{
    return programFolder() + QStringLiteral("/settings.ini");
}

} // namespace limra
