#pragma once
// How long a program did not answer, told apart from how long a loaded
// machine kept it from running: the kernel counts each thread's time spent
// ready to run but waiting for a processor (/proc/<pid>/task/<tid>/schedstat,
// second field), and that time is taken off. A thread that blocks (a read
// that waits, a sleep) is not waiting for a processor: its time counts.
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <sys/types.h>
#include <unistd.h>

namespace limra::testing {

// Nanoseconds the thread `tid` of process `pid` waited, ready, for a
// processor; 0 where the kernel does not tell.
inline qint64 runQueueWaitNs(pid_t pid = ::getpid(), pid_t tid = 0)
{
    QFile stat(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(tid ? tid : pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

// A span of wall time less the nanoseconds a thread waited for a processor
// in it.
inline qint64 answerMs(qint64 wallMs, qint64 waitedNs) { return std::max<qint64>(0, wallMs - waitedNs / 1000000); }

// A timer ticks every 20 ms on the main thread; the longest gap between
// ticks, less the time the machine's load kept the thread waiting, is how
// long the window did not answer.
class ResponsivenessProbe {
public:
    ResponsivenessProbe()
    {
        QObject::connect(&m_beat, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            const qint64 waited = runQueueWaitNs();
            m_worst = std::max(m_worst, answerMs(now - m_last, waited - m_waited));
            m_last = now;
            m_waited = waited;
        });
        m_clock.start();
        m_waited = runQueueWaitNs();
        m_beat.start(20);
    }
    qint64 worstGapMs() const { return m_worst; }

private:
    QElapsedTimer m_clock;
    QTimer m_beat;
    qint64 m_last = 0;
    qint64 m_waited = 0;
    qint64 m_worst = 0;
};

} // namespace limra::testing
