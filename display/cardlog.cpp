#include "display/cardlog.h"

#include <QDir>
#include <QFileInfo>

#include "common/texts.h"
#include "display/idkinds.h"
#include "platform/files.h"

namespace limra {

namespace {
// Card information goes with an identifier read within this long after it.
constexpr qint64 kInfoWindowMs = 1000;
const char kUtf8Bom[] = "\xEF\xBB\xBF";
const QString kKeptForLater = QStringLiteral(
    "Чтения карт сохраняются в памяти и будут дописаны в файл, когда запись снова станет возможной.");

void appendField(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    for (char c : bytes) {
        if (c == ';' || c == ',' || c == '"' || c == '\n' || c == '\r') {
            QByteArray quoted = bytes;
            quoted.replace('"', "\"\"");
            out += '"' + quoted + '"';
            return;
        }
    }
    out += bytes;
}

void appendCsvLine(QByteArray &out, const CardLogEntry &e, LocalTimeText &times)
{
    times.append(out, e.msecs);
    out += ';';
    out += idKindLook(e.kind).label;
    out += ';';
    appendField(out, e.shown);
    out += ';';
    appendField(out, e.id.text());
    out += ';';
    appendField(out, e.cardType);
    out += "\r\n";
}

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

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

// ---------------------------------------------------------------- CardId

CardId::CardId(QStringView text)
{
    if (text.size() <= kMaxDigits) {
        bool hex = true;
        for (qsizetype i = 0; i < text.size() && hex; ++i) {
            const int v = hexValue(text[i]);
            hex = v >= 0;
            if (hex)
                m_nibbles[size_t(i / 2)] |= quint8(i % 2 ? v : v << 4);
        }
        if (hex) {
            m_digits = quint8(text.size());
            return;
        }
        m_nibbles.fill(0);
    }
    m_other = text.toString();
}

QString CardId::text() const
{
    if (m_digits == 0)
        return m_other;
    static const char kDigits[] = "0123456789ABCDEF";
    QString out(m_digits, Qt::Uninitialized);
    QChar *p = out.data();
    for (int i = 0; i < m_digits; ++i) {
        const quint8 byte = m_nibbles[size_t(i / 2)];
        p[i] = QLatin1Char(kDigits[i % 2 ? byte & 0x0F : byte >> 4]);
    }
    return out;
}

bool CardId::operator==(const CardId &other) const
{
    return m_digits == other.m_digits && m_nibbles == other.m_nibbles && m_other == other.m_other;
}

// ---------------------------------------------------------------- entries

CardLogEntry::CardLogEntry(qint64 since, IdKind of, QString shownText, QStringView hex, QString type)
    : msecs(since), kind(of), id(hex), shown(std::move(shownText)), cardType(std::move(type))
{
}

CardLogEntry::CardLogEntry(const QDateTime &time, IdKind of, QString shownText, QStringView hex, QString type)
    : CardLogEntry(time.toMSecsSinceEpoch(), of, std::move(shownText), hex, std::move(type))
{
}

// ---------------------------------------------------------------- local time

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

// ---------------------------------------------------------------- the log

CardLog::CardLog(const Timings &timings, QObject *parent)
    : QObject(parent), m_flushMs(timings.cardLogFlush), m_retryMs(timings.cardLogRetry)
{
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &CardLog::flush);
}

CardLog::~CardLog()
{
    stopFile();
}

QString CardLog::kindName(IdKind kind)
{
    return QString::fromLatin1(idKindLook(kind).label);
}

QByteArray CardLog::csvHeader()
{
    return QByteArray("Время;Вид идентификатора;ID (как показан);ID (HEX);Тип карты\r\n");
}

QByteArray CardLog::csvLine(const CardLogEntry &e)
{
    static LocalTimeText times;
    QByteArray line;
    appendCsvLine(line, e, times);
    return line;
}

QString CardLog::monthFileName(const QString &path, int month)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(QStringLiteral("%1-%2-%3%4")
                                   .arg(info.completeBaseName())
                                   .arg(month / 12, 4, 10, QLatin1Char('0'))
                                   .arg(month % 12 + 1, 2, 10, QLatin1Char('0'))
                                   .arg(suffix));
}

void CardLog::cardInfo(const QString &type)
{
    m_pendingType = type;
    m_typeMsecs = QDateTime::currentMSecsSinceEpoch();
}

void CardLog::addRead(const QString &raw, const QString &shown, IdKind kind)
{
    add(CardLogEntry(QDateTime::currentMSecsSinceEpoch(), kind, shown, raw));
}

void CardLog::add(const CardLogEntry &entry)
{
    m_entries.push_back(entry);
    CardLogEntry &e = m_entries.back();
    if (e.cardType.isEmpty() && !m_pendingType.isEmpty() && e.msecs - m_typeMsecs <= kInfoWindowMs) {
        e.cardType = m_pendingType;
        m_pendingType.clear();
    }
    if (m_writing)
        queueLine(e);
    Q_EMIT added(1);
    if (m_entries.size() > size_t(kHeld)) {
        m_entries.pop_front();
        Q_EMIT dropped(1);
    }
}

void CardLog::clear()
{
    m_entries.clear();
    Q_EMIT cleared();
}

