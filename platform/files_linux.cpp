#include "platform/files.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace limra {

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Writes everything, syncs and closes the file: 0, or the error number.
int writeSyncClose(int fd, const QByteArray &bytes)
{
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    return ::close(fd) == 0 ? 0 : errno;
}

bool fail(QString *error, int errorNumber)
{
    if (error)
        *error = systemErrorText(errorNumber);
    return false;
}

// Writes through a temporary file beside the target and a rename.
bool writeThroughTemporary(const QByteArray &target, const QByteArray &bytes, QString *error, int *openErrno)
{
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *openErrno = errno;
        return fail(error, errno);
    }
    struct stat existing {};
    const mode_t mode = ::stat(target.constData(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
    ::fchmod(fd, mode);
    int e = writeSyncClose(fd, bytes);
    if (e == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(temporary.constData());
        return fail(error, e);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    int openErrno = 0;
    if (writeThroughTemporary(target, bytes, error, &openErrno))
        return true;
    // A writable file in a folder that does not allow new files: in place.
    if ((openErrno == EACCES || openErrno == EPERM || openErrno == EROFS) && ::access(target.constData(), W_OK) == 0) {
        const int fd = ::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return fail(error, errno);
        const int e = writeSyncClose(fd, bytes);
        return e == 0 || fail(error, e);
    }
    return false;
}

FileReadProblem readSmallFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        fail(error, errno);
        return FileReadProblem::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("это не обычный файл");
        return FileReadProblem::NotAFile;
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return FileReadProblem::TooLarge;
    }
    // Read at most one byte more than allowed: a file that grows meanwhile is refused too.
    QByteArray out(qsizetype(maxBytes + 1), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, size_t(out.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            fail(error, e);
            return FileReadProblem::Failed;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > maxBytes)
        return FileReadProblem::TooLarge;
    out.truncate(got);
    *bytes = out;
    return FileReadProblem::None;
}

QString userDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder;
}

QString systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM: return QStringLiteral("нет прав доступа");
    case ENOSPC: return QStringLiteral("на диске нет места");
    case EDQUOT: return QStringLiteral("превышена дисковая квота");
    case EROFS: return QStringLiteral("файловая система доступна только для чтения");
    case EISDIR: return QStringLiteral("это папка");
    case ENOTDIR: return QStringLiteral("часть пути не является папкой");
    case EFBIG: return QStringLiteral("файл слишком велик");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя файла");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    case EBUSY: return QStringLiteral("файл занят");
    case EMFILE:
    case ENFILE: return QStringLiteral("открыто слишком много файлов");
    case EXDEV: return QStringLiteral("нельзя переименовать файл между файловыми системами");
    default: return QStringLiteral("системная ошибка %1 (%2)").arg(errorNumber).arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

} // namespace limra
