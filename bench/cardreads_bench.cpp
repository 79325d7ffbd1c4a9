// CPU per card read at 1,000 reads a second. A simulated reader on a
// pseudo-terminal, served from a thread of its own, presents a new card every
// millisecond, each with its card information. The tool reads it through the
// real serial port and link into the card presenter, the card display and
// the card log, once with the log window closed and the file off, once with
// the window open and every read written to the CSV file. The baseline is a
// window that reads the same terminal and shows each identifier in one
// label. The three are measured alternately over several rounds; only the
// CPU of the window's thread counts (the simulated reader's thread does
// not), and the median ratio to the baseline is printed with its range.
//
// Usage: bench_cardreads [reads per measurement, default 1000] [rounds, default 7]
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMutex>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <ctime>
#include <memory>

#include "bench/benchsupport.h"
#include "display/cardlog.h"
#include "display/cardpresenter.h"
#include "display/ui/carddisplay.h"
#include "display/ui/cardlogwindow.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "sim/ptyhost.h"
#include "sim/readermodel.h"
#include "tests/support/faketray.h"
#include "tests/support/scripteddialogs.h"

using namespace limra;
using namespace limra::bench;

namespace {

constexpr int kReadsPerSecond = 1000;
constexpr QSize kWindowSize(926, 120);
// After the last read the log's refresh, the file's flush and the indicator
// still run; both the tool and the baseline are measured over this much more.
constexpr int kSettleMs = 300;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The simulated reader in a thread of its own: on request it presents
// `count` cards at 1,000 a second, each after its card information.
class Feeder : public QThread {
public:
    QString port() const { return m_port; }
    bool ready() const { return m_ready.load(); }

    void feed(int count)
    {
        QMutexLocker lock(&m_mutex);
        m_count = count;
        m_start = monotonicNs();
        ++m_generation;
    }

protected:
    void run() override
    {
        sim::ReaderModel model;
        sim::PtyHost host(&model, QString());
        if (!host.plug())
            return;
        m_port = host.portName();
        m_ready = true;
        int generation = 0, sent = 0, count = 0;
        qint64 start = 0;
        quint64 serial = 0x04000000000000;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            {
                QMutexLocker lock(&m_mutex);
                if (m_generation != generation) {
                    generation = m_generation;
                    sent = 0;
                    count = m_count;
                    start = m_start;
                }
            }
            const qint64 due = std::min<qint64>(count, (monotonicNs() - start) * kReadsPerSecond / 1000000000);
            for (; sent < due; ++sent) {
                model.sendCardInfo(2, 2, 1024, 1);
                model.presentCard(IdKind::Uid, QString::number(++serial, 16).toUpper().rightJustified(14, QLatin1Char('0')));
            }
        });
        tick.start(1);
        exec();
    }

private:
    QString m_port;
    std::atomic<bool> m_ready{false};
    QMutex m_mutex;
    int m_generation = 0;
    int m_count = 0;
    qint64 m_start = 0;
};

// The baseline: a window that reads the terminal and shows each identifier
// line in one label.
class OneLabelReader : public QWidget {
public:
    OneLabelReader()
    {
        auto *layout = new QVBoxLayout(this);
        label = new QLabel(QStringLiteral("0"), this);
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(37);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        // Like the tool's identifier, the label does not resize its window.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(label);
        resize(kWindowSize);
    }
    bool open(const QString &path)
    {
        if (!m_client.open(path))
            return false;
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        m_client.close(); // the terminal stays raw
        if (m_fd < 0)
            return false;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readTerminal(); });
        return true;
    }
    void close()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_pending.clear();
    }
    ~OneLabelReader() override { close(); }

    QLabel *label;
    int reads = 0;

private:
    void readTerminal()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buf, sizeof buf)) > 0)
            m_pending.append(buf, n);
        qsizetype end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            const qsizetype at = line.indexOf("UID: ");
            if (at < 0)
                continue;
            label->setText(QString::fromLatin1(line.mid(at + 5).trimmed()));
            ++reads;
        }
    }

    BlockingClient m_client;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending;
};

// Counts the identifiers the link hands on.

// The tool's side: what the main window puts together for a card read.
struct Tool {
    Tool(const QString &csvPath)
        : presenter(&clipboard, nullptr), display(presenter), log(), logWindow(log, dialogs, &clipboard, csvPath)
    {
        presenter.setStarted();
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(&display);
        layout->addStretch(1);
        window.resize(kWindowSize);
        QObject::connect(&presenter, &CardPresenter::identifierLogged, &log, &CardLog::addRead);
        QObject::connect(&presenter, &CardPresenter::cardInfoShown, &log,
                         [this](const CardInfo &info) { log.cardInfo(info.type); });
    }
    ~Tool() { display.setParent(nullptr); }

