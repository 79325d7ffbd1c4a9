#pragma once
// The permission bits of a file or folder, not following a link; -1 when
// there is nothing at the path.
#include <QFile>
#include <QString>
#include <sys/stat.h>

namespace limra::testing {

inline int fileMode(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace limra::testing
