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
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <array>
#include <deque>
#include <limits>

#include "link/protocol.h"
#include "link/timings.h"

namespace limra {

// An identifier as the reader sent it, held as bytes: two upper-case hex
// digits to a byte, up to 32 digits. Anything else (lower case, other
// characters, longer) is held as it came.
class CardId {
public:
    CardId() = default;
    explicit CardId(QStringView text);
    QString text() const;
    bool operator==(const CardId &other) const;

private:
    static constexpr int kMaxDigits = 32;
    std::array<quint8, kMaxDigits / 2> m_nibbles{};
    quint8 m_digits = 0;
    QString m_other; // what is not upper-case hex of up to 32 digits
};

struct CardLogEntry {
    CardLogEntry() = default;
    CardLogEntry(qint64 msecs, IdKind kind, QString shown, QStringView hex, QString cardType = QString());
    CardLogEntry(const QDateTime &time, IdKind kind, QString shown, QStringView hex, QString cardType = QString());

    QDateTime time() const { return QDateTime::fromMSecsSinceEpoch(msecs); }
    QString hex() const { return id.text(); }

    qint64 msecs = 0;     // since the epoch
    IdKind kind = IdKind::Uid;
    CardId id;            // as the reader sent it
    QString shown;        // as the display showed it
    QString cardType;     // from the card information that came with it, if any
};

// Local times as "yyyy-MM-dd HH:mm:ss" without asking the time zone for each
// one: its offset from UTC is looked up once per quarter of an hour (offsets
// change only at quarter hours of UTC).
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
    // A card's information: the type goes with the identifier read next.
    void cardInfo(const QString &type);

    const std::deque<CardLogEntry> &entries() const { return m_entries; }
    void clear();

    // Appending to a file; false with the reason when it cannot be opened.
    bool startFile(const QString &path, QString *error = nullptr);
    void stopFile();
    // The user wants the log in the file (also while it cannot be written).
    bool writingFile() const { return m_writing; }
    QString filePath() const { return m_path; }
    // Why the file cannot be written now; empty while it can.
    QString fileProblem() const { return m_problem; }
    // Reads not yet in the file, and reads that will never be (more than
    // kKeptForFile came while the file could not be written).
    int unwrittenReads() const { return m_unwrittenReads; }
    int lostReads() const { return m_lostReads; }
    // Writes what is waiting now instead of at the next batch.
    void flush();

    // The held entries as a CSV file.
    bool saveAs(const QString &path, QString *error = nullptr) const;

    static QByteArray csvHeader();
    static QByteArray csvLine(const CardLogEntry &entry);
    static QString kindName(IdKind kind);
    // The name a file of `month` (year * 12 + month - 1) is moved aside to.
    static QString monthFileName(const QString &path, int month);

Q_SIGNALS:
    void added(int count);   // entries added at the newest end
    void dropped(int count); // entries dropped at the oldest end
    void cleared();
    // The file could not be written: which file and why, in a sentence for
    // the user. Said once until the file can be written again.
    void fileFailed(const QString &message);
    // Every read kept for the file is in it again.
    void fileWritten();

protected:
    // The one place bytes go to the file: the count written, or -1 with the
    // reason. A test puts a disk that fills up here.
    virtual qint64 writeToFile(QFile &file, const char *data, qint64 size, QString *error);

private:
    int m_flushMs;
    int m_retryMs;
    // Bytes for the file: the lines of reads of one month, or the header of a new file.
    struct Pending {
        int month;
        QByteArray bytes;
        bool header = false;
        qsizetype done = 0; // bytes in the file already
        int reads = 0;
    };
    void queueLine(const CardLogEntry &entry);
    bool openFile(QString *error);
    bool prepareFileFor(int month, bool header, QString *error);
    bool writePending(QString *error);
    void failed(const QString &reason);

    std::deque<CardLogEntry> m_entries;
    QString m_pendingType;
    qint64 m_typeMsecs = 0;
    LocalTimeText m_localTime;

    bool m_writing = false;
    QString m_path;
    QFile m_file;
    int m_fileMonth = -1;  // of the reads in the file; -1 while it has none
    std::deque<Pending> m_pending;
    int m_unwrittenReads = 0;
    int m_lostReads = 0;
    QString m_problem;
    QTimer m_flushTimer;
};

} // namespace limra
