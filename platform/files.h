#pragma once
// Files the tool reads and writes whole, with the system's reasons in Russian.
#include <QByteArray>
#include <QString>

namespace limra {

// Replaces the file's content through a temporary file and a rename, so that
// a failed write (a full disk, say) leaves the earlier file as it was. The new
// file keeps the earlier one's permissions, except that its owner may always
// read and write it. A temporary file an interrupted save left beside the
// file is removed. Where the folder does not allow the temporary file but the
// file itself may be written, the file is rewritten in place, only when it is
// a regular file of this user with no other name (never through a symbolic
// link), and without cutting the earlier content before the new bytes are on
// disk. A character device or a FIFO (also behind a symbolic link, as
// /dev/stdout) is written through as it is; a symbolic link to a file, a
// folder or anything else is refused, never replaced. False with the reason
// in `error`.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

enum class FileReadProblem { None, NotAFile, TooLarge, Failed };
// Reads a regular file of at most `maxBytes` whole; a FIFO, a device or a
// larger file is refused before anything is read.
FileReadProblem readSmallFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error = nullptr);

// Reads standard input to its end, at most `maxBytes` (a file given as "-").
FileReadProblem readStandardInput(qint64 maxBytes, QByteArray *bytes, QString *error = nullptr);

// The per-user folder the tool keeps its own data in (kept configurations,
// the card log); created when missing.
QString userDataFolder();

// The reason of a system error number, in Russian.
QString systemErrorText(int errorNumber);

} // namespace limra
