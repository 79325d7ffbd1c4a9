#include "config/configfile.h"

#include <QCryptographicHash>

#include "link/hextext.h"

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

} // namespace limra
