#pragma once
// Another local user (nobody) who gets somewhere first: creates folders open
// to everyone, holds lock files and listens at Unix sockets before the tool
// starts, counting every connection made to them. Needs root; the tests skip
// without it.
#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <vector>

namespace limra::testing {

// Runs `check` as the user "nobody" when the tests run as root (root reads
// and writes any file whatever its mode), in a child process; what `check`
// returned.
inline bool asOrdinaryUser(const std::function<bool()> &check)
{
    if (::getuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class OtherUserListener {
public:
    OtherUserListener() = default;
    OtherUserListener(const OtherUserListener &) = delete;
    OtherUserListener &operator=(const OtherUserListener &) = delete;
    ~OtherUserListener()
    {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        if (m_events >= 0)
            ::close(m_events);
    }

    // Creates `folders` (mode 0777), then holds `locks` (flock) and listens
    // at `sockets` (mode 0777), all as nobody. True once everything is in place.
    bool start(const QStringList &folders, const QStringList &sockets, const QStringList &locks = {})
    {
        if (::getuid() != 0)
            return false;
        std::vector<QByteArray> dirs, paths;
        for (const QString &f : folders)
            dirs.push_back(QFile::encodeName(f));
        for (const QString &s : sockets)
            paths.push_back(QFile::encodeName(s));
        std::vector<QByteArray> lockPaths;
        for (const QString &l : locks)
            lockPaths.push_back(QFile::encodeName(l));
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return false;
        m_child = ::fork();
        if (m_child == 0) {
            ::close(pipeFds[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            for (const QByteArray &d : dirs)
                if (::mkdir(d.constData(), 0777) != 0 || ::chmod(d.constData(), 0777) != 0)
                    ::_exit(3);
            for (const QByteArray &l : lockPaths) {
                const int fd = ::open(l.constData(), O_RDWR | O_CREAT, 0666);
                if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
                    ::_exit(8);
            }
            std::vector<pollfd> listening;
            for (const QByteArray &p : paths) {
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                std::strncpy(address.sun_path, p.constData(), sizeof address.sun_path - 1);
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
                    || ::listen(fd, 8) != 0 || ::chmod(p.constData(), 0777) != 0)
                    ::_exit(4);
                listening.push_back(pollfd{fd, POLLIN, 0});
            }
            if (::write(pipeFds[1], "R", 1) != 1)
                ::_exit(5);
            for (;;) {
                if (::poll(listening.data(), listening.size(), -1) < 0)
                    ::_exit(6);
                for (pollfd &p : listening)
                    if (p.revents & POLLIN) {
                        const int client = ::accept(p.fd, nullptr, nullptr);
                        if (client >= 0) {
                            ::close(client);
                            if (::write(pipeFds[1], "C", 1) != 1)
                                ::_exit(7);
                        }
                    }
            }
        }
        ::close(pipeFds[1]);
        m_events = pipeFds[0];
        if (m_child < 0)
            return false;
        char ready = 0;
        return ::read(m_events, &ready, 1) == 1 && ready == 'R';
    }

    // Connections made to the sockets so far.
    int connections()
    {
        const int flags = ::fcntl(m_events, F_GETFL);
        ::fcntl(m_events, F_SETFL, flags | O_NONBLOCK);
        char buffer[64];
        ssize_t n;
        while ((n = ::read(m_events, buffer, sizeof buffer)) > 0)
            m_connections += int(n);
        return m_connections;
    }

private:
    pid_t m_child = -1;
    int m_events = -1;
    int m_connections = 0;
};

// A temporary folder that everyone may create entries in, like /tmp.
struct SharedTemporaryFolder {
    SharedTemporaryFolder() { ::chmod(QFile::encodeName(dir.path()).constData(), 01777); }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

} // namespace limra::testing