    testing::FakeClipboard clipboard;
    testing::ScriptedDialogs dialogs;
    CardPresenter presenter;
    QWidget window;
    CardDisplay display;
    CardLog log;
    CardLogWindow logWindow;
};

// The link between the port and the presenter. The link's interface is
// being reworked: this is the one place to adapt.
struct ToolLink {
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    int reads = 0;

    bool open(const QString &port, CardPresenter &presenter)
    {
        if (!session.open(port))
            return false;
        QObject::connect(&link, &ReaderLink::identifierRead, &presenter, &CardPresenter::identifierRead);
        QObject::connect(&link, &ReaderLink::cardInfoRead, &presenter, &CardPresenter::cardInfoRead);
        QObject::connect(&link, &ReaderLink::identifierRead, &link, [this] { ++reads; });
        return true;
    }
    void close(CardPresenter &presenter)
    {
        QObject::disconnect(&link, nullptr, &presenter, nullptr);
        QObject::disconnect(&link, &ReaderLink::identifierRead, &link, nullptr);
        session.closePort();
    }
};

// Runs the event loop in steps of 5 ms until `done` holds or the time passes.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Feeds `count` reads and returns the thread's CPU per read received, in
// microseconds; 0 when fewer than nine in ten arrived.
double measure(Feeder &feeder, int count, const std::function<int()> &received)
{
    const int before = received();
    const double cpu0 = threadCpuSeconds();
    feeder.feed(count);
    waitFor([&] { return received() - before >= count; }, count * 1000 / kReadsPerSecond + 3000);
    settle(kSettleMs);
    const int got = received() - before;
    if (got < count * 9 / 10) {
        std::fprintf(stderr, "only %d of %d reads arrived\n", got, count);
        return 0;
    }
    return (threadCpuSeconds() - cpu0) * 1e6 / got;
}

struct Series {
    std::vector<double> ratios;
    std::vector<double> perRead;
    void print(const char *what) const
    {
        std::printf("%-44s %6.1f us per read, ratio %.2f (rounds %.2f..%.2f)\n", what, median(perRead),
                    median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                    *std::max_element(ratios.begin(), ratios.end()));
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int reads = argc > 1 ? std::max(100, QString::fromLocal8Bit(argv[1]).toInt()) : 1000;
    const int rounds = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 7;

    Feeder feeder;
    feeder.start();
    if (!waitFor([&] { return feeder.ready(); }, 3000)) {
        std::fprintf(stderr, "simulated reader did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("cards.csv"));

    OneLabelReader baseline;
    Tool tool(csv);
    ToolLink toolLink;
    Series closed, open;
    double lastBase = 0;
    for (int round = 0; round < rounds; ++round) {
        baseline.show();
        if (!baseline.open(feeder.port()))
            return 1;
        settle(100);
        const double base = measure(feeder, reads, [&] { return baseline.reads; });
        baseline.close();
        baseline.hide();

        tool.window.show();
        if (!toolLink.open(feeder.port(), tool.presenter))
            return 1;
        settle(100);
        const double closedRead = measure(feeder, reads, [&] { return toolLink.reads; });
        tool.logWindow.show();
        tool.logWindow.setWritingFile(true);
        settle(100);
        const double openRead = measure(feeder, reads, [&] { return toolLink.reads; });
        tool.logWindow.setWritingFile(false);
        tool.logWindow.hide();
        toolLink.close(tool.presenter);
        tool.window.hide();
        if (base <= 0 || closedRead <= 0 || openRead <= 0)
            return 1;
        lastBase = base;
        closed.perRead.push_back(closedRead);
        closed.ratios.push_back(closedRead / base);
        open.perRead.push_back(openRead);
        open.ratios.push_back(openRead / base);
    }

    std::printf("CPU per card read at %d reads/s, %d reads per measurement, median of %d alternating rounds "
                "(baseline, one-label window: %.1f us per read in the last round; goal ratio <= 1.2):\n",
                kReadsPerSecond, reads, rounds, lastBase);
    closed.print("display, presenter, log (window closed)");
    open.print("display, presenter, log (window open, CSV)");

    feeder.quit();
    feeder.wait();
    return 0;
}
