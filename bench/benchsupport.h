#pragma once
// What the benchmarks share: the simulated reader as a separate process, a
// minimal blocking client on its terminal as the baseline, medians of
// alternating rounds, and the process's CPU time.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "platform/virtualreaders.h"

namespace limra::bench {

// limra-readersim with its prompt on a pipe.
class SimProcess {
public:
    bool start(const QString &name)
    {
        m_link = virtualReadersDir() + QLatin1Char('/') + name;
        m_process.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/limra-readersim"));
        m_process.setArguments({QStringLiteral("--quiet"), QStringLiteral("--name"), name});
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
        return waitForLink();
    }
    bool waitForLink()
    {
        for (int i = 0; i < 300; ++i) {
            if (QFileInfo::exists(m_link))
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    void say(const char *line)
    {
        m_process.write(line);
        m_process.waitForBytesWritten();
        QThread::msleep(50);
    }
    void stop()
    {
        say("quit\n");
        m_process.waitForFinished(2000);
    }
    QString link() const { return m_link; }

private:
    QProcess m_process;
    QString m_link;
};

// A raw blocking client on a terminal.
class BlockingClient {
public:
    bool open(const QString &path)
    {
        close();
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
        if (m_fd < 0)
            return false;
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
        tcflush(m_fd, TCIOFLUSH);
        return true;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    ~BlockingClient() { close(); }
    // Writes the bytes and blocks until `expect` bytes have come back.
    bool roundTrip(const QByteArray &out, int expect)
    {
        if (::write(m_fd, out.constData(), size_t(out.size())) != out.size())
            return false;
        int got = 0;
        char buf[512];
        while (got < expect) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return false;
            got += int(n);
        }
        return true;
    }

private:
    int m_fd = -1;
};

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace limra::bench
