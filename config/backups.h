#pragma once
// A safety net for writes that replace the USB reader's configuration: the
// configuration the reader holds is read first and kept as a configuration
// file in the user's data folder, the last 50 per reader, so that a write to
// the wrong reader or with the wrong values can be undone.
#include <QDateTime>
#include <QList>
#include <QString>


namespace limra {

struct KeptConfiguration {
    QString path;
    QString reader;     // the reader's serial number
    QDateTime time;
    int readMode = -1;  // -1: the file did not say
    int wiegandType = -1;
};

class ConfigBackups {
public:
    static constexpr int kKeptPerReader = 50;

    explicit ConfigBackups(QString folder);

    // Keeps a reader's configuration items as a configuration file; false
    // with the reason when it cannot.
    bool store(const QString &reader, const QString &items, QString *reason);

    // The kept configurations, newest first.
    QList<KeptConfiguration> kept() const;
    QString folder() const { return m_folder; }

    // The file name of a kept configuration: serial number and time.
    static QString fileName(const QString &reader, const QDateTime &time);

private:
    void rotate(const QString &reader);

    QString m_folder;
};

} // namespace limra
