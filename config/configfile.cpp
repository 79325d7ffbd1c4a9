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
constexpr char kBlockVersion = 0x01;

// The digest is over the block's upper-case hex text.
QByteArray digestOf(const QByteArray &block)
{
    return QCryptographicHash::hash(bytesToHex(block).toLatin1(), QCryptographicHash::Md5);
}

Unexpected<ConfigFileError> failure(ConfigFileError::Kind kind, const QString &reason = QString())
{
    return unexpected(ConfigFileError{kind, reason});
}
} // namespace

QByteArray configFileBytes(const ConfigItems &items)
{
    const QByteArray block = kBlockVersion + items.toBytes();
    return digestOf(block) + block;
}

Expected<ConfigItems, ConfigFileError> checkConfigFile(const QByteArray &bytes)
{
    if (bytes.size() < kMinimumSize)
        return failure(ConfigFileError::Kind::BadFormat);
    const QByteArray block = bytes.mid(kDigestSize);
    if (digestOf(block) != bytes.left(kDigestSize))
        return failure(ConfigFileError::Kind::BadDigest);
    if (block.at(0) != kBlockVersion)
        return failure(ConfigFileError::Kind::BadVersion);
    return ConfigItems::parse(block.mid(1));
}

Expected<ConfigItems, ConfigFileError> loadConfigFile(const QString &path)
{
    const auto bytes = readSmallFile(path, kMaxConfigFileSize);
    if (!bytes)
        return bytes.error().kind == FileError::Kind::TooLarge
                   ? failure(ConfigFileError::Kind::BadFormat)
                   : failure(ConfigFileError::Kind::CannotRead, bytes.error().reason);
    auto items = checkConfigFile(*bytes);
    if (items && !missingConfigItems(*items).isEmpty())
        return failure(ConfigFileError::Kind::Incomplete);
    return items;
}

QString configFileProblemText(const QString &path, const ConfigFileError &error)
{
    switch (error.kind) {
    case ConfigFileError::Kind::CannotRead: return texts::kCannotOpenFile.arg(path, error.reason);
    case ConfigFileError::Kind::BadFormat: return QStringLiteral("Неверный формат файла.");
    case ConfigFileError::Kind::BadDigest: return QStringLiteral("Неверный формат файла - ошибка CRC.");
    case ConfigFileError::Kind::BadVersion: return QStringLiteral("Неверный формат файла - ошибка версии.");
    case ConfigFileError::Kind::Incomplete: return texts::kConfigurationIncomplete;
    case ConfigFileError::Kind::CannotWrite: return texts::kCannotWriteFile.arg(path, error.reason);
    }
    return QString();
}

Expected<void, ConfigFileError> saveConfigFile(const QString &path, const ConfigItems &items)
{
    if (const auto written = writeFileAtomically(path, configFileBytes(items)); !written)
        return failure(ConfigFileError::Kind::CannotWrite, written.error().reason);
    return {};
}

} // namespace limra
