#include "platform/instanceguard.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/logging.h"

namespace limra {

namespace {
constexpr char kShow[] = "show\n";
constexpr int kMaxClients = 4;
int g_signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
    Q_UNUSED(written)
}

// A folder of the user's own that nobody else may write into.
bool isPrivateFolder(const QByteArray &path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()
           && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString ensurePrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    if (!isPrivateFolder(native)) {
        qCWarning(lcApp) << path << "is not the user's own or others may write into it: it is not used";
        return QString();
    }
    return path;
}

bool fillAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || size_t(native.size()) >= sizeof address->sun_path)
        return false;
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, native.constData(), size_t(native.size()));
    return true;
}

// Connects and asks the copy there to show itself; false when nothing listens.
bool askToShow(const QString &path)
{
    sockaddr_un address{};
    if (!fillAddress(path, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    bool asked = false;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        asked = ::send(fd, kShow, sizeof kShow - 1, MSG_NOSIGNAL) == ssize_t(sizeof kShow - 1);
    ::close(fd);
    return asked;
}

// The display name as a file-name part: ":1.0" gives "_1", "wayland-0" stays.
QString displayKey()
{
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty()) {
        name = qEnvironmentVariable("DISPLAY");
        const int colon = name.lastIndexOf(QLatin1Char(':'));
        const int dot = name.indexOf(QLatin1Char('.'), colon + 1);
        if (colon >= 0 && dot > colon)
            name.truncate(dot); // the screen number does not make another session
    }
    if (name.isEmpty())
        return QStringLiteral("none");
    for (QChar &c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    return name;
}
} // namespace

QString privateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(QFile::encodeName(runtime)))
        return ensurePrivateFolder(runtime + QStringLiteral("/limra-rfid"));
    return ensurePrivateFolder(QDir::tempPath() + QStringLiteral("/limra-rfid-%1").arg(uint(::getuid())));
}

QString instanceSocketPath()
{
    const QString folder = privateRuntimeFolder();
    if (folder.isEmpty())
        return QString();
    const QString path = folder + QStringLiteral("/instance-") + displayKey();
    sockaddr_un address{};
    return fillAddress(path, &address) ? path : QString();
}

InstanceGuard::InstanceGuard(QString socketPath, QObject *parent) : QObject(parent), m_path(std::move(socketPath))
{
}

InstanceGuard::~InstanceGuard()
{
    if (m_serverFd >= 0) {
        ::unlink(QFile::encodeName(m_path).constData());
        ::close(m_serverFd);
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

bool InstanceGuard::anotherCopyRuns()
{
    if (m_path.isEmpty() || m_first)
        return false;
    const QByteArray lockPath = QFile::encodeName(m_path + QStringLiteral(".lock"));
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0) { // no lock to be had: whoever listens is the running copy
        m_first = !askToShow(m_path);
        return !m_first;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
        m_first = true;
        return false;
    }
    ::close(m_lockFd);
    m_lockFd = -1;
    // The first copy holds the lock; it may still be on its way to listening.
    askToShow(m_path);
    return true;
}

bool InstanceGuard::listen()
{
    if (m_path.isEmpty() || !m_first || m_serverFd >= 0)
        return false;
    sockaddr_un address{};
    if (!fillAddress(m_path, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    ::unlink(address.sun_path); // left by a copy that ended without cleaning up
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, kMaxClients) != 0) {
        qCWarning(lcApp) << "cannot listen at" << m_path << ":" << std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_serverFd = fd;
    m_serverNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_serverNotifier, &QSocketNotifier::activated, this, &InstanceGuard::acceptClients);
    return true;
}

void InstanceGuard::acceptClients()
{
    for (;;) {
        const int fd = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (m_clients >= kMaxClients) {
            ::close(fd);
            continue;
        }
        ++m_clients;
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, fd, notifier] { readClient(fd, notifier); });
        readClient(fd, notifier); // the request is usually there already
    }
}

// A client says "show" and goes; anything else, or the end, closes it.
void InstanceGuard::readClient(int fd, QSocketNotifier *notifier)
{
    if (!notifier->isEnabled())
        return;
    char buffer[sizeof kShow];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    ::close(fd);
    --m_clients;
    if (n >= 4 && std::memcmp(buffer, kShow, 4) == 0)
        Q_EMIT showRequested();
}

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        if (::read(g_signalSockets[1], &byte, 1) > 0)
            Q_EMIT terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, SIG_DFL);
    for (int &fd : g_signalSockets) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace limra

#include "moc_instanceguard.cpp"
