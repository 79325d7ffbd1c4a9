#include "platform/instanceguard.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace limra {

namespace {
constexpr int kConnectMs = 500;
int g_signalSockets[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(g_signalSockets[0], &byte, 1);
    Q_UNUSED(written)
}
} // namespace

QString instanceKey()
{
    return QStringLiteral("limra-rfid-instance-%1").arg(uint(::getuid()));
}

InstanceGuard::InstanceGuard(const QString &key, QObject *parent) : QObject(parent), m_name(key) {}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::anotherCopyRuns()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    socket.write("show\n");
    socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromServer();
    return true;
}

bool InstanceGuard::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_name); // a copy that ended without cleaning up
    if (!m_server->listen(m_name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith("show"))
                    Q_EMIT showRequested();
            });
        }
    });
    return true;
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
