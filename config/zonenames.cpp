#include "config/zonenames.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace limra {

namespace {
const char kCodec[] = "windows-1251";
constexpr int kZones = 64;
// Far more than 64 names need.
constexpr qint64 kMaxFileSize = 64 * 1024;
}

QString standardZoneName(int zone)
{
    return QStringLiteral("Зона прохода ") + QString::number(zone);
}

QStringList zoneNameFiles(const QString &folder)
{
    QStringList out;
    const QFileInfoList entries =
        QDir(folder).entryInfoList({QStringLiteral("*.znm")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &fi : entries)
        if (fi.isFile())
            out << fi.fileName();
    return out;
}

bool readZoneNames(const QString &path, QStringList *names, QString *error)
{
    const auto bytes = readSmallFile(path, kMaxFileSize);
    if (!bytes) {
        *error = bytes.error().kind == FileError::Kind::TooLarge
                     ? QStringLiteral("файл слишком велик для имён зон прохода")
                     : bytes.error().reason;
        return false;
    }
    *names = zoneNamesFromBytes(*bytes);
    return true;
}

QStringList zoneNamesFromBytes(const QByteArray &bytes)
{
    QStringDecoder decode(kCodec);
    QString text = decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    QStringList names;
    for (int i = 0; i < lines.size() && i < kZones; ++i)
        names << lines[i].trimmed();
    return names;
}

bool writeZoneNames(const QString &path, const QStringList &names, QString *error)
{
    QByteArray bytes;
    for (int i = 0; i < names.size() && i < kZones; ++i) {
        QStringEncoder encode(kCodec);
        const QByteArray line = encode(names[i]);
        if (encode.hasError()) {
            *error = QStringLiteral("Имя зоны прохода %1 содержит символы, которых нет в кодировке Windows-1251: %2")
                         .arg(i + 1)
                         .arg(names[i]);
            return false;
        }
        bytes += line + "\r\n";
    }
    if (const auto written = writeFileAtomically(path, bytes); !written) {
        if (error)
            *error = written.error().reason;
        return false;
    }
    return true;
}

} // namespace limra
