#pragma once
// The card log: every identifier read, with its time, kind, the text shown
// in the current view, its hex form and the card's type. The last 10,000
// reads are held while the tool runs; when the user turns it on, every read
// is also appended to a CSV file (UTF-8, a header line, ';' between fields,
// as spreadsheets of a Russian desktop open it).
//
// The file is cards.csv (the name the window is given) and holds the reads
// of one month: at the first read of a later month it is moved aside as
// cards-YYYY-MM.csv, named after the month of the reads it holds, and a new
// cards.csv begins. Older files are kept.
//
// Reads reach the file in batches, at least every 200 ms. When the file
// cannot be written (a full disk, a removed stick) the log says so once,
// with the file and the reason, keeps the reads that did not reach it, tries
// again every second and writes them all when it can.
#include <QFile>
#include <QObject>
#include <QTimer>
#include <deque>

#include "display/cardlogentry.h"
#include "display/cardlogfile.h"
#include "link/protocol.h"
#include "common/timings.h"
#include "platform/files.h"

namespace limra {

class CardLog : public QObject {
    Q_OBJECT
public:
    static constexpr int kHeld = 10000;
    // Reads kept for the file while it cannot be written; later ones are counted, not kept.
    static constexpr int kKeptForFile = 200000;

    explicit CardLog(const Timings &timings = Timings(), QObject *parent = nullptr);
    ~CardLog() override;

    // A card read, as the presenter reports it; the time is now.
    void addRead(const QString &raw, const QString &shown, IdKind kind);
    void add(const CardLogEntry &entry);
    // A card's information: the type goes with the identifier just read
    // when it has none yet (the display shows them together), else with the
    // identifier read next; within a second either way.
    void cardInfo(const QString &type);

    const std::deque<CardLogEntry> &entries() const { return m_entries; }
    void clear();

    // Appending to a file; the error when it cannot be opened.
    Expected<void, CardLogFileError> startFile(const QString &path);
    void stopFile();
    // The user wants the log in the file (also while it cannot be written).
    bool writingFile() const { return m_writing; }
    QString filePath() const { return m_file.path(); }
    // Why the file cannot be written now; empty while it can.
    QString fileProblem() const { return m_problem; }
    // Reads not yet in the file, and reads that will never be (more than
    // kKeptForFile came while the file could not be written).
    int unwrittenReads() const { return m_file.unwrittenReads(); }
    int lostReads() const { return m_file.lostReads(); }
    // Writes what is waiting now instead of at the next batch.
    void flush();

    // The held entries as a CSV file.
    Expected<void, FileError> saveAs(const QString &path) const;

    static QByteArray csvHeader();
    static QByteArray csvLine(const CardLogEntry &entry);
    static QString kindName(IdKind kind);
    // The name a file of `month` (year * 12 + month - 1) is moved aside to.
    static QString monthFileName(const QString &path, int month);

Q_SIGNALS:
    void added(int count);   // entries added at the newest end
    void newestChanged();    // the newest entry got its card type
    void dropped(int count); // entries dropped at the oldest end
    void cleared();
    // The file could not be written: which file and why, in a sentence for
    // the user. Said once until the file can be written again.
    void fileFailed(const QString &message);
    // Every read kept for the file is in it again.
    void fileWritten();

protected:
    // The one place bytes go to the file: all of them, or how far they got
    // and why. A test puts a disk that fills up here.
    virtual Expected<void, CardLogFile::ShortWrite> writeToFile(QFile &file, const char *data, qint64 size);

private:
    void queueLine(const CardLogEntry &entry);
    void failed(const QString &reason);

    int m_flushMs;
    int m_retryMs;
    int m_infoWindowMs; // card information this near an identifier is its card's
    std::deque<CardLogEntry> m_entries;
    QString m_pendingType;
    qint64 m_typeMsecs = 0;

    bool m_writing = false;
    CardLogFile m_file;
    QString m_problem;
    QTimer m_flushTimer;
};

} // namespace limra
