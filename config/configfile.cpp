#include "config/configfile.h"

#include <QCryptographicHash>

#include "common/texts.h"
#include "config/codec.h"
#include "link/hextext.h"
#include "platform/files.h"

namespace limra {

namespace {
constexpr int kDigestSize = 16;
constexpr int kMinimumSize = 20;

QByteArray digestOf(const QString &blockHex)
{
    return QCryptographicHash::hash(blockHex.toLatin1(), QCryptographicHash::Md5);
}
} // namespace

QByteArray configFileBytes(const QString &items)
{
    const QString block = QStringLiteral("01") + items.toUpper();
    return digestOf(block) + hexToBytes(block);
}

ConfigFileCheck checkConfigFile(const QByteArray &bytes, QString *items)
{
    if (bytes.size() < kMinimumSize)
        return ConfigFileCheck::TooShort;
    const QString block = bytesToHex(bytes.mid(kDigestSize));
    if (digestOf(block) != bytes.left(kDigestSize))
        return ConfigFileCheck::BadDigest;
    if (quint8(bytes.at(kDigestSize)) != 0x01)
        return ConfigFileCheck::BadVersion;
    *items = block.mid(2);
    return ConfigFileCheck::Ok;
}

LoadedConfigFile loadConfigFile(const QString &path)
{
    LoadedConfigFile file;
    const auto bytes = readSmallFile(path, kMaxConfigFileSize);
    if (!bytes) {
        file.problem = bytes.error().kind == FileError::Kind::TooLarge ? LoadedConfigFile::Problem::BadFormat
                                                                       : LoadedConfigFile::Problem::CannotRead;
        file.error = bytes.error().reason;
        return file;
    }
    switch (checkConfigFile(*bytes, &file.items)) {
    case ConfigFileCheck::Ok: break;
    case ConfigFileCheck::TooShort: file.problem = LoadedConfigFile::Problem::BadFormat; break;
    case ConfigFileCheck::BadDigest: file.problem = LoadedConfigFile::Problem::BadDigest; break;
    case ConfigFileCheck::BadVersion: file.problem = LoadedConfigFile::Problem::BadVersion; break;
    }
    if (file.problem == LoadedConfigFile::Problem::None && !missingConfigItems(parseConfig(file.items)).isEmpty())
        file.problem = LoadedConfigFile::Problem::Incomplete;
    return file;
}

QString configFileProblemText(const QString &path, const LoadedConfigFile &file)
{
    switch (file.problem) {
    case LoadedConfigFile::Problem::None: break;
    case LoadedConfigFile::Problem::CannotRead: return texts::kCannotOpenFile.arg(path, file.error);
    case LoadedConfigFile::Problem::BadFormat: return QStringLiteral("Неверный формат файла.");
    case LoadedConfigFile::Problem::BadDigest: return QStringLiteral("Неверный формат файла - ошибка CRC.");
    case LoadedConfigFile::Problem::BadVersion: return QStringLiteral("Неверный формат файла - ошибка версии.");
    case LoadedConfigFile::Problem::Incomplete: return texts::kConfigurationIncomplete;
    }
    return QString();
}

bool saveConfigFile(const QString &path, const QString &items, QString *error)
{
    if (const auto written = writeFileAtomically(path, configFileBytes(items)); !written) {
        if (error)
            *error = written.error().reason;
        return false;
    }
    return true;
}

} // namespace limra
