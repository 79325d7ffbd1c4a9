#pragma once
#include <QByteArray>
#include <QString>

namespace limra {

// Replaces the file's content through a temporary file and a rename, so that
// a failed write (a full disk, say) leaves the earlier file as it was.
// False with the system's reason in `error` on failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace limra
