#include "platform/portclaims.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/logging.h"

namespace limra {

namespace {

struct Held {
    int fd = -1;
    int count = 0;
};

// The claims this program holds, by port.
std::map<QString, Held> &heldClaims()
{
    static std::map<QString, Held> claims;
    return claims;
}

QString claimsFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() ? QString::fromLocal8Bit(runtime) + QStringLiteral("/limra-rfid")
                                            : QStringLiteral("/tmp/limra-rfid-%1").arg(uint(::getuid()));
    return base + QStringLiteral("/claims");
}

// The lock file of a port; its folder is made private to the user.
QByteArray claimFile(const QString &port)
{
    const QString folder = claimsFolder();
    for (const QString &part : {QFileInfo(folder).path(), folder})
        if (::mkdir(QFile::encodeName(part).constData(), 0700) != 0 && errno != EEXIST)
            qCWarning(lcPort) << "cannot make" << part << ::strerror(errno);
    const QByteArray name = QCryptographicHash::hash(port.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QFile::encodeName(folder) + '/' + name + ".lock";
}

// Opens the port's lock file and locks it; -1 when another program holds it
// (`busy`), or when the file cannot be made.
int lockPort(const QString &port, bool *busy)
{
    *busy = false;
    const int fd = ::open(claimFile(port).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *busy = errno == EWOULDBLOCK;
        ::close(fd);
        return -1;
    }
    // For whoever looks: which program holds which port.
    const QByteArray note = QByteArray::number(qint64(::getpid())) + '\t' + port.toUtf8() + '\n';
    if (::ftruncate(fd, 0) == 0)
        (void)!::write(fd, note.constData(), size_t(note.size()));
    return fd;
}

} // namespace

bool PortClaim::claim(const QString &port)
{
    const QString name = port.trimmed();
    if (name == m_port && held())
        return true;
    release();
    if (name.isEmpty())
        return false;
    auto &claims = heldClaims();
    const auto it = claims.find(name);
    if (it != claims.end()) {
        ++it->second.count;
        m_port = name;
        return true;
    }
    bool busy = false;
    const int fd = lockPort(name, &busy);
    if (fd < 0) {
        if (busy)
            return false;
        // Without a runtime folder there is no claim to make: the port's own
        // exclusive open is what is left.
        qCWarning(lcPort) << "cannot claim" << name << "in" << claimsFolder();
    }
    claims[name] = Held{fd, 1};
    m_port = name;
    return true;
}

void PortClaim::release()
{
    if (m_port.isEmpty())
        return;
    auto &claims = heldClaims();
    const auto it = claims.find(m_port);
    if (it != claims.end() && --it->second.count <= 0) {
        if (it->second.fd >= 0)
            ::close(it->second.fd); // the lock goes with the descriptor
        claims.erase(it);
    }
    m_port.clear();
}

bool portClaimedElsewhere(const QString &port)
{
    const QString name = port.trimmed();
    if (heldClaims().count(name))
        return false;
    bool busy = false;
    const int fd = lockPort(name, &busy);
    if (fd >= 0)
        ::close(fd);
    return busy;
}

QString portInstance(const QString &port)
{
    const QByteArray path = QFile::encodeName(port.trimmed());
    struct stat link {};
    struct stat device {};
    if (::stat(path.constData(), &device) != 0)
        return QString();
    QString stamp;
    // A link made anew for the device (udev's, a simulated reader's) is a new link.
    if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        stamp = QStringLiteral("%1.%2.%3/").arg(link.st_ino).arg(link.st_ctim.tv_sec).arg(link.st_ctim.tv_nsec);
    return stamp
           + QStringLiteral("%1:%2.%3.%4")
                 .arg(quint64(device.st_rdev))
                 .arg(device.st_ino)
                 .arg(device.st_ctim.tv_sec)
                 .arg(device.st_ctim.tv_nsec);
}

} // namespace limra
