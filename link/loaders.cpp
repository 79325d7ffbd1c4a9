#include "link/loaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/logging.h"
#include "platform/files.h"

namespace limra {

namespace {
// The list is read whole up to this size; of a larger file (never written by
// the tool) its first part is read, whole lines only: its loaders stay known.
constexpr qint64 kReadLimit = 1024 * 1024;

bool sameReader(const LoaderRegistry::Entry &e, const QString &port, const QString &location)
{
    return (!port.isEmpty() && e.port == port) || (!location.isEmpty() && e.location == location);
}

const QString kSwitching = QStringLiteral("switching");
const QString kFed = QStringLiteral("fed");

// The lock on the list: a file beside it, locked for as long as one change
// takes (a read and a write of a small file). It goes with the descriptor.
class ListLock {
public:
    explicit ListLock(const QString &listPath)
    {
        if (listPath.isEmpty())
            return;
        const QByteArray path = QFile::encodeName(listPath + QStringLiteral(".lock"));
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~ListLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ListLock(const ListLock &) = delete;
    ListLock &operator=(const ListLock &) = delete;

private:
    int m_fd = -1;
};
} // namespace

QString loaderListIn(const QString &dataFolder)
{
    return dataFolder.isEmpty() ? QString() : dataFolder + QStringLiteral("/loaders");
}

LoaderRegistry::LoaderRegistry(QString path) : m_path(std::move(path)) {}

QString LoaderRegistry::WriteError::text() const
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.reason;
}

QList<LoaderRegistry::Entry> LoaderRegistry::read() const
{
    if (m_path.isEmpty())
        return m_entries;
    const auto read = readSmallFile(m_path, kReadLimit);
    if (!read && read.error().kind != FileError::Kind::TooLarge)
        return {};
    QByteArray bytes = read.value_or(QByteArray());
    if (!read) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        bytes = file.read(kReadLimit);
        bytes.truncate(bytes.lastIndexOf('\n') + 1);
    }
    // One reader a line: port, location, identity, serial number, and what
    // the loader may hold with the port's device then, separated by tabs
    // (the last two missing in lists of earlier versions: blocks may have gone).
    QList<Entry> out;
    for (const QByteArray &line : bytes.split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if ((f.size() != 4 && f.size() != 6) || f[0].isEmpty())
            continue;
        Entry e{f[0], f[1], f[2], f[3]};
        if (f.size() == 6) {
            e.state = f[4] == kSwitching ? Entry::State::Switching : Entry::State::Fed;
            e.instance = f[5];
        }
        out.erase(std::remove_if(out.begin(), out.end(), [&](const Entry &o) { return sameReader(o, e.port, e.location); }),
                  out.end());
        out << e;
    }
    return out;
}

Expected<void, LoaderRegistry::WriteError> LoaderRegistry::write(const QList<Entry> &entries) const
{
    QByteArray bytes;
    for (const Entry &e : entries)
        bytes += QStringList{e.port, e.location, e.firmwareIdentity, e.serialNumber,
                             e.state == Entry::State::Switching ? kSwitching : kFed, e.instance}
                     .join(QLatin1Char('\t'))
                     .toUtf8()
                 + '\n';
    (void)makePrivateFolder(QFileInfo(m_path).absolutePath());
    const auto written = writeFileAtomically(m_path, bytes, FileAccess::Private);
    if (written)
        return {};
    qCWarning(lcLink) << "cannot keep the list of readers left in their loader:" << written.error().reason;
    return unexpected(WriteError{m_path, written.error()});
}

Expected<void, LoaderRegistry::WriteError> LoaderRegistry::change(const std::function<bool(QList<Entry> &)> &change)
{
    if (m_path.isEmpty()) {
        change(m_entries);
        return {};
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const ListLock lock(m_path);
    QList<Entry> entries = read();
    if (!change(entries))
        return {};
    return write(entries);
}

std::optional<LoaderRegistry::Entry> LoaderRegistry::find(const QString &port, const QString &location) const
{
    for (const Entry &e : read())
        if (sameReader(e, port, location))
            return e;
    return std::nullopt;
}

Expected<void, LoaderRegistry::WriteError> LoaderRegistry::remember(const Entry &entry)
{
    return change([&](QList<Entry> &entries) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const Entry &e) { return sameReader(e, entry.port, entry.location); }),
                      entries.end());
        entries << entry;
        return true;
    });
}

void LoaderRegistry::forget(const QString &port, const QString &location)
{
    (void)change([&](QList<Entry> &entries) {
        return entries.removeIf([&](const Entry &e) { return sameReader(e, port, location); }) > 0;
    });
}

void LoaderRegistry::readerIdentified(const QString &port, const QString &location, const QString &serialNumber)
{
    auto stale = [&](const Entry &e) {
        return sameReader(e, port, location) || (!serialNumber.isEmpty() && e.serialNumber == serialNumber);
    };
    // Read first without the lock: mostly there is nothing to change.
    const QList<Entry> now = read();
    if (std::none_of(now.begin(), now.end(), stale))
        return;
    (void)change([&](QList<Entry> &entries) { return entries.removeIf(stale) > 0; });
}

int LoaderRegistry::forgetMarks(const QString &portOrSerial)
{
    int removed = 0;
    (void)change([&](QList<Entry> &entries) {
        removed = int(entries.removeIf([&](const Entry &e) {
            return e.port == portOrSerial || e.serialNumber == portOrSerial;
        }));
        return removed > 0;
    });
    return removed;
}

QList<LoaderRegistry::Entry> LoaderRegistry::entries() const
{
    return read();
}

} // namespace limra
