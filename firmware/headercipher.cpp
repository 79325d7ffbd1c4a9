#include "firmware/headercipher.h"

#include <cryptopp/rc6.h>

namespace limra {

namespace {
constexpr int kBlockSize = 16;

template <class Direction>
QByteArray runBlock(const QByteArray &block, const QByteArray &key)
{
    if (block.size() != kBlockSize || key.size() != kBlockSize)
        return QByteArray();
    Direction cipher(reinterpret_cast<const CryptoPP::byte *>(key.constData()), size_t(key.size()));
    QByteArray out(kBlockSize, Qt::Uninitialized);
    cipher.ProcessBlock(reinterpret_cast<const CryptoPP::byte *>(block.constData()),
                        reinterpret_cast<CryptoPP::byte *>(out.data()));
    return out;
}
} // namespace

QByteArray headerKey()
{
    return QByteArray::fromHex("3C9E71B04AD25F86E0297BC4158A6D3F");
}

QByteArray decipherHeader(const QByteArray &block, const QByteArray &key)
{
    return runBlock<CryptoPP::RC6::Decryption>(block, key);
}

QByteArray encipherHeader(const QByteArray &block, const QByteArray &key)
{
    return runBlock<CryptoPP::RC6::Encryption>(block, key);
}

} // namespace limra
