#pragma once
// Virtual readers: a simulated reader registers itself as a symbolic link to
// its pseudo-terminal in a per-user folder; discovery treats every link there
// as a reader port, after the USB ones.
#include <QString>
#include <QStringList>

namespace limra {

// $XDG_RUNTIME_DIR/limra-rfid/readers, or /tmp/limra-rfid-<uid>/readers.
QString virtualReadersDir();
// Creates the missing parts of the folder (mode 0700); true when the folder
// exists and is trusted.
bool ensureVirtualReadersDir();
// The folder and its parent are the user's own and nobody else may write
// into them; an untrusted folder is ignored.
bool virtualReadersDirTrusted();
// Full paths of the links in a trusted folder that lead to terminals, in name order.
QStringList virtualReaderPorts();

} // namespace limra
