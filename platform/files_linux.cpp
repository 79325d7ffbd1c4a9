#include "platform/files.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/timings.h"

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

// The system's error number `errorNumber`, told as the reason.
Unexpected<FileError> failure(int errorNumber)
{
    return unexpected(FileError{FileError::Kind::Failed, systemErrorText(errorNumber)});
}

// The path is not what may be written or read there: `reason` says what it is.
Unexpected<FileError> refusal(const QString &reason)
{
    return unexpected(FileError{FileError::Kind::Refused, reason});
}

// Temporary files are named ".<name>.limra-<pid>-XXXXXX" beside the target,
// so that one left by an interrupted save is recognised at the next save, with
// the program that made it.
const QByteArray kTemporaryInfix = ".limra-";
constexpr int kTemporaryRandom = 6; // the XXXXXX of mkstemp
// A temporary this old whose program is gone was left by an interrupted save;
// a younger one, or one whose program runs, may be another save in flight.

QByteArray temporaryPrefix(const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    return target.left(slash + 1) + '.' + target.mid(slash + 1) + kTemporaryInfix;
}

// The program that made a temporary file named after `start`: its pid, 0 for
// a name without one (an earlier version's), -1 for a name that is no such file.
pid_t temporaryOwner(const QByteArray &name, const QByteArray &start)
{
    if (!name.startsWith(start))
        return -1;
    const QByteArray rest = name.mid(start.size());
    if (rest.size() == kTemporaryRandom)
        return 0;
    const qsizetype dash = rest.indexOf('-');
    if (dash <= 0 || rest.size() - dash - 1 != kTemporaryRandom)
        return -1;
    bool ok = false;
    const qint64 pid = rest.left(dash).toLongLong(&ok);
    return ok && pid > 0 ? pid_t(pid) : -1;
}

bool programRuns(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// Removes the temporary files an interrupted save of `target` left behind:
// regular files of this user, named as this code names them, older than a
// minute, whose program has ended.
void removeLeftoverTemporaries(const QByteArray &target)
{
    const QByteArray prefix = temporaryPrefix(target);
    const qsizetype slash = prefix.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : prefix.left(std::max<qsizetype>(slash, 1));
    const QByteArray start = prefix.mid(slash + 1);
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const pid_t owner = temporaryOwner(name, start);
        if (owner < 0 || (owner > 0 && programRuns(owner)))
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
            && now - info.st_mtime >= Timings().staleTemporary / 1000)
            ::unlink(path.constData());
    }
    ::closedir(dir);
}

constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateFolder = 0700;

// Why a write through a temporary file failed: the error number, and
// whether the temporary file could not be made at all.
struct TemporaryFailure {
    int errorNumber = 0;
    bool notMade = false;
};

// Writes through a temporary file beside the target and a rename.
Expected<void, TemporaryFailure> writeThroughTemporary(const QByteArray &target, const QByteArray &bytes,
                                                       FileAccess access)
{
    QByteArray temporary = temporaryPrefix(target) + QByteArray::number(qint64(::getpid())) + '-'
                           + QByteArray(kTemporaryRandom, 'X');
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return unexpected(TemporaryFailure{errno, true});
    // Held while it is written: a temporary file nobody holds was left by a
    // write that was cut off.
    ::flock(fd, LOCK_EX | LOCK_NB);
    // A private file is the owner's only; else the earlier file's
    // permissions, but never any that keep its owner from reading or writing
    // the new one.
    struct stat existing {};
    const mode_t mode = access == FileAccess::Private ? kPrivateFile
                        : ::stat(target.constData(), &existing) == 0 ? (existing.st_mode & 0777) | S_IRUSR | S_IWUSR
                                                                     : 0644;
    ::fchmod(fd, mode);
    int e = writeSyncClose(fd, bytes);
    if (e == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(temporary.constData());
        return unexpected(TemporaryFailure{e, false});
    }
    return {};
}

// Rewrites a file in place, for a folder that allows no new file. Only a
// regular file of this user with no other name; never through a symbolic
// link. The earlier content is not cut before the new bytes are on disk: the
// part beyond the earlier size is written first (a full disk stops there and
// the file is put back as it was), then the rest over the earlier bytes, then
// the file is cut to the new size.
Expected<void, FileError> writeInPlace(const QByteArray &target, const QByteArray &bytes, FileAccess access)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP)
            return refusal(QStringLiteral("это символическая ссылка"));
        return failure(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int e = errno;
        ::close(fd);
        return failure(e);
    }
    QString refused;
    if (!S_ISREG(info.st_mode))
        refused = QStringLiteral("это не обычный файл");
    else if (info.st_uid != ::geteuid())
        refused = QStringLiteral("файл принадлежит другому пользователю");
    else if (info.st_nlink != 1)
        refused = QStringLiteral("у файла есть другие имена (жёсткие ссылки)");
    if (!refused.isEmpty()) {
        ::close(fd);
        return refusal(refused);
    }
    if (access == FileAccess::Private && (info.st_mode & 0777) != kPrivateFile)
        ::fchmod(fd, kPrivateFile);
    auto writeAt = [fd](const char *p, qsizetype size, off_t offset) {
        while (size > 0) {
            const ssize_t n = ::pwrite(fd, p, size_t(size), offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            size -= n;
            offset += n;
        }
        return true;
    };
    const qsizetype oldSize = qsizetype(info.st_size);
    const qsizetype newSize = bytes.size();
    if (newSize > oldSize
        && (!writeAt(bytes.constData() + oldSize, newSize - oldSize, off_t(oldSize)) || ::fdatasync(fd) != 0)) {
        const int e = errno;
        (void)!::ftruncate(fd, off_t(oldSize));
        ::close(fd);
        return failure(e);
    }
    if (!writeAt(bytes.constData(), std::min(oldSize, newSize), 0) || ::fdatasync(fd) != 0
        || (newSize < oldSize && ::ftruncate(fd, off_t(newSize)) != 0) || ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return failure(e);
    }
    if (::close(fd) != 0)
        return failure(errno);
    return {};
}

