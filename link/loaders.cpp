#include "link/loaders.h"

#include <QFileInfo>
#include <QStringList>

#include "common/logging.h"
#include "platform/files.h"

namespace limra {

namespace {
constexpr qint64 kMaxFileSize = 64 * 1024;

bool sameReader(const LoaderRegistry::Entry &e, const QString &port, const QString &location)
{
    return (!port.isEmpty() && e.port == port) || (!location.isEmpty() && e.location == location);
}
} // namespace

LoaderRegistry::LoaderRegistry(QString path) : m_path(std::move(path)) {}

LoaderRegistry::Stamp LoaderRegistry::stampOf(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? Stamp{info.lastModified(), info.size()} : Stamp{};
}

void LoaderRegistry::load() const
{
    if (m_path.isEmpty())
        return;
    // Read again only when the file changed since it was last read or
    // written here (another of the tool's programs wrote it, or it was
    // removed). While it cannot be written, what is remembered stays in memory.
    const Stamp stamp = stampOf(m_path);
    if (stamp == m_stamp)
        return;
    m_stamp = stamp;
    m_entries.clear();
    QByteArray bytes;
    if (!stamp.time.isValid() || readSmallFile(m_path, kMaxFileSize, &bytes) != FileReadProblem::None)
        return;
    // One reader a line: port, location, identity, serial number, separated by tabs.
    for (const QByteArray &line : bytes.split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (f.size() == 4 && !f[0].isEmpty())
            m_entries << Entry{f[0], f[1], f[2], f[3]};
    }
}

void LoaderRegistry::save() const
{
    if (m_path.isEmpty())
        return;
    QByteArray bytes;
    for (const Entry &e : m_entries)
        bytes += QStringList{e.port, e.location, e.firmwareIdentity, e.serialNumber}.join(QLatin1Char('\t')).toUtf8()
                 + '\n';
    QString error;
    makePrivateFolder(QFileInfo(m_path).absolutePath());
    if (!writeFileAtomically(m_path, bytes, &error, FileAccess::Private))
        qCWarning(lcLink) << "cannot keep the list of readers left in their loader:" << error;
    m_stamp = stampOf(m_path);
}

std::optional<LoaderRegistry::Entry> LoaderRegistry::find(const QString &port, const QString &location) const
{
    load();
    for (const Entry &e : m_entries)
        if (sameReader(e, port, location))
            return e;
    return std::nullopt;
}

void LoaderRegistry::remember(const Entry &entry)
{
    load();
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry &e) { return sameReader(e, entry.port, entry.location); }),
                    m_entries.end());
    m_entries << entry;
    save();
}

void LoaderRegistry::forget(const QString &port, const QString &location)
{
    load();
    const qsizetype before = m_entries.size();
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry &e) { return sameReader(e, port, location); }),
                    m_entries.end());
    if (m_entries.size() != before)
        save();
}

QList<LoaderRegistry::Entry> LoaderRegistry::entries() const
{
    load();
    return m_entries;
}

} // namespace limra
