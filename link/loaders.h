#pragma once
// Readers the tool left in their firmware loader (an update that failed, was
// cut off, or runs in another program), remembered by port name and USB
// location with the identity their firmware sections are found by and the
// serial number the reader had, so that no command is ever sent to such a
// port and the upload can be finished later, also by another run of the
// tool. A mark also says whether the loader may have taken blocks, and the
// port's device as it was then: a loader that took blocks and was not
// restarted since (the same device) must be restarted before an upload.
// Kept in a small file shared by the tool's programs; every change is a
// read-modify-write under a lock, so that programs side by side lose none.
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "common/expected.h"
#include "platform/files.h"

namespace limra {

// Where the list lives in the tool's data folder; none without a folder.
QString loaderListIn(const QString &dataFolder);

class LoaderRegistry {
public:
    struct Entry {
        // What the loader may hold when the mark was written.
        enum class State {
            Switching, // the reader was told to switch: its loader took nothing
            Fed,       // blocks may have gone to the loader
        };
        QString port;
        QString location;         // the USB location, empty when not known
        QString firmwareIdentity; // 8 hex digits
        QString serialNumber;     // as the status bar showed it
        State state = State::Fed;
        QString instance {};      // the port's device when the mark was written (portInstance)
    };

    // A mark that could not be written: the list's file, and why.
    struct WriteError {
        QString path;
        FileError file;
        // As the user is told: the file and the reason.
        QString text() const;
    };

    // `path` empty: remembered in memory only. The file's folder is made
    // when missing.
    explicit LoaderRegistry(QString path = QString());

    // The loader left on this port or at this USB location.
    std::optional<Entry> find(const QString &port, const QString &location) const;
    // The error when the mark cannot be written: then nothing may be done
    // that leaves the reader in its loader.
    Expected<void, WriteError> remember(const Entry &entry);
    void forget(const QString &port, const QString &location);
    // A reader identified itself as a reader: no mark of its serial number,
    // nor of its port or location, stands.
    void readerIdentified(const QString &port, const QString &location, const QString &serialNumber);
    // Removes the marks of a port or a serial number; how many there were.
    int forgetMarks(const QString &portOrSerial);
    QList<Entry> entries() const;

private:
    QList<Entry> read() const;
    Expected<void, WriteError> write(const QList<Entry> &entries) const;
    // Runs `change` on the list as the file holds it now, under the lock,
    // and writes the result when it changed.
    Expected<void, WriteError> change(const std::function<bool(QList<Entry> &)> &change);

    QString m_path;
    QList<Entry> m_entries; // in memory only
};

} // namespace limra
