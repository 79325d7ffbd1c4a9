#pragma once
// Readers the tool left in their firmware loader (an upload that failed or
// was cut off), remembered by port name and USB location with the identity
// their firmware sections are found by, so that no command is ever sent to
// such a port and the upload can be finished later, also by another run of
// the tool. Kept in a small file shared by the tool's programs.
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace limra {

class LoaderRegistry {
public:
    struct Entry {
        QString port;
        QString location;         // the USB location, empty when not known
        QString firmwareIdentity; // 8 hex digits
        QString serialNumber;     // as the status bar showed it
    };

    // `path` empty: remembered in memory only. The file's folder is made
    // when missing; while the file cannot be written, entries are kept in
    // memory.
    explicit LoaderRegistry(QString path = QString());

    // The loader left on this port or at this USB location.
    std::optional<Entry> find(const QString &port, const QString &location) const;
    void remember(const Entry &entry);
    void forget(const QString &port, const QString &location);
    QList<Entry> entries() const;

private:
    // When and how big the file was; nothing when it is not there.
    struct Stamp {
        QDateTime time;
        qint64 size = -1;
        bool operator==(const Stamp &o) const { return time == o.time && size == o.size; }
    };
    static Stamp stampOf(const QString &path);
    void load() const;
    void save() const;

    QString m_path;
    mutable QList<Entry> m_entries;
    mutable Stamp m_stamp;
};

} // namespace limra
