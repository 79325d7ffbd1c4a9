#pragma once
// The card log's file: the reads' CSV lines wait in batches until they are
// written, and the file holds the reads of one month. At the first read of
// a later month it is moved aside as NAME-YYYY-MM.csv, named after the month
// of the reads it holds, and a new file begins; older files are kept. A new
// or empty file gets the header first. Whatever cannot be written stays
// waiting for the next try.
#include <QFile>
#include <QString>
#include <deque>
#include <functional>

#include "common/expected.h"
#include "display/cardlogentry.h"
#include "display/localtimetext.h"

namespace limra {

// Why the card log's file could not be written, and what the user is told.
struct CardLogFileError {
    enum class Kind {
        Open,      // the file (or its folder) cannot be made or opened
        MoveAside, // the file of an earlier month cannot be moved aside
        Write,     // the bytes do not all reach the file
    };
    Kind kind = Kind::Write;
    QString reason;
};

class CardLogFile {
public:
    // A write cut short: how many bytes reached the file before it (0 or
    // more), and why the rest did not; empty when nothing says why.
    struct ShortWrite {
        qint64 written = 0;
        QString reason;
    };
    // Where the bytes go: all of them, or how far they got and why.
    using Writer = std::function<Expected<void, ShortWrite>(QFile &file, const char *data, qint64 size)>;

    explicit CardLogFile(Writer writer);

    // Writes every byte it can with QFile::write.
    static Expected<void, ShortWrite> writeAll(QFile &file, const char *data, qint64 size);
    // The name a file of `month` (year * 12 + month - 1) is moved aside to.
    static QString monthFileName(const QString &path, int month);

    // Opens `path` for appending, nothing lost so far.
    Expected<void, CardLogFileError> start(const QString &path);
    QString path() const { return m_path; }
    // A read's line waits for the file; false when `keptAtMost` reads wait
    // already: the read is counted as lost.
    bool queue(const CardLogEntry &entry, int keptAtMost);
    // The newest read got its card type: its line gets it too, while no byte
    // of it is in the file yet.
    void retypeNewest(const CardLogEntry &entry);
    // Writes what waits; the error when not all of it could be.
    Expected<void, CardLogFileError> write();
    // Closes the file, to be opened again at the next write.
    void close() { m_file.close(); }
    // Closes the file and forgets what waits.
    void stop();

    int unwrittenReads() const { return m_unwrittenReads; }
    int lostReads() const { return m_lostReads; }

private:
    // Bytes for the file: the lines of reads of one month, or the header of a new file.
    struct Pending {
        int month;
        QByteArray bytes;
        bool header = false;
        qsizetype done = 0; // bytes in the file already
        int reads = 0;
        int serial = 0;     // which batch it is
    };
    Expected<void, CardLogFileError> open();
    Expected<void, CardLogFileError> prepareFor(int month, bool header);

    Writer m_writer;
    LocalTimeText m_localTime;
    QString m_path;
    QFile m_file;
    int m_fileMonth = -1;  // of the reads in the file; -1 while it has none
    std::deque<Pending> m_pending;
    int m_batches = 0;               // batches begun
    int m_newestBatch = 0;           // the batch holding the newest read's line
    qsizetype m_newestLineAt = -1;   // where in it that line begins
    int m_unwrittenReads = 0;
    int m_lostReads = 0;
};

} // namespace limra
