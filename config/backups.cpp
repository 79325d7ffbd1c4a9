#include "config/backups.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>
#include <limits>

#include "config/configfile.h"
#include "config/readerconfig.h"
#include "common/timings.h"
#include "platform/files.h"

namespace limra {

namespace {

const QString kSuffix = QStringLiteral(".rcf");
constexpr int kStampLength = 15;           // yyyyMMdd-HHmmss
constexpr int kMaxSequenceDigits = 15;
constexpr qint64 kMaxSequence = 999'999'999'999'999;
constexpr int kSequenceWidth = 6;          // names of one reader sort by number in a file manager
constexpr quint8 kWiegandTypeTag = 0x04;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isReaderChar(QChar c)
{
    return isDigit(c) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
           || c == QLatin1Char('-') || c == QLatin1Char('_');
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), isDigit);
}

// "yyyyMMdd-HHmmss" at the end of `text`, after a "_".
bool endsWithStamp(QStringView text)
{
    if (text.size() < kStampLength + 2)
        return false;
    const QStringView stamp = text.right(kStampLength);
    return text[text.size() - kStampLength - 1] == QLatin1Char('_') && allDigits(stamp.left(8))
           && stamp[8] == QLatin1Char('-') && allDigits(stamp.mid(9));
}

// The start of a reader's file names: its serial number, made safe for a file name.
QString readerPrefix(const QString &reader)
{
    QString text = reader.isEmpty() ? QStringLiteral("reader") : reader;
    for (QChar &c : text)
        if (!isReaderChar(c))
            c = QLatin1Char('_');
    return text;
}

// Oldest first: by the order of creation, then (files made before numbering)
// by the time in the name.
bool olderFirst(const KeptConfiguration &a, const KeptConfiguration &b)
{
    if (a.sequence != b.sequence)
        return a.sequence < b.sequence;
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.path < b.path;
}

// An item's value as a number, most significant byte first; -1 for none, or
// one too large for an int.
int numberOf(const QByteArray &value)
{
    if (value.isEmpty())
        return -1;
    qint64 n = 0;
    for (char byte : value) {
        n = n << 8 | quint8(byte);
        if (n > std::numeric_limits<int>::max())
            return -1;
    }
    return int(n);
}

} // namespace

QString KeptConfiguration::timeText() const
{
    // The layout of texts::kTimeFormat, sliced out of the name: no time zone involved.
    return stamp.left(4) + QLatin1Char('-') + stamp.mid(4, 2) + QLatin1Char('-') + stamp.mid(6, 2) + QLatin1Char(' ')
           + stamp.mid(9, 2) + QLatin1Char(':') + stamp.mid(11, 2) + QLatin1Char(':') + stamp.mid(13, 2);
}

QString KeptConfigurationStore::fileName(const QString &reader, const QString &stamp, qint64 sequence)
{
    return readerPrefix(reader) + QLatin1Char('_') + stamp + QLatin1Char('_')
           + QStringLiteral("%1").arg(sequence, kSequenceWidth, 10, QLatin1Char('0')) + kSuffix;
}

bool KeptConfigurationStore::parseFileName(const QString &name, KeptConfiguration *out)
{
    if (!name.endsWith(kSuffix))
        return false;
    QStringView rest = QStringView(name).chopped(kSuffix.size());
    qint64 sequence = 0;
    qsizetype digits = 0;
    while (digits < rest.size() && isDigit(rest[rest.size() - 1 - digits]))
        ++digits;
    const qsizetype beforeDigits = rest.size() - digits;
    if (digits >= 1 && digits <= kMaxSequenceDigits && beforeDigits > 0 && rest[beforeDigits - 1] == QLatin1Char('_')
        && endsWithStamp(rest.left(beforeDigits - 1))) {
        sequence = rest.mid(beforeDigits).toLongLong();
        rest = rest.left(beforeDigits - 1);
    } else if (!endsWithStamp(rest)) {
        // Made before numbering: two files within one second had "-2", "-3", ...
        const qsizetype dash = rest.lastIndexOf(QLatin1Char('-'));
        if (dash < 0 || dash + 1 == rest.size() || !allDigits(rest.mid(dash + 1)) || !endsWithStamp(rest.left(dash)))
            return false;
        rest = rest.left(dash);
    }
    const QStringView reader = rest.left(rest.size() - kStampLength - 1);
    if (reader.isEmpty() || !std::all_of(reader.begin(), reader.end(), isReaderChar))
        return false;
    out->reader = reader.toString();
    out->stamp = rest.right(kStampLength).toString();
    out->sequence = sequence;
    return true;
}

