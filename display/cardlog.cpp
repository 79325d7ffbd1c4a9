#include "display/cardlog.h"

#include <QDir>

#include "common/texts.h"
#include "display/cardlogcsv.h"
#include "display/idkinds.h"
#include "display/localtimetext.h"
#include "platform/files.h"

namespace limra {

namespace {
// Card information goes with an identifier read within this long after it.
const QString kKeptForLater = QStringLiteral(
    "Чтения карт сохраняются в памяти и будут дописаны в файл, когда запись снова станет возможной.");
} // namespace

CardLog::CardLog(const Timings &timings, QObject *parent)
    : QObject(parent), m_flushMs(timings.cardLogFlush), m_retryMs(timings.cardLogRetry),
      m_infoWindowMs(timings.cardInfoWindow),
      m_file([this](QFile &file, const char *data, qint64 size) { return writeToFile(file, data, size); })
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
    return cardLogCsvHeader();
}

QByteArray CardLog::csvLine(const CardLogEntry &e)
{
    static LocalTimeText times;
    QByteArray line;
    appendCardLogCsvLine(line, e, times);
    return line;
}

QString CardLog::monthFileName(const QString &path, int month)
{
    return CardLogFile::monthFileName(path, month);
}

void CardLog::cardInfo(const QString &type)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!m_entries.empty() && m_entries.back().cardType.isEmpty() && now - m_entries.back().msecs <= m_infoWindowMs
        && !type.isEmpty()) {
        CardLogEntry &newest = m_entries.back();
        newest.cardType = type;
        // Its line, while no byte of it is in the file yet, gets the type too.
        if (m_writing)
            m_file.retypeNewest(newest);
        Q_EMIT newestChanged();
        return;
    }
    m_pendingType = type;
    m_typeMsecs = now;
}

void CardLog::addRead(const QString &raw, const QString &shown, IdKind kind)
{
    add(CardLogEntry(QDateTime::currentMSecsSinceEpoch(), kind, shown, raw));
}

void CardLog::add(const CardLogEntry &entry)
{
    m_entries.push_back(entry);
    CardLogEntry &e = m_entries.back();
    if (e.cardType.isEmpty() && !m_pendingType.isEmpty() && e.msecs - m_typeMsecs <= m_infoWindowMs) {
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
    if (!m_file.queue(e, kKeptForFile))
        return;
    if (!m_flushTimer.isActive())
        m_flushTimer.start(m_problem.isEmpty() ? m_flushMs : m_retryMs);
}

Expected<void, CardLogFileError> CardLog::startFile(const QString &path)
{
    stopFile();
    if (const auto started = m_file.start(path); !started)
        return started;
    m_writing = true;
    flush();
    return {};
}

void CardLog::flush()
{
    m_flushTimer.stop();
    if (!m_writing)
        return;
    if (const auto written = m_file.write(); !written) {
        failed(written.error().reason);
        return;
    }
    if (!m_problem.isEmpty()) {
        m_problem.clear();
        Q_EMIT fileWritten();
    }
}

Expected<void, CardLogFile::ShortWrite> CardLog::writeToFile(QFile &file, const char *data, qint64 size)
{
    return CardLogFile::writeAll(file, data, size);
}

// The file is closed, to be opened again at the next try: the disk, or the
// file, may come back as another one.
void CardLog::failed(const QString &reason)
{
    m_file.close();
    const bool first = m_problem.isEmpty();
    m_problem = texts::kCannotWriteFile.arg(QDir::toNativeSeparators(m_file.path()), reason) + QStringLiteral(". ")
                + kKeptForLater;
    m_flushTimer.start(m_retryMs);
    if (first)
        Q_EMIT fileFailed(m_problem);
}

void CardLog::stopFile()
{
    if (m_writing)
        (void)m_file.write(); // what can be written now is written; the rest goes
    m_writing = false;
    m_flushTimer.stop();
    m_file.stop();
    m_problem.clear();
}

Expected<void, FileError> CardLog::saveAs(const QString &path) const
{
    QByteArray bytes = QByteArray(kCsvByteOrderMark) + csvHeader();
    for (const CardLogEntry &e : m_entries)
        bytes += csvLine(e);
    return writeFileAtomically(path, bytes);
}

} // namespace limra

#include "moc_cardlog.cpp"