// What a path the user named is, for writing a file's whole content to it.
enum class WriteTarget { File, WriteThrough };

// A missing path or a regular file is a file, replaced whole; a character
// device or a FIFO, also behind symbolic links (/dev/stdout, /dev/null), is
// written through as it is; a symbolic link to a file, a folder and anything
// else is refused: never replaced by a regular file.
Expected<WriteTarget, FileError> writeTargetOf(const QByteArray &target)
{
    struct stat link {};
    if (::lstat(target.constData(), &link) != 0)
        return WriteTarget::File; // missing, or a folder on the way that the write names
    struct stat info {};
    const bool leads = ::stat(target.constData(), &info) == 0;
    if (leads && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)))
        return WriteTarget::WriteThrough;
    if (S_ISREG(link.st_mode))
        return WriteTarget::File;
    if (S_ISLNK(link.st_mode))
        return refusal(leads ? QStringLiteral("это символическая ссылка")
                             : QStringLiteral("это символическая ссылка, ведущая в никуда"));
    if (S_ISDIR(link.st_mode))
        return refusal(systemErrorText(EISDIR));
    return refusal(QStringLiteral("это не обычный файл"));
}

// Writes to a character device or a FIFO as it is. A FIFO nobody reads is
// refused at once rather than waited for.
Expected<void, FileError> writeThrough(const QByteArray &target, const QByteArray &bytes)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENXIO)
            return refusal(QStringLiteral("канал никто не читает"));
        return failure(errno);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!writeAll(fd, bytes)) {
        const int e = errno;
        ::close(fd);
        return failure(e);
    }
    if (::close(fd) != 0)
        return failure(errno);
    return {};
}

} // namespace

bool isWrittenThrough(const QString &path)
{
    const auto target = writeTargetOf(QFile::encodeName(path));
    return target && *target == WriteTarget::WriteThrough;
}

Expected<void, FileError> writeFileAtomically(const QString &path, const QByteArray &bytes, FileAccess access)
{
    const QByteArray target = QFile::encodeName(path);
    const auto kind = writeTargetOf(target);
    if (!kind)
        return unexpected(kind.error());
    if (*kind == WriteTarget::WriteThrough)
        return writeThrough(target, bytes);
    removeLeftoverTemporaries(target);
    const auto written = writeThroughTemporary(target, bytes, access);
    if (written)
        return {};
    // A file that may be written in a folder that does not allow new files.
    const int e = written.error().errorNumber;
    if (written.error().notMade && (e == EACCES || e == EPERM || e == EROFS)) {
        struct stat link {};
        if (::lstat(target.constData(), &link) == 0 && (S_ISLNK(link.st_mode) || ::access(target.constData(), W_OK) == 0))
            return writeInPlace(target, bytes, access);
    }
    return failure(e);
}

namespace {

// Reads at most one byte more than allowed, so that a file that grows
// meanwhile is refused too; closes `fd`.
Expected<QByteArray, FileError> readUpTo(int fd, qint64 maxBytes)
{
    QByteArray out(qsizetype(maxBytes + 1), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, size_t(out.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            return failure(e);
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > maxBytes)
        return unexpected(FileError{FileError::Kind::TooLarge, QString()});
    out.truncate(got);
    return out;
}

} // namespace

Expected<QByteArray, FileError> readSmallFile(const QString &path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failure(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refusal(QStringLiteral("это не обычный файл"));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return unexpected(FileError{FileError::Kind::TooLarge, QString()});
    }
    return readUpTo(fd, maxBytes);
}

Expected<QByteArray, FileError> readStandardInput(qint64 maxBytes)
{
    const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return failure(errno);
    return readUpTo(fd, maxBytes);
}

Expected<void, FileError> makePrivateFolder(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    // The missing parts, from the top: each new one the owner's only.
    for (qsizetype at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder.at(at) != '/')
            continue;
        const QByteArray part = folder.left(at);
        if (::mkdir(part.constData(), kPrivateFolder) == 0)
            ::chmod(part.constData(), kPrivateFolder); // the umask may have taken the owner's bits
        else if (errno != EEXIST)
            return failure(errno);
    }
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0777) != kPrivateFolder)
        ::fchmod(fd, kPrivateFolder);
    ::close(fd);
    return {};
}

Expected<void, FileError> makePrivateFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, kPrivateFile);
    if (fd < 0)
        return failure(errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 0777) != kPrivateFile)
        ::fchmod(fd, kPrivateFile);
    ::close(fd);
    return {};
}

void removeStaleTemporaries(const QString &folder, int olderThanMs)
{
    const QByteArray native = QFile::encodeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        // Named as writeFileAtomically names them: ".<name>.limra-XXXXXX".
        const QByteArray name(entry->d_name);
        const qsizetype infix = name.lastIndexOf(kTemporaryInfix);
        if (!name.startsWith('.') || infix < 1 || name.size() - infix - kTemporaryInfix.size() != kTemporaryRandom)
            continue;
        const QByteArray path = native + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()
            || qint64(now - info.st_mtime) * 1000 < olderThanMs)
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) // its writer is gone
            ::unlink(path.constData());
        ::close(fd);
    }
    ::closedir(dir);
}

QString userDataFolder()
{
    // One folder for every program of the tool (the window, the command
    // line), whatever the program is called; the user's own.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/limra-rfid");
    (void)makePrivateFolder(folder);
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
