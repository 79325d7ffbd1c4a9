#pragma once
// Where the file dialogs for the user's own files (configuration files,
// zone-name files) start.
#include <QString>

namespace limra {

// The user's documents folder (XDG_DOCUMENTS_DIR, ~/Documents or its
// translation), or the home folder where there is none.
QString documentsFolder();

// The folder last used in one of these dialogs while it still exists, else
// the documents folder.
QString fileDialogFolder();
// Remembers the folder of a file the user chose in one of these dialogs (for
// as long as the tool runs).
void rememberFileDialogChoice(const QString &chosenFile);

} // namespace limra
