// The window's memory under a flood of card reads, with and without debug
// mode. A simulated reader on a pseudo-terminal, served from a thread of its
// own, presents cards at a steady rate (each an identifier line); the whole
// main window reads them through the real serial port, with "debugmode=1" in
// its settings or without. The resident set size is printed every few
// seconds: it must level off, not grow with the reads.
//
// Usage: bench_debugmemory [seconds, default 90] [reads a second, default 12500] [debug: 1 or 0, default 1]
#include <QApplication>
#include <QFile>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "app/ui/mainwindow.h"
#include "link/discovery.h"
#include "link/session.h"
#include "sim/ptyhost.h"
#include "sim/readermodel.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The process's resident set size in megabytes.
double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : -1;
}

// The simulated reader in a thread of its own, presenting cards at `rate` a
// second once started.
class Feeder : public QThread {
public:
    explicit Feeder(int rate) : m_rate(rate) {}
    QString port() const
    {
        QMutexLocker lock(&m_mutex);
        return m_port;
    }
    bool ready() const { return m_ready.load(); }
    void go() { m_going = true; }
    qint64 sent() const { return m_sent.load(); }

protected:
    void run() override
    {
        sim::ReaderModel model;
        sim::PtyHost host(&model, QString());
        if (!host.plug())
            return;
        {
            QMutexLocker lock(&m_mutex);
            m_port = host.portName();
        }
        m_ready = true;
        qint64 start = 0;
        quint64 serial = 0x04000000000000;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!m_going)
                return;
            if (start == 0)
                start = monotonicNs();
            const qint64 due = (monotonicNs() - start) * m_rate / 1000000000;
            for (qint64 n = m_sent; n < due; ++n) {
                model.presentCard(IdKind::Uid,
                                  QString::number(++serial, 16).toUpper().rightJustified(14, QLatin1Char('0')));
                ++m_sent;
            }
        });
        tick.start(1);
        exec();
    }

private:
    const int m_rate;
    mutable QMutex m_mutex;
    QString m_port;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_going{false};
    std::atomic<qint64> m_sent{0};
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QString::fromLocal8Bit(argv[1]).toInt()) : 90;
    const int rate = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 12500;
    const bool debugMode = argc > 3 ? QString::fromLocal8Bit(argv[3]) != QLatin1String("0") : true;

    Feeder feeder(rate);
    feeder.start();
    for (int i = 0; i < 300 && !feeder.ready(); ++i)
        QThread::msleep(10);
    if (!feeder.ready()) {
        std::fprintf(stderr, "simulated reader did not start\n");
        return 1;
    }

    ToolServices tool;
    tool.timings = Timings();
    {
        QFile settings(tool.settingsPath());
        if (!settings.open(QIODevice::WriteOnly))
            return 1;
        settings.write(debugMode ? "[usbreader]\r\ndebugmode=1\r\n" : "[usbreader]\r\n");
    }
    MainWindow window(tool.station(), tool.services());
    window.show();
    tool.ports.virtuals = {feeder.port()};
    window.station().discovery().portsChanged();
    window.station().discovery().scanOnce();
    if (!waitUntil([&] { return window.station().session().isConnected(); }, 10000)) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }
    tool.settle();
    spin(500);

    std::printf("debug mode %s, %d reads a second, %d s\n", debugMode ? "on" : "off", rate, seconds);
    std::printf("%8s %10s %10s\n", "seconds", "reads", "RSS MB");
    std::printf("%8d %10lld %10.1f\n", 0, 0LL, residentMb());
    std::fflush(stdout);
    feeder.go();
    const qint64 start = monotonicNs();
    int reported = 0;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const int elapsed = int((monotonicNs() - start) / 1000000000);
        if (elapsed >= reported + 5) {
            reported = elapsed;
            std::printf("%8d %10lld %10.1f\n", elapsed, static_cast<long long>(feeder.sent()), residentMb());
            std::fflush(stdout);
        }
        if (elapsed >= seconds)
            app.quit();
    });
    sample.start(200);
    app.exec();
    feeder.quit();
    feeder.wait();
    return 0;
}
