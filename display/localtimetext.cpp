#include "display/localtimetext.h"

#include <QDateTime>

#include "common/texts.h"

namespace limra {

namespace {
qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// The civil date of a day counted from 1970-01-01 (H. Hinnant's algorithm).
void civilFromDays(qint64 days, int *year, int *month, int *day)
{
    days += 719468;
    const qint64 era = floorDiv(days, 146097);
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    *day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(yearOfEra + era * 400 + (*month <= 2));
}

void putDigits(char *at, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        at[i] = char('0' + value % 10);
        value /= 10;
    }
}
} // namespace

qint64 LocalTimeText::localSeconds(qint64 msecs)
{
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    const qint64 quarter = floorDiv(msecs, kQuarterMs);
    if (quarter != m_quarter) {
        m_quarter = quarter;
        m_offsetSeconds = QDateTime::fromMSecsSinceEpoch(quarter * kQuarterMs).offsetFromUtc();
    }
    return floorDiv(msecs, 1000) + m_offsetSeconds;
}

void LocalTimeText::append(QByteArray &out, qint64 msecs)
{
    const qint64 seconds = localSeconds(msecs);
    const qint64 days = floorDiv(seconds, 86400);
    const int inDay = int(seconds - days * 86400);
    int year, month, day;
    civilFromDays(days, &year, &month, &day);
    if (year < 0 || year > 9999) {
        out += QDateTime::fromMSecsSinceEpoch(msecs).toString(texts::kTimeFormat).toLatin1();
        return;
    }
    char text[19] = {0, 0, 0, 0, '-', 0, 0, '-', 0, 0, ' ', 0, 0, ':', 0, 0, ':', 0, 0};
    putDigits(text, year, 4);
    putDigits(text + 5, month, 2);
    putDigits(text + 8, day, 2);
    putDigits(text + 11, inDay / 3600, 2);
    putDigits(text + 14, inDay / 60 % 60, 2);
    putDigits(text + 17, inDay % 60, 2);
    out.append(text, sizeof text);
}

QString LocalTimeText::text(qint64 msecs)
{
    QByteArray bytes;
    append(bytes, msecs);
    return QString::fromLatin1(bytes);
}

int LocalTimeText::month(qint64 msecs)
{
    int year, month, day;
    civilFromDays(floorDiv(localSeconds(msecs), 86400), &year, &month, &day);
    return year * 12 + month - 1;
}

} // namespace limra
