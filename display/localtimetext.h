#pragma once
// Local times as "yyyy-MM-dd HH:mm:ss" without asking the time zone for each
// one: its offset from UTC is looked up once per quarter of an hour (offsets
// change only at quarter hours of UTC).
#include <QByteArray>
#include <QString>
#include <limits>

namespace limra {

class LocalTimeText {
public:
    // The local time of `msecs` since the epoch.
    QString text(qint64 msecs);
    void append(QByteArray &out, qint64 msecs);
    // The local month as year * 12 + month - 1.
    int month(qint64 msecs);

private:
    qint64 localSeconds(qint64 msecs);

    qint64 m_quarter = std::numeric_limits<qint64>::min();
    qint64 m_offsetSeconds = 0;
};

} // namespace limra
