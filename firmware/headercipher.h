#pragma once
// The cipher of the section headers: RC6-32/20/16 (32-bit words, 20 rounds,
// a 16-byte key), one 16-byte block at a time, no chaining.
#include <QByteArray>
#include <array>
#include <cstdint>

namespace limra {

// RC6 with 32-bit words, 20 rounds and a 16-byte key, as published: the key
// schedule of 44 round keys, and each block read as four little-endian words.
class Rc6 {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kKeySize = 16;

    explicit Rc6(const std::uint8_t (&key)[kKeySize]);

    void encryptBlock(const std::uint8_t *in, std::uint8_t *out) const;
    void decryptBlock(const std::uint8_t *in, std::uint8_t *out) const;

private:
    static constexpr int kRounds = 20;
    std::array<std::uint32_t, 2 * kRounds + 4> m_s{};
};

// The key all section headers are enciphered with.
QByteArray headerKey();

// One 16-byte block with a 16-byte key; anything else gives an empty result.
QByteArray decipherHeader(const QByteArray &block, const QByteArray &key = headerKey());
// The other direction, for tools that build images (and the tests).
QByteArray encipherHeader(const QByteArray &block, const QByteArray &key = headerKey());

} // namespace limra
