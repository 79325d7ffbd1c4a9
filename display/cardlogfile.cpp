#include "display/cardlogfile.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include "display/cardlogcsv.h"
#include "platform/files.h"

namespace limra {

CardLogFile::CardLogFile(Writer writer) : m_writer(std::move(writer))
{
}

QString CardLogFile::monthFileName(const QString &path, int month)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(QStringLiteral("%1-%2-%3%4")
                                   .arg(info.completeBaseName())
                                   .arg(month / 12, 4, 10, QLatin1Char('0'))
                                   .arg(month % 12 + 1, 2, 10, QLatin1Char('0'))
                                   .arg(suffix));
}

void CardLogFile::retypeNewest(const CardLogEntry &newest)
{
    if (!m_pending.empty() && m_pending.back().serial == m_newestBatch && m_newestLineAt >= 0
        && m_newestLineAt >= m_pending.back().done) {
        Pending &p = m_pending.back();
        p.bytes.truncate(m_newestLineAt);
        appendCardLogCsvLine(p.bytes, newest, m_localTime);
    }
}

bool CardLogFile::queue(const CardLogEntry &e, int keptAtMost)
{
    if (m_unwrittenReads >= keptAtMost) {
        ++m_lostReads;
        return false;
    }
    const int month = m_localTime.month(e.msecs);
    if (m_pending.empty() || m_pending.back().month != month || m_pending.back().header)
        m_pending.push_back(Pending{month, QByteArray()});
    Pending &p = m_pending.back();
    if (p.serial == 0)
        p.serial = ++m_batches;
    m_newestBatch = p.serial;
    m_newestLineAt = p.bytes.size();
    appendCardLogCsvLine(p.bytes, e, m_localTime);
    ++p.reads;
    ++m_unwrittenReads;
    return true;
}

bool CardLogFile::start(const QString &path, QString *error)
{
    m_path = path;
    m_fileMonth = -1;
    m_lostReads = 0;
    return open(error);
}

// Opens the file for appending. A new or empty file gets the header first;
// the month of a file that has reads is taken from its last change.
bool CardLogFile::open(QString *error)
{
    // The reads are the user's own: a private folder and file.
    if (!makePrivateFolder(QFileInfo(m_path).path(), error) || !makePrivateFile(m_path, error))
        return false;
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
            m_pending.push_front(Pending{0, QByteArray(kCsvByteOrderMark) + cardLogCsvHeader(), true});
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
bool CardLogFile::prepareFor(int month, bool header, QString *error)
{
    if (!m_file.isOpen() && !open(error))
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
        if (!open(error))
            return false;
    }
    if (m_fileMonth < 0)
        m_fileMonth = month;
    return true;
}

bool CardLogFile::write(QString *error)
{
    while (!m_pending.empty()) {
        if (!prepareFor(m_pending.front().month, m_pending.front().header, error))
            return false;
        Pending &p = m_pending.front();
        const qint64 left = p.bytes.size() - p.done;
        const qint64 written = left > 0 ? m_writer(m_file, p.bytes.constData() + p.done, left, error) : 0;
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

qint64 CardLogFile::writeAll(QFile &file, const char *data, qint64 size, QString *error)
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

void CardLogFile::stop()
{
    m_file.close();
    m_pending.clear();
    m_unwrittenReads = 0;
}

} // namespace limra
