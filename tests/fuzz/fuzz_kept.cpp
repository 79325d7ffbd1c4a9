// The kept-configuration listing over any file names (one a line of the
// input, as bytes: they need not be UTF-8). A name the store takes apart is
// one it would make again; in a folder holding those files, a new copy kept
// for a reader survives, the reader keeps at most 50, other files are left
// alone, and every file listed can be opened.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "config/backups.h"
#include "config/configfile.h"
#include "platform/files.h"

namespace {

const QString kReader = QStringLiteral("A102-0A1B2C3D");

bool usableName(const QByteArray &name)
{
    return !name.isEmpty() && name.size() <= 255 && name != "." && name != ".." && !name.contains('/')
           && !name.contains('\0');
}

int countOf(const limra::KeptConfigurationStore &store, const QString &reader)
{
    int n = 0;
    for (const limra::KeptConfiguration &k : store.kept())
        n += k.reader == reader;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using limra::KeptConfiguration;
    using limra::KeptConfigurationStore;
    const QList<QByteArray> names = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\n');

    // Names alone.
    for (const QByteArray &raw : names) {
        const QString name = QString::fromUtf8(raw);
        KeptConfiguration k;
        if (!KeptConfigurationStore::parseFileName(name, &k))
            continue;
        if (k.reader.isEmpty() || k.stamp.size() != 15 || k.sequence < 0 || !name.startsWith(k.reader + QLatin1Char('_')))
            std::abort();
        if (KeptConfigurationStore::fileName(k.reader, k.stamp, 1).left(k.reader.size() + 16) != name.left(k.reader.size() + 16))
            std::abort();
        KeptConfiguration again;
        const qint64 sequence = std::max<qint64>(k.sequence, 1);
        if (!KeptConfigurationStore::parseFileName(KeptConfigurationStore::fileName(k.reader, k.stamp, sequence), &again)
            || again.reader != k.reader || again.stamp != k.stamp || again.sequence != sequence)
            std::abort();
    }

    // A folder of such files, and one more copy kept.
    QTemporaryDir dir;
    if (!dir.isValid())
        return 0;
    const QByteArray bytes = limra::configFileBytes(
        limra::ConfigItems::parse(QByteArray::fromHex("0202100003030000400601020401010501000C0800F8E00700F8E0FF")));
    int made = 0;
    for (const QByteArray &raw : names) {
        if (!usableName(raw) || made == 64)
            continue;
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + raw;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        (void)!::write(fd, bytes.constData(), size_t(bytes.size()));
        ::close(fd);
        ++made;
    }
    const KeptConfigurationStore store(dir.path());
    const int before = countOf(store, kReader);
    const QStringList othersBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    const auto stored = store.store(kReader, bytes);
    if (!stored)
        return 0;
    const QString &path = *stored;
    if (!QFile::exists(path) || countOf(store, kReader) != std::min(before + 1, KeptConfigurationStore::kKeptPerReader))
        std::abort();
    // Files that are not this reader's kept files stay.
    for (const QString &name : othersBefore) {
        KeptConfiguration k;
        // Joined by hand: QDir takes a name that starts with ':' for a resource.
        if ((!KeptConfigurationStore::parseFileName(name, &k) || k.reader != kReader)
            && !QFile::exists(dir.path() + QLatin1Char('/') + name))
            std::abort();
    }
    for (const KeptConfiguration &k : store.kept()) {
        if (!limra::readSmallFile(k.path, limra::kMaxConfigFileSize))
            std::abort();
    }
    return 0;
}
