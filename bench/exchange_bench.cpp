// Round trip of the command exchange against the simulated reader on a
// pseudo-terminal, as a ratio to a minimal blocking client on the same
// terminal measured in the same run; and the CPU time the exchange spends
// while it waits out a 2 s time-out.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/qtserialport.h"
#include "platform/virtualreaders.h"

using namespace limra;

namespace {

constexpr int kRounds = 1000;

// Writes the bytes and blocks until `expect` bytes have come back.
bool blockingRoundTrip(int fd, const QByteArray &out, int expect)
{
    if (::write(fd, out.constData(), size_t(out.size())) != out.size())
        return false;
    int got = 0;
    char buf[512];
    while (got < expect) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return false;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        got += int(n);
    }
    return true;
}

double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString simPath = QCoreApplication::applicationDirPath() + QStringLiteral("/limra-readersim");
    const QString name = QStringLiteral("bench%1").arg(QCoreApplication::applicationPid());
    QProcess sim;
    sim.setProgram(simPath);
    sim.setArguments({QStringLiteral("--quiet"), QStringLiteral("--name"), name});
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.start();
    const QString link = virtualReadersDir() + QLatin1Char('/') + name;
    for (int i = 0; i < 200 && !QFileInfo::exists(link); ++i)
        QThread::msleep(10);
    if (!QFileInfo::exists(link)) {
        std::fprintf(stderr, "simulated reader did not start\n");
        return 1;
    }
    auto say = [&sim](const char *line) { sim.write(line); sim.waitForBytesWritten(); QThread::msleep(50); };

    const QByteArray frame0A = hexToBytes(QStringLiteral("23050A0124"));
    const int reply0ALen = 4 + 5 + 6 + 3 + 1; // 23 len 0A 01, items 10, 12 and 0D, 24
    const QByteArray block(16, '\x5A');

    // Baseline: a minimal blocking client.
    int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kRounds; ++i)
        if (!blockingRoundTrip(fd, frame0A, reply0ALen)) { std::fprintf(stderr, "baseline framed failed\n"); return 1; }
    const double baseFramed = double(t.nsecsElapsed()) / kRounds;
    blockingRoundTrip(fd, hexToBytes(QStringLiteral("23050C0124")), 8);
    t.restart();
    for (int i = 0; i < kRounds; ++i)
        if (!blockingRoundTrip(fd, block, 2)) { std::fprintf(stderr, "baseline raw failed\n"); return 1; }
    const double baseRaw = double(t.nsecsElapsed()) / kRounds;
    blockingRoundTrip(fd, hexToBytes(QStringLiteral("2305050124")), 0);
    ::close(fd);
    QThread::msleep(3200); // the loader returns to card reading when idle

    // The tool's exchange.
    ReaderLink readerLink;
    auto port = std::make_unique<QtSerialPort>();
    if (!port->open(link)) { std::fprintf(stderr, "cannot open %s\n", qPrintable(link)); return 1; }
    readerLink.setPort(std::move(port));
    t.restart();
    for (int i = 0; i < kRounds; ++i)
        if (isError(readerLink.SendToComPort(QStringLiteral("0A01"), 2000))) { std::fprintf(stderr, "framed failed\n"); return 1; }
    const double toolFramed = double(t.nsecsElapsed()) / kRounds;
    readerLink.SendToComPort(QStringLiteral("0C01"), 500);
    const QString blockHex = bytesToHex(block);
    t.restart();
    for (int i = 0; i < kRounds; ++i)
        if (readerLink.SendToComPort(blockHex, 2000, true) != QLatin1String("0100")) { std::fprintf(stderr, "raw failed\n"); return 1; }
    const double toolRaw = double(t.nsecsElapsed()) / kRounds;
    QThread::msleep(3200);

    // CPU time of a 2 s exchange that times out.
    say("fault silent on\n");
    const double cpu0 = cpuSeconds();
    t.restart();
    const QString timedOut = readerLink.SendToComPort(QStringLiteral("0501"), 2000);
    const double wall = double(t.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;

    std::printf("framed 0A01 round trip: tool %.1f us, blocking client %.1f us, ratio %.2f (goal <= 2)\n",
                toolFramed / 1000, baseFramed / 1000, toolFramed / baseFramed);
    std::printf("raw 16-byte block round trip: tool %.1f us, blocking client %.1f us, ratio %.2f (goal <= 2)\n",
                toolRaw / 1000, baseRaw / 1000, toolRaw / baseRaw);
    std::printf("timed-out exchange (%s): %.2f s wall, %.1f ms CPU, %.2f%% of the wait (goal < 2%%)\n",
                qPrintable(timedOut), wall, cpu * 1000, 100.0 * cpu / wall);
    say("quit\n");
    sim.waitForFinished(2000);
    return 0;
}
