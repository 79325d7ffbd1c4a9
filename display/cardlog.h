#pragma once
// The card log: every identifier read, with its time, kind, the text shown
// in the current view, its hex form and the card's type. The last 10,000
// reads are held while the tool runs; when the user turns it on, every read
// is also appended to a CSV file (UTF-8, a header line, ';' between fields,
// as spreadsheets of a Russian desktop open it).
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <deque>

#include "link/protocol.h"

namespace limra {

struct CardLogEntry {
    QDateTime time;
    IdKind kind = IdKind::Uid;
    QString shown;     // as the display showed it
    QString hex;       // as the reader sent it
    QString cardType;  // from the card information that came with it, if any
};

class CardLog : public QObject {
    Q_OBJECT
public:
    static constexpr int kHeld = 10000;
    // Lines written to the file reach the disk at least this often.
    static constexpr int kFlushMs = 200;

    explicit CardLog(QObject *parent = nullptr);
    ~CardLog() override;

    void add(const CardLogEntry &entry);
    // A card's information: the type goes with the identifier read next.
    void cardInfo(const QString &type);

    const std::deque<CardLogEntry> &entries() const { return m_entries; }
    void clear();

    // Appending to a file; false with the reason when it cannot be opened.
    bool startFile(const QString &path, QString *error = nullptr);
    void stopFile();
    bool writingFile() const { return m_file.isOpen(); }
    QString filePath() const { return m_file.fileName(); }

    // The held entries as a CSV file.
    bool saveAs(const QString &path, QString *error = nullptr) const;

    static QByteArray csvHeader();
    static QByteArray csvLine(const CardLogEntry &entry);
    static QString kindName(IdKind kind);

Q_SIGNALS:
    void added(int count);   // entries added at the newest end
    void dropped(int count); // entries dropped at the oldest end
    void cleared();

private:
    void flush();

    std::deque<CardLogEntry> m_entries;
    QString m_pendingType;
    QDateTime m_typeTime;
    QFile m_file;
    QTimer m_flushTimer;
};

} // namespace limra
