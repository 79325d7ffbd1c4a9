#pragma once
// Files the tool reads and writes whole, with the system's reasons in Russian.
#include <QByteArray>
#include <QString>

#include "common/expected.h"

namespace limra {

// Why a file could not be read, written or made.
struct FileError {
    enum class Kind {
        Failed,   // the system could not do it: `reason` says why
        Refused,  // the path is not what may be read or written there (a folder,
                  // a device, a symbolic link, another user's file...): `reason` says what it is
        TooLarge, // a file read is larger than allowed: nothing read, no `reason`
    };
    Kind kind = Kind::Failed;
    QString reason; // what the user is told, in Russian
};

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
// folder or anything else is refused, never replaced.
//
// `access` Private: the file is the owner's only (0600) whatever the umask and
// whatever permissions an earlier file had.
enum class FileAccess {
    Ordinary, // a file the user saves where they choose
    Private,  // a file the tool keeps for itself: configurations with keys, the card log, its lists and settings
};
Expected<void, FileError> writeFileAtomically(const QString &path, const QByteArray &bytes,
                                              FileAccess access = FileAccess::Ordinary);

// Whether writeFileAtomically writes through `path` as it is: a character
// device or a FIFO, also behind symbolic links (/dev/stdout, /dev/null). No
// file is made there, so none is named to the user.
bool isWrittenThrough(const QString &path);

// The tool's own folders and the files it appends to. A folder is made with
// its missing parents, each new one the owner's only (0700); an existing one
// of this user is made so. A file is created when missing, the owner's only
// (0600), and an existing one of this user is made so; never through a
// symbolic link.
Expected<void, FileError> makePrivateFolder(const QString &path);
Expected<void, FileError> makePrivateFile(const QString &path);

// Removes from `folder` the temporary files that writes cut off (a killed
// program) left behind: this user's, older than `olderThanMs`, and no longer
// held by the program that wrote them. A write in flight is never touched.
void removeStaleTemporaries(const QString &folder, int olderThanMs);

// Reads a regular file of at most `maxBytes` whole; a FIFO, a device or a
// folder is refused (Refused), a larger file (TooLarge), before anything is read.
Expected<QByteArray, FileError> readSmallFile(const QString &path, qint64 maxBytes);

// Reads standard input to its end, at most `maxBytes` (a file given as "-").
Expected<QByteArray, FileError> readStandardInput(qint64 maxBytes);

// The per-user folder the tool keeps its own data in (kept configurations,
// the card log); created when missing.
QString userDataFolder();

// The reason of a system error number, in Russian.
QString systemErrorText(int errorNumber);

} // namespace limra
