#include "sim/ptyhost.h"

#include <QFile>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/logging.h"
#include "platform/virtualreaders.h"

namespace limra::sim {

PtyHost::PtyHost(ReaderModel *m, const QString &name, QObject *parent)
    : QObject(parent), model(m), linkName(name)
{
    connect(model, &ReaderModel::output, this, &PtyHost::write);
}

PtyHost::~PtyHost()
{
    unplug();
}

bool PtyHost::plug(QString *error)
{
    if (master >= 0)
        return true;
    auto fail = [&](const QString &what) {
        if (error) *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        unplug();
        return false;
    };
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return fail(QStringLiteral("posix_openpt"));
    if (grantpt(master) != 0 || unlockpt(master) != 0)
        return fail(QStringLiteral("grantpt"));
    slave = QString::fromLocal8Bit(ptsname(master));
    slaveKeep = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveKeep < 0)
        return fail(QStringLiteral("open ") + slave);
    termios tio{};
    tcgetattr(slaveKeep, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(slaveKeep, TCSANOW, &tio);

    if (!linkName.isEmpty()) {
        if (!ensureVirtualReadersDir())
            return fail(QStringLiteral("mkdir ") + virtualReadersDir());
        link = virtualReadersDir() + QLatin1Char('/') + linkName;
        QFile::remove(link);
        if (::symlink(ptsname(master), QFile::encodeName(link).constData()) != 0)
            return fail(QStringLiteral("symlink ") + link);
    }
    notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &PtyHost::readMaster);
    return true;
}

void PtyHost::unplug()
{
    notifier.reset();
    if (!link.isEmpty()) {
        QFile::remove(link);
        link.clear();
    }
    if (slaveKeep >= 0) {
        ::close(slaveKeep);
        slaveKeep = -1;
    }
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
}

void PtyHost::readMaster()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0) {
            model->receive(QByteArray(buf, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

void PtyHost::write(const QByteArray &bytes)
{
    if (master < 0)
        return;
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(master, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSim) << "write to terminal failed:" << strerror(errno);
            return;
        }
        p += n;
        left -= n;
    }
}

static char g_linkPath[4096];

static void onSignal(int sig)
{
    if (g_linkPath[0])
        ::unlink(g_linkPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void removeLinkOnSignal(const QString &linkPath)
{
    const QByteArray p = QFile::encodeName(linkPath);
    std::strncpy(g_linkPath, p.constData(), sizeof g_linkPath - 1);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
}

} // namespace limra::sim
