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

    // `path` empty: remembered in memory only.
    explicit LoaderRegistry(QString path = QString());

    // The loader left on this port or at this USB location.
    std::optional<Entry> find(const QString &port, const QString &location) const;
    void remember(const Entry &entry);
    void forget(const QString &port, const QString &location);
    QList<Entry> entries() const;

private:
    void load() const;
    void save() const;

    QString m_path;
    mutable QList<Entry> m_entries;
    mutable QDateTime m_loadedStamp;
};

} // namespace limra
