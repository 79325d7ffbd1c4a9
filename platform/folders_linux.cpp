#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace limra {

namespace {
QString &lastFolder()
{
    static QString folder;
    return folder;
}

// Under /proc, /sys or /dev, also through a link.
bool systemFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    for (const QString &path : {QDir::cleanPath(folder), canonical})
        for (const char *root : {"/proc", "/sys", "/dev"})
            if (!path.isEmpty()
                && (path == QLatin1String(root) || path.startsWith(QLatin1String(root) + QLatin1Char('/'))))
                return true;
    return false;
}
} // namespace

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString userStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/limra-rfid");
}

QString fileDialogFolder()
{
    const QString last = lastFolder();
    if (!last.isEmpty() && QFileInfo(last).isDir() && !systemFolder(last))
        return last;
    return documentsFolder();
}

void rememberFileDialogChoice(const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (!systemFolder(folder))
        lastFolder() = folder;
}

} // namespace limra
