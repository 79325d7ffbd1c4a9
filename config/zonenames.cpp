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

Expected<QStringList, ZoneNamesError> readZoneNames(const QString &path)
{
    const auto bytes = readSmallFile(path, kMaxFileSize);
    if (!bytes) {
        if (bytes.error().kind == FileError::Kind::TooLarge)
            return unexpected(
                ZoneNamesError{ZoneNamesError::Kind::TooLarge, QStringLiteral("файл слишком велик для имён зон прохода")});
        return unexpected(ZoneNamesError{ZoneNamesError::Kind::CannotRead, bytes.error().reason});
    }
    return zoneNamesFromBytes(*bytes);
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

Expected<void, ZoneNamesError> writeZoneNames(const QString &path, const QStringList &names)
{
    QByteArray bytes;
    for (int i = 0; i < names.size() && i < kZones; ++i) {
        QStringEncoder encode(kCodec);
        const QByteArray line = encode(names[i]);
        if (encode.hasError())
            return unexpected(ZoneNamesError{
                ZoneNamesError::Kind::Unencodable,
                QStringLiteral("Имя зоны прохода %1 содержит символы, которых нет в кодировке Windows-1251: %2")
                    .arg(i + 1)
                    .arg(names[i])});
        bytes += line + "\r\n";
    }
    if (const auto written = writeFileAtomically(path, bytes); !written)
        return unexpected(ZoneNamesError{ZoneNamesError::Kind::CannotWrite, written.error().reason});
    return {};
}

} // namespace limra
