#pragma once
// A safety net for writes that replace the USB reader's configuration: the
// configuration the reader holds is read first and kept as a configuration
// file in the user's data folder, the last 50 per reader, so that a write to
// the wrong reader or with the wrong values can be undone.
#include <QDateTime>
#include <QList>
#include <QString>

#include "link/operation.h"

namespace limra {

class ReaderSession;

struct KeptConfiguration {
    QString path;
    QString reader;     // the reader's serial number
    QDateTime time;
    int readMode = -1;  // -1: the file did not say
    int wiegandType = -1;
};

class ConfigBackups : public ReaderOperation {
public:
    static constexpr int kKeptPerReader = 50;

    ConfigBackups(ReaderLink &link, const ReaderSession &session, UserDialogs &dialogs, QString folder);

    // Before a write: reads the reader's configuration and keeps it. When
    // that fails the user is told why and asked whether to write anyway;
    // false when the write is not to happen.
    bool keepBeforeWrite();

    // The kept configurations, newest first.
    QList<KeptConfiguration> kept() const;
    QString folder() const { return m_folder; }

    // The file name of a kept configuration: serial number and time.
    static QString fileName(const QString &reader, const QDateTime &time);

private:
    bool keep(QString *reason);
    void rotate(const QString &reader);

    const ReaderSession &m_session;
    QString m_folder;
};

} // namespace limra
