#pragma once
// Virtual readers: a simulated reader registers itself as a symbolic link to
// its pseudo-terminal in a per-user folder; discovery treats every link there
// as a reader port, after the USB ones.
#include <QString>
#include <QStringList>

namespace limra {

// $XDG_RUNTIME_DIR/limra-rfid/readers, or /tmp/limra-rfid-<uid>/readers.
QString virtualReadersDir();
// Creates the folder (mode 0700 for the parts this program makes); true when it exists.
bool ensureVirtualReadersDir();
// Full paths of the links in the folder, in name order.
QStringList virtualReaderPorts();

} // namespace limra
