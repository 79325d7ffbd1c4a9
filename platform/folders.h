#pragma once
// Where the file dialogs for the user's own files (configuration files,
// zone-name files) start.
#include <QString>

namespace limra {

// The user's documents folder (XDG_DOCUMENTS_DIR, ~/Documents or its
// translation), or the home folder where there is none.
QString documentsFolder();

// The per-user folder for what the tool remembers of its own use, apart from
// its settings (where its window was): $XDG_STATE_HOME/limra-rfid, or
// ~/.local/state/limra-rfid. Not created here.
QString userStateFolder();

// The folder last used in one of these dialogs while it still exists, else
// the documents folder.
QString fileDialogFolder();
// Remembers the folder of a file saved or opened there through one of these
// dialogs (for as long as the tool runs): called once the file was written or
// read, never for a failure. A folder of the system's own (under /proc, /sys
// or /dev, where a file dialog can hang reading a file that never ends) is
// never remembered.
void rememberFileDialogChoice(const QString &chosenFile);

} // namespace limra
