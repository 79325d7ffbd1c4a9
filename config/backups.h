#pragma once
// A safety net for writes that replace the USB reader's configuration: the
// configuration the reader holds is read first (the operations' keeping
// step) and kept here as a configuration file in the user's data folder, the
// last 50 per reader, so that a write to the wrong reader or with the wrong
// values can be undone. The files alone; no reader is involved here.
#include <QByteArray>
#include <QList>
#include <QString>

#include "common/expected.h"

class QDateTime;

namespace limra {

// A kept configuration as its file name tells it; nothing of the file is read.
struct KeptConfiguration {
    QString path;
    QString reader;        // the reader's serial number, as the file name carries it
    QString stamp;         // the local time the file was made, "yyyyMMdd-HHmmss"
    qint64 sequence = 0;   // its place in the reader's order of creation; 0: made before numbering

    // The stamp as "yyyy-MM-dd HH:mm:ss".
    QString timeText() const;
};

// What a kept file holds beyond its name, for the window's extra columns.
struct KeptDetails {
    int readMode = -1;     // -1: the file did not say, or is not a configuration file
    int wiegandType = -1;
};

// Why a configuration could not be kept.
struct KeepError {
    enum class Kind { NoFolder, NoFreeName, CannotWrite };
    Kind kind = Kind::CannotWrite;
    QString text; // what the user is told: the reason
};

// The kept configuration files in one folder. A file is named after the
// reader's serial number, the local time and the reader's next number in its
// order of creation: "<serial>_<yyyyMMdd-HHmmss>_<number>.rcf". The number,
// not the time, says which file is older: a clock set back or a new time zone
// never makes a new file look old.
class KeptConfigurationStore {
public:
    static constexpr int kKeptPerReader = 50;

    explicit KeptConfigurationStore(QString folder) : m_folder(std::move(folder)) {}
    QString folder() const { return m_folder; }

    // Keeps a configuration file's bytes for the reader (its serial number;
    // empty: "reader"): writes a new file (the folder is made when missing),
    // then removes the reader's oldest files beyond kKeptPerReader, never the
    // one just written. The new file's path; on failure nothing is removed.
    Expected<QString, KeepError> store(const QString &reader, const QByteArray &configFileBytes) const;

    // The kept configurations of every reader, newest first by the time in
    // their names. Lists names only: no file is opened. Files whose names the
    // store does not make are left out, so every one listed can be opened.
    QList<KeptConfiguration> kept() const;

    // Reads one kept file for its read mode and Wiegand type.
    static KeptDetails details(const QString &path);

    // The name of a kept file; `stamp` as in KeptConfiguration.
    static QString fileName(const QString &reader, const QString &stamp, qint64 sequence);
    // Takes a file name apart; false for a name the store does not make.
    static bool parseFileName(const QString &name, KeptConfiguration *out);

private:
    QList<KeptConfiguration> readersFiles(const QString &prefix) const;

    QString m_folder;
};

} // namespace limra
