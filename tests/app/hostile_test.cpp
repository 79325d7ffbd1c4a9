// The whole tool against a reader that floods it with random and malformed
// traffic and unplugs itself now and then: the tool stays alive and answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSet>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "station/station.h"
#include "link/session.h"
#include "platform/instanceguard.h"
#include "platform/ui/qtdialogs.h"
#include "platform/virtualreaders.h"
#include "tests/support/responsiveness.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

TEST(HostileReader, TheWindowStaysAliveAndAnswers)
{
    ToolServices tool;
    MainWindow window(tool.station(), tool.services());
    window.show();

    const QString name = QStringLiteral("hostile%1").arg(QCoreApplication::applicationPid());
    tool.ports.virtuals = {virtualReadersDir() + QLatin1Char('/') + name};
    QProcess hostile;
    hostile.start(QStringLiteral(LIMRA_HOSTILEREADER),
                  {QStringLiteral("--name"), name, QStringLiteral("--seconds"), QStringLiteral("4")});
    ASSERT_TRUE(hostile.waitForStarted());

    ResponsivenessProbe probe;
    int connections = 0;
    QObject::connect(&window.station().session(), &ReaderSession::connected, [&] { ++connections; });
    waitUntil([&] { return hostile.state() == QProcess::NotRunning; }, 8000);
    EXPECT_GE(connections, 1);
    EXPECT_LT(probe.worstGapMs(), 500) << "the window did not answer for " << probe.worstGapMs() << " ms";
    window.close();
}

// Every reconnection reads the configuration and tells it: against a reader
// that comes and goes, the notices never pile up and none opens from inside
// another's wait (each used to open a modal box in the last one's event loop
// until the stack ran out).
TEST(HostileReader, NoticesOfReconnectionsNeverPileUp)
{
    ToolServices tool;
    QtDialogs dialogs;
    Services services = tool.services();
    services.dialogs = &dialogs;
    MainWindow window(tool.station(), services);
    dialogs.setParentWidget(&window);
    window.show();

    const QString name = QStringLiteral("hostilenotices%1").arg(QCoreApplication::applicationPid());
    tool.ports.virtuals = {virtualReadersDir() + QLatin1Char('/') + name};
    QProcess hostile;
    hostile.start(QStringLiteral(LIMRA_HOSTILEREADER),
                  {QStringLiteral("--name"), name, QStringLiteral("--seconds"), QStringLiteral("6")});
    ASSERT_TRUE(hostile.waitForStarted());

    // Looks at the boxes every 20 ms, from whatever event loop runs; once
    // the reader has gone it closes what is left.
    const int baseLevel = QThread::currentThread()->loopLevel() + 1; // the wait's own loop
    int deepestLevel = 0;
    int mostBoxes = 0;
    int mostAlike = 0;
    QSet<QMessageBox *> seen;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        deepestLevel = std::max(deepestLevel, QThread::currentThread()->loopLevel());
        QHash<QString, int> alike;
        int boxes = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                ++boxes;
                mostAlike = std::max(mostAlike, ++alike[box->text()]);
                seen.insert(box);
                if (hostile.state() == QProcess::NotRunning)
                    box->done(QMessageBox::Ok);
            }
        mostBoxes = std::max(mostBoxes, boxes);
    });
    watcher.start(20);
    waitUntil([&] { return hostile.state() == QProcess::NotRunning; }, 12000);
    waitUntil([&] { return dialogs.noticeBox() == nullptr; }, 5000);
    watcher.stop();
    EXPECT_GE(seen.size(), 1) << "no notice was told";
    EXPECT_LE(mostAlike, 1) << "the same notice shown twice at once";
    EXPECT_LE(mostBoxes, 1) << "notices shown over one another";
    EXPECT_LE(deepestLevel, baseLevel) << "a notice waited in an event loop of its own";
    window.closeForTermination();
}

namespace {

// How long the running program takes to take a request at its one-copy
// socket: the time until it has read it and closed the connection.
// How long the program `pid` took to take a message on its socket, less the
// time the machine's load kept its main thread from running meanwhile.
qint64 answerTimeMs(const QString &socketPath, qint64 pid)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QElapsedTimer clock;
    clock.start();
    const qint64 waitedBefore = runQueueWaitNs(pid);
    qint64 took = -1;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::send(fd, "noop", 4, MSG_NOSIGNAL) == 4) {
        char c;
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (::recv(fd, &c, 1, 0) == 0) // the program closed it: it has read it
            took = runningMs(clock.elapsed(), runQueueWaitNs(pid) - waitedBefore);
    }
    ::close(fd);
    return took;
}

} // namespace

// The real program, through its real discovery (the virtual readers' folder
// and its own port enumeration), against a reader that unplugs every 900 ms.
TEST(HostileReader, TheProgramConnectsAndKeepsAnswering)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "the program needs a display";
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                          | QFileDevice::ExeOwner));
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("limra.discovery.debug=true"));

    QProcess hostile;
    hostile.setProcessEnvironment(env);
    hostile.start(QStringLiteral(LIMRA_HOSTILEREADER),
                  {QStringLiteral("--name"), QStringLiteral("hostile"), QStringLiteral("--seconds"), QStringLiteral("8")});
    ASSERT_TRUE(hostile.waitForStarted());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(LIMRA_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());

    // The same socket path the program computes from its environment.
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QString socketPath = instanceSocketPath();
    qputenv("XDG_RUNTIME_DIR", oldRuntime);

    qint64 worst = 0;
    int probes = 0;
    QElapsedTimer clock;
    clock.start();
    while (hostile.state() != QProcess::NotRunning && clock.elapsed() < 12000) {
        spin(200);
        const qint64 took = answerTimeMs(socketPath, program.processId());
        if (took >= 0) {
            worst = std::max(worst, took);
            ++probes;
        }
    }
    const QString log = QString::fromLocal8Bit(program.readAll());
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(5000));
    EXPECT_GE(probes, 10) << "the program did not listen";
    EXPECT_LT(worst, 500) << "the program did not answer for " << worst << " ms";
    // The reader was found and identified through the program's own discovery.
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral("\\bconnected \"")))) << qPrintable(log.right(2000));
}
