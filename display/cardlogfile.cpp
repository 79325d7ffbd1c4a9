#include "display/cardlogfile.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

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

Expected<void, CardLogFileError> CardLogFile::start(const QString &path)
{
    m_path = path;
    m_fileMonth = -1;
    m_lostReads = 0;
    return open();
}

// Opens the file for appending. A new or empty file gets the header first;
// the month of a file that has reads is taken from its last change.
Expected<void, CardLogFileError> CardLogFile::open()
{
    // The reads are the user's own: a private folder and file.
    if (const auto folder = makePrivateFolder(QFileInfo(m_path).path()); !folder)
        return unexpected(CardLogFileError{CardLogFileError::Kind::Open, folder.error().reason});
    if (const auto file = makePrivateFile(m_path); !file)
        return unexpected(CardLogFileError{CardLogFileError::Kind::Open, file.error().reason});
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return unexpected(CardLogFileError{CardLogFileError::Kind::Open, m_file.errorString()});
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
    return {};
}

// The file open and meant for reads of `month` (a header: for any): a file
// of reads of an earlier month is moved aside first.
Expected<void, CardLogFileError> CardLogFile::prepareFor(int month, bool header)
{
    if (!m_file.isOpen())
        if (const auto opened = open(); !opened)
            return opened;
    if (header)
        return {};
    if (m_fileMonth >= 0 && month > m_fileMonth) {
        m_file.close();
        const QFileInfo named(monthFileName(m_path, m_fileMonth));
        QString target = named.filePath();
        for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n) // never over an older one
            target = named.dir().filePath(QStringLiteral("%1-%2.%3").arg(named.completeBaseName()).arg(n).arg(named.suffix()));
        QFile current(m_path);
        if (!current.rename(target))
            return unexpected(CardLogFileError{CardLogFileError::Kind::MoveAside, current.errorString()});
        m_fileMonth = -1;
        if (const auto opened = open(); !opened)
            return opened;
    }
    if (m_fileMonth < 0)
        m_fileMonth = month;
    return {};
}

Expected<void, CardLogFileError> CardLogFile::write()
{
    while (!m_pending.empty()) {
        if (const auto prepared = prepareFor(m_pending.front().month, m_pending.front().header); !prepared)
            return prepared;
        Pending &p = m_pending.front();
        const qint64 left = p.bytes.size() - p.done;
        if (left > 0) {
            const auto written = m_writer(m_file, p.bytes.constData() + p.done, left);
            if (!written) {
                p.done += std::max<qint64>(written.error().written, 0);
                const QString &reason = written.error().reason;
                return unexpected(
                    CardLogFileError{CardLogFileError::Kind::Write, reason.isEmpty() ? m_file.errorString() : reason});
            }
            p.done += left;
        }
        m_unwrittenReads -= p.reads;
        m_pending.pop_front();
    }
    return {};
}

Expected<void, CardLogFile::ShortWrite> CardLogFile::writeAll(QFile &file, const char *data, qint64 size)
{
    qint64 written = 0;
    while (written < size) {
        const qint64 n = file.write(data + written, size - written);
        if (n <= 0)
            return unexpected(ShortWrite{written, file.errorString()});
        written += n;
    }
    return {};
}

void CardLogFile::stop()
{
    m_file.close();
    m_pending.clear();
    m_unwrittenReads = 0;
}

} // namespace limra
