#include "sim/ptyhost.h"

#include <QFile>
#include <QTimer>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "common/logging.h"
#include "platform/virtualreaders.h"

namespace limra::sim {

namespace {
// The answer to the switch reaches the tool before the device goes.
constexpr int kAnswerFirstMs = 50;
} // namespace

PtyHost::PtyHost(ReaderModel *model, const QString &name, QObject *parent)
    : QObject(parent), m_model(model), m_linkName(name), m_readerName(name)
{
    connect(m_model, &ReaderModel::output, this, &PtyHost::write);
    connect(m_model, &ReaderModel::switchedToLoader, this, [this] {
        if (!restartOnLoader || m_linkName.isEmpty())
            return;
        QTimer::singleShot(kAnswerFirstMs, this, [this] {
            if (!plugged())
                return;
            const bool elsewhere = m_model->hasLoaderFault(LoaderFault::ComeBackElsewhere);
            restart(elsewhere ? m_linkName + QStringLiteral("-loader") : m_linkName);
        });
    });
    connect(m_model, &ReaderModel::leftLoader, this, [this] {
        if (restartOnLoader && !m_linkName.isEmpty() && plugged())
            restart(m_readerName);
    });
    m_comeBack.setSingleShot(true);
    connect(&m_comeBack, &QTimer::timeout, this, [this] {
        QString error;
        if (!plug(&error))
            qCWarning(lcSim) << "the loader cannot come back:" << error;
        else
            Q_EMIT m_model->note(QStringLiteral("back as %1").arg(portName()));
    });
}

void PtyHost::restart(const QString &name)
{
    unplug();
    m_linkName = name;
    Q_EMIT m_model->note(QStringLiteral("restarting: the port is gone for %1 ms").arg(restartDelayMs));
    m_comeBack.start(std::max(restartDelayMs, 0));
}

PtyHost::~PtyHost()
{
    unplug();
}

bool PtyHost::plug(QString *error)
{
    m_comeBack.stop();
    if (m_master >= 0)
        return true;
    auto fail = [&](const QString &what) {
        if (error) *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        unplug();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail(QStringLiteral("posix_openpt"));
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail(QStringLiteral("grantpt"));
    m_slave = QString::fromLocal8Bit(ptsname(m_master));
    m_slaveKeep = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeep < 0)
        return fail(QStringLiteral("open ") + m_slave);
    termios tio{};
    tcgetattr(m_slaveKeep, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(m_slaveKeep, TCSANOW, &tio);

    if (!m_linkName.isEmpty()) {
        if (!ensureVirtualReadersDir())
            return fail(QStringLiteral("mkdir ") + virtualReadersDir());
        m_link = virtualReadersDir() + QLatin1Char('/') + m_linkName;
        QFile::remove(m_link);
        if (::symlink(ptsname(m_master), QFile::encodeName(m_link).constData()) != 0)
            return fail(QStringLiteral("symlink ") + m_link);
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyHost::readMaster);
    m_model->pluggedIn();
    return true;
}

void PtyHost::unplug()
{
    m_comeBack.stop();
    m_notifier.reset();
    if (!m_link.isEmpty()) {
        QFile::remove(m_link);
        m_link.clear();
    }
    if (m_slaveKeep >= 0) {
        ::close(m_slaveKeep);
        m_slaveKeep = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyHost::readMaster()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_model->receive(QByteArray(buf, int(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

void PtyHost::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, p, size_t(left));
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

#include "moc_ptyhost.cpp"
