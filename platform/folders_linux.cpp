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
} // namespace

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString fileDialogFolder()
{
    const QString last = lastFolder();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return documentsFolder();
}

void rememberFileDialogChoice(const QString &chosenFile)
{
    if (!chosenFile.isEmpty())
        lastFolder() = QFileInfo(chosenFile).absolutePath();
}

} // namespace limra
