#include "config/backups.h"

#include <QDir>
#include <QRegularExpression>

#include "config/configfile.h"
#include "config/readerconfig.h"
#include "link/hextext.h"
#include "platform/files.h"

namespace limra {

namespace {
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

// The start of a reader's file names: its serial number, made safe for a file name.
QString readerPrefix(const QString &reader)
{
    QString text = reader.isEmpty() ? QStringLiteral("reader") : reader;
    return text.replace(QRegularExpression(QStringLiteral("[^0-9A-Za-z-]")), QStringLiteral("_"));
}
} // namespace

ConfigBackups::ConfigBackups(QString folder) : m_folder(std::move(folder)) {}

QString ConfigBackups::fileName(const QString &reader, const QDateTime &time)
{
    return readerPrefix(reader) + QLatin1Char('_')
           + time.toString(kTimeFormat) + QStringLiteral(".rcf");
}

bool ConfigBackups::store(const QString &reader, const QString &items, QString *reason)
{
    if (!QDir().mkpath(m_folder)) {
        *reason = QStringLiteral("не удалось создать папку ") + m_folder;
        return false;
    }
    const QString name = fileName(reader, QDateTime::currentDateTime());
    QString path = QDir(m_folder).filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n) // two writes within a second
        path = QDir(m_folder).filePath(name.chopped(4) + QStringLiteral("-%1.rcf").arg(n));
    QString error;
    if (!writeFileAtomically(path, configFileBytes(items), &error)) {
        *reason = error;
        return false;
    }
    rotate(reader);
    return true;
}

void ConfigBackups::rotate(const QString &reader)
{
    QDir dir(m_folder);
    QStringList mine = dir.entryList({readerPrefix(reader) + QStringLiteral("_*.rcf")}, QDir::Files, QDir::Name);
    while (mine.size() > kKeptPerReader)
        dir.remove(mine.takeFirst()); // the oldest: names sort by time
}

QList<KeptConfiguration> ConfigBackups::kept() const
{
    QList<KeptConfiguration> out;
    QDir dir(m_folder);
    static const QRegularExpression name(QStringLiteral("^(.*)_(\\d{8}-\\d{6})(-\\d+)?\\.rcf$"));
    const QStringList files = dir.entryList({QStringLiteral("*.rcf")}, QDir::Files);
    for (const QString &file : files) {
        const QRegularExpressionMatch m = name.match(file);
        if (!m.hasMatch())
            continue;
        KeptConfiguration k;
        k.path = dir.filePath(file);
        k.reader = m.captured(1);
        k.time = QDateTime::fromString(m.captured(2), kTimeFormat);
        QByteArray bytes;
        QString items;
        if (readSmallFile(k.path, kMaxConfigFileSize, &bytes) == FileReadProblem::None
            && checkConfigFile(bytes, &items) == ConfigFileCheck::Ok) {
            const ConfigTable table = parseConfig(items);
            bool ok = false;
            const int mode = table[tag::ReadMode].toInt(&ok, 16);
            k.readMode = ok ? mode : -1;
            const int wiegand = table[0x04].toInt(&ok, 16);
            k.wiegandType = ok ? wiegand : -1;
        }
        out << k;
    }
    std::sort(out.begin(), out.end(), [](const KeptConfiguration &a, const KeptConfiguration &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return out;
}

} // namespace limra