void CardLog::queueLine(const CardLogEntry &e)
{
    if (m_unwrittenReads >= kKeptForFile) {
        ++m_lostReads;
        return;
    }
    const int month = m_localTime.month(e.msecs);
    if (m_pending.empty() || m_pending.back().month != month || m_pending.back().header)
        m_pending.push_back(Pending{month, QByteArray()});
    Pending &p = m_pending.back();
    appendCsvLine(p.bytes, e, m_localTime);
    ++p.reads;
    ++m_unwrittenReads;
    if (!m_flushTimer.isActive())
        m_flushTimer.start(m_problem.isEmpty() ? m_flushMs : m_retryMs);
}

bool CardLog::startFile(const QString &path, QString *error)
{
    stopFile();
    m_path = path;
    m_fileMonth = -1;
    m_lostReads = 0;
    QString reason;
    if (!openFile(&reason)) {
        if (error)
            *error = reason;
        return false;
    }
    m_writing = true;
    flush();
    return true;
}

// Opens the file for appending. A new or empty file gets the header first;
// the month of a file that has reads is taken from its last change.
bool CardLog::openFile(QString *error)
{
    QDir().mkpath(QFileInfo(m_path).path());
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = m_file.errorString();
        return false;
    }
    const bool header = !m_pending.empty() && m_pending.front().header;
    if (m_file.size() == 0) {
        m_fileMonth = -1; // until its first read
        if (header) {
            m_pending.front().done = 0;
        } else {
            if (!m_pending.empty()) { // a line begun in a file that is gone starts again
                Pending &p = m_pending.front();
                p.done = p.done > 0 ? p.bytes.lastIndexOf('\n', p.done - 1) + 1 : 0;
            }
            m_pending.push_front(Pending{0, QByteArray(kUtf8Bom) + csvHeader(), true});
        }
    } else {
        if (header && m_pending.front().done == 0)
            m_pending.pop_front();
        if (m_fileMonth < 0) {
            const QDate changed = QFileInfo(m_path).lastModified().date();
            m_fileMonth = changed.year() * 12 + changed.month() - 1;
        }
    }
    return true;
}

// The file open and meant for reads of `month` (a header: for any): a file
// of reads of an earlier month is moved aside first.
bool CardLog::prepareFileFor(int month, bool header, QString *error)
{
    if (!m_file.isOpen() && !openFile(error))
        return false;
    if (header)
        return true;
    if (m_fileMonth >= 0 && month > m_fileMonth) {
        m_file.close();
        const QFileInfo named(monthFileName(m_path, m_fileMonth));
        QString target = named.filePath();
        for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n) // never over an older one
            target = named.dir().filePath(QStringLiteral("%1-%2.%3").arg(named.completeBaseName()).arg(n).arg(named.suffix()));
        QFile current(m_path);
        if (!current.rename(target)) {
            *error = current.errorString();
            return false;
        }
        m_fileMonth = -1;
        if (!openFile(error))
            return false;
    }
    if (m_fileMonth < 0)
        m_fileMonth = month;
    return true;
}

void CardLog::flush()
{
    m_flushTimer.stop();
    if (!m_writing)
        return;
    QString error;
    if (!writePending(&error)) {
        failed(error);
        return;
    }
    if (!m_problem.isEmpty()) {
        m_problem.clear();
        Q_EMIT fileWritten();
    }
}

bool CardLog::writePending(QString *error)
{
    while (!m_pending.empty()) {
        if (!prepareFileFor(m_pending.front().month, m_pending.front().header, error))
            return false;
        Pending &p = m_pending.front();
        const qint64 left = p.bytes.size() - p.done;
        const qint64 written = left > 0 ? writeToFile(m_file, p.bytes.constData() + p.done, left, error) : 0;
        if (written > 0)
            p.done += written;
        if (written < left) {
            if (error->isEmpty())
                *error = m_file.errorString();
            return false;
        }
        m_unwrittenReads -= p.reads;
        m_pending.pop_front();
    }
    return true;
}

qint64 CardLog::writeToFile(QFile &file, const char *data, qint64 size, QString *error)
{
    qint64 written = 0;
    while (written < size) {
        const qint64 n = file.write(data + written, size - written);
        if (n <= 0) {
            *error = file.errorString();
            return written > 0 ? written : -1;
        }
        written += n;
    }
    return written;
}

// The file is closed, to be opened again at the next try: the disk, or the
// file, may come back as another one.
void CardLog::failed(const QString &reason)
{
    m_file.close();
    const bool first = m_problem.isEmpty();
    m_problem = texts::kCannotWriteFile.arg(QDir::toNativeSeparators(m_path), reason) + QStringLiteral(". ")
                + kKeptForLater;
    m_flushTimer.start(m_retryMs);
    if (first)
        Q_EMIT fileFailed(m_problem);
}

void CardLog::stopFile()
{
    QString error;
    if (m_writing)
        writePending(&error); // what can be written now is written; the rest goes
    m_writing = false;
    m_flushTimer.stop();
    m_file.close();
    m_pending.clear();
    m_unwrittenReads = 0;
    m_problem.clear();
}

bool CardLog::saveAs(const QString &path, QString *error) const
{
    QByteArray bytes = QByteArray(kUtf8Bom) + csvHeader();
    for (const CardLogEntry &e : m_entries)
        bytes += csvLine(e);
    return writeFileAtomically(path, bytes, error);
}

} // namespace limra

#include "moc_cardlog.cpp"
