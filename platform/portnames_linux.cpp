#include "platform/portnames.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/files.h"

namespace limra {

QString portForNumber(int n)
{
    // The reader is a CDC-ACM device: number 1 is the first such port.
    return QStringLiteral("/dev/ttyACM%1").arg(n - 1);
}

QString portPathProblem(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return systemErrorText(errno);
    if (S_ISDIR(info.st_mode))
        return systemErrorText(EISDIR);
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("это не терминал");
    // A character device of another class than the terminals (/dev/null is
    // one of "mem"). Pseudo-terminals have no entry there: they may be one.
    const QString subsystem = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                            .arg(major(info.st_rdev))
                                            .arg(minor(info.st_rdev)))
                                  .symLinkTarget();
    if (!subsystem.isEmpty() && QFileInfo(subsystem).fileName() != QLatin1String("tty"))
        return QStringLiteral("это не терминал");
    return QString();
}

} // namespace limra
