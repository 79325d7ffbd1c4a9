#pragma once
// How long a program did not answer, told apart from how long a loaded
// machine kept it from running: the time its thread waited, ready to run, for
// a processor (runQueueWaitNs) is taken off. A thread that blocks (a read
// that waits, a sleep) is not waiting for a processor: its time counts.
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

#include "platform/processes.h"

namespace limra::testing {

using limra::runningMs;
using limra::runQueueWaitNs;

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
            m_worst = std::max(m_worst, runningMs(now - m_last, waited - m_waited));
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
