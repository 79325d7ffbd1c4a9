#include "firmware/headercipher.h"

#include <algorithm>
#include <cstring>

namespace limra {

namespace {
constexpr std::uint32_t kP32 = 0xB7E15163u; // Odd((e - 2) * 2^32)
constexpr std::uint32_t kQ32 = 0x9E3779B9u; // Odd((phi - 1) * 2^32)

std::uint32_t rotl(std::uint32_t x, std::uint32_t n)
{
    n &= 31u;
    return n ? (x << n) | (x >> (32u - n)) : x;
}

std::uint32_t rotr(std::uint32_t x, std::uint32_t n)
{
    n &= 31u;
    return n ? (x >> n) | (x << (32u - n)) : x;
}

std::uint32_t loadLittle(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void storeLittle(std::uint32_t v, std::uint8_t *p)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// f(x) = (x * (2x + 1)) <<< lg w, lg 32 = 5.
std::uint32_t mix(std::uint32_t x)
{
    return rotl(x * (2u * x + 1u), 5);
}

enum class Direction { Encrypt, Decrypt };

QByteArray runBlock(const QByteArray &block, const QByteArray &key, Direction direction)
{
    if (block.size() != Rc6::kBlockSize || key.size() != Rc6::kKeySize)
        return QByteArray();
    std::uint8_t keyBytes[Rc6::kKeySize];
    std::memcpy(keyBytes, key.constData(), sizeof keyBytes);
    const Rc6 cipher(keyBytes);
    QByteArray out(Rc6::kBlockSize, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const std::uint8_t *>(block.constData());
    auto *to = reinterpret_cast<std::uint8_t *>(out.data());
    if (direction == Direction::Encrypt)
        cipher.encryptBlock(in, to);
    else
        cipher.decryptBlock(in, to);
    return out;
}
} // namespace

Rc6::Rc6(const std::uint8_t (&key)[kKeySize])
{
    constexpr int kKeyWords = kKeySize / 4;
    std::uint32_t l[kKeyWords];
    for (int i = 0; i < kKeyWords; ++i)
        l[i] = loadLittle(key + 4 * i);
    m_s[0] = kP32;
    for (size_t i = 1; i < m_s.size(); ++i)
        m_s[i] = m_s[i - 1] + kQ32;
    std::uint32_t a = 0, b = 0;
    size_t i = 0, j = 0;
    const size_t steps = 3 * std::max(m_s.size(), size_t(kKeyWords));
    for (size_t s = 0; s < steps; ++s) {
        a = m_s[i] = rotl(m_s[i] + a + b, 3);
        b = l[j] = rotl(l[j] + a + b, a + b);
        i = (i + 1) % m_s.size();
        j = (j + 1) % kKeyWords;
    }
}

void Rc6::encryptBlock(const std::uint8_t *in, std::uint8_t *out) const
{
    std::uint32_t a = loadLittle(in), b = loadLittle(in + 4), c = loadLittle(in + 8), d = loadLittle(in + 12);
    b += m_s[0];
    d += m_s[1];
    for (int i = 1; i <= kRounds; ++i) {
        const std::uint32_t t = mix(b);
        const std::uint32_t u = mix(d);
        a = rotl(a ^ t, u) + m_s[size_t(2 * i)];
        c = rotl(c ^ u, t) + m_s[size_t(2 * i + 1)];
        const std::uint32_t first = a;
        a = b;
        b = c;
        c = d;
        d = first;
    }
    a += m_s[2 * kRounds + 2];
    c += m_s[2 * kRounds + 3];
    storeLittle(a, out);
    storeLittle(b, out + 4);
    storeLittle(c, out + 8);
    storeLittle(d, out + 12);
}

void Rc6::decryptBlock(const std::uint8_t *in, std::uint8_t *out) const
{
    std::uint32_t a = loadLittle(in), b = loadLittle(in + 4), c = loadLittle(in + 8), d = loadLittle(in + 12);
    c -= m_s[2 * kRounds + 3];
    a -= m_s[2 * kRounds + 2];
    for (int i = kRounds; i >= 1; --i) {
        const std::uint32_t last = d;
        d = c;
        c = b;
        b = a;
        a = last;
        const std::uint32_t u = mix(d);
        const std::uint32_t t = mix(b);
        c = rotr(c - m_s[size_t(2 * i + 1)], t) ^ u;
        a = rotr(a - m_s[size_t(2 * i)], u) ^ t;
    }
    d -= m_s[1];
    b -= m_s[0];
    storeLittle(a, out);
    storeLittle(b, out + 4);
    storeLittle(c, out + 8);
    storeLittle(d, out + 12);
}

QByteArray headerKey()
{
    return QByteArray::fromHex("3C9E71B04AD25F86E0297BC4158A6D3F");
}

QByteArray decipherHeader(const QByteArray &block, const QByteArray &key)
{
    return runBlock(block, key, Direction::Decrypt);
}

QByteArray encipherHeader(const QByteArray &block, const QByteArray &key)
{
    return runBlock(block, key, Direction::Encrypt);
}

} // namespace limra
