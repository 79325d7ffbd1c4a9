// Start-up of the tool: from exec to its main window mapped on the X server,
// and its resident memory once it is up, against a minimal Qt Widgets window
// of the same size with one label (bench_minimalwindow), measured
// alternately in the same run; the median of the ratios is printed with its
// range. Needs an X display (Xvfb will do); no reader is attached.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 9;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// True once a top-level window of the process is viewable.
bool mapped(Display *d, qint64 pid)
{
    const Atom netPid = XInternAtom(d, "_NET_WM_PID", False);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    bool found = false;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(d, children[i], netPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                                   &data) == Success && data && items == 1) {
                XWindowAttributes a;
                found = *reinterpret_cast<unsigned long *>(data) == static_cast<unsigned long>(pid)
                        && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable;
            }
            if (data)
                XFree(data);
        }
        if (children)
            XFree(children);
    }
    return found;
}

long residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Start {
    double ms = 0;
    long rssKiB = 0;
};

// Starts a program with its own folders, waits for its window and its memory to settle.
bool measure(Display *d, const QString &program, Start *out)
{
    QTemporaryDir home, runtime;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProgram(program);
    QElapsedTimer clock;
    clock.start();
    p.start();
    if (!p.waitForStarted())
        return false;
    while (!mapped(d, p.processId())) {
        if (clock.elapsed() > 10000 || p.state() == QProcess::NotRunning)
            return false;
        QThread::usleep(200);
    }
    out->ms = double(clock.nsecsElapsed()) / 1e6;
    QThread::msleep(700); // what starts after the first paint has started too
    out->rssKiB = residentKiB(p.processId());
    p.terminate();
    p.waitForFinished(5000);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "bench_startup needs an X display\n");
        return 1;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    std::vector<double> times, memory;
    Start tool, base;
    for (int round = 0; round < kRounds; ++round) {
        if (!measure(d, dir + QStringLiteral("/bench_minimalwindow"), &base)
            || !measure(d, dir + QStringLiteral("/limra-rfid"), &tool)) {
            std::fprintf(stderr, "a window did not show\n");
            return 1;
        }
        times.push_back(tool.ms / base.ms);
        memory.push_back(double(tool.rssKiB) / double(base.rssKiB));
    }
    std::printf("exec to main window mapped, median of %d alternating rounds: ratio %.2f to a minimal window "
                "(goal <= 1.5; rounds %.2f..%.2f; last round: tool %.1f ms, minimal %.1f ms)\n",
                kRounds, median(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), tool.ms, base.ms);
    std::printf("resident memory after start: ratio %.2f (goal <= 1.25; last round: tool %.1f MB, minimal %.1f MB)\n",
                median(memory), tool.rssKiB / 1024.0, base.rssKiB / 1024.0);
    XCloseDisplay(d);
    return 0;
}
