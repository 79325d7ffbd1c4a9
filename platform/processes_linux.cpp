#include "platform/processes.h"

#include <QDir>
#include <QFile>

namespace limra {

bool processRunning(const QString &name)
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (!pid.front().isDigit())
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && QString::fromLocal8Bit(comm.readAll()).trimmed() == name)
            return true;
    }
    return false;
}

qint64 runQueueWaitNs(qint64 pid)
{
    // The second of the scheduler's three figures: time spent on a run queue.
    QFile stat(pid == 0 ? QStringLiteral("/proc/thread-self/schedstat") : QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.read(128).simplified().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

} // namespace limra