QList<KeptConfiguration> KeptConfigurationStore::readersFiles(const QString &prefix) const
{
    QList<KeptConfiguration> out;
    for (const KeptConfiguration &k : kept())
        if (k.reader == prefix)
            out << k;
    return out;
}

Expected<QString, KeepError> KeptConfigurationStore::store(const QString &reader, const QByteArray &configFileBytes) const
{
    if (!makePrivateFolder(m_folder))
        return unexpected(KeepError{KeepError::Kind::NoFolder, QStringLiteral("не удалось создать папку ") + m_folder});
    // Copies a killed program was writing are never finished: they go.
    removeStaleTemporaries(m_folder, Timings().staleTemporary);
    const QString prefix = readerPrefix(reader);
    QList<KeptConfiguration> mine = readersFiles(prefix);
    qint64 sequence = 0;
    for (const KeptConfiguration &k : mine)
        sequence = std::max(sequence, k.sequence);
    sequence = std::min(sequence + 1, kMaxSequence);

    KeptConfiguration made;
    made.reader = prefix;
    made.stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir dir(m_folder);
    // A name taken (planted files, or the largest number reached): the next
    // free number up, or down from the largest.
    int step = 1;
    for (;;) {
        made.path = dir.filePath(fileName(prefix, made.stamp, sequence));
        const QFileInfo taken(made.path);
        if (!taken.exists() && !taken.isSymLink()) // a dangling link counts as taken
            break;
        if (sequence == kMaxSequence)
            step = -1;
        sequence += step;
        if (sequence < 1)
            return unexpected(
                KeepError{KeepError::Kind::NoFreeName, QStringLiteral("нет свободного имени файла в папке ") + m_folder});
    }
    made.sequence = sequence;
    // The reader's configuration holds its keys: the user's eyes only.
    if (const auto written = writeFileAtomically(made.path, configFileBytes, FileAccess::Private); !written)
        return unexpected(KeepError{KeepError::Kind::CannotWrite, written.error().reason});

    // The reader's oldest files beyond the limit go; the one just made stays,
    // whatever the others' names say.
    mine.removeIf([&](const KeptConfiguration &k) { return k.path == made.path; });
    std::sort(mine.begin(), mine.end(), olderFirst);
    for (qsizetype i = 0; i < mine.size() + 1 - kKeptPerReader; ++i)
        QFile::remove(mine[i].path);
    return made.path;
}

QList<KeptConfiguration> KeptConfigurationStore::kept() const
{
    QList<KeptConfiguration> out;
    QDirIterator it(m_folder, {QLatin1Char('*') + kSuffix}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        KeptConfiguration k;
        if (!parseFileName(it.fileName(), &k))
            continue;
        k.path = it.filePath();
        out << k;
    }
    std::sort(out.begin(), out.end(), [](const KeptConfiguration &a, const KeptConfiguration &b) {
        if (a.stamp != b.stamp)
            return a.stamp > b.stamp;
        return a.sequence != b.sequence ? a.sequence > b.sequence : a.path > b.path;
    });
    return out;
}

KeptDetails KeptConfigurationStore::details(const QString &path)
{
    KeptDetails d;
    const auto bytes = readSmallFile(path, kMaxConfigFileSize);
    if (!bytes)
        return d;
    const auto items = checkConfigFile(*bytes);
    if (!items)
        return d;
    d.readMode = numberOf(items->value(tag::ReadMode));
    d.wiegandType = numberOf(items->value(kWiegandTypeTag));
    return d;
}

} // namespace limra
