#pragma once
// The cipher of the section headers: RC6-32/20/16 (32-bit words, 20 rounds,
// a 16-byte key), one 16-byte block at a time, through Crypto++.
#include <QByteArray>

namespace limra {

// The key all section headers are enciphered with.
QByteArray headerKey();

// One 16-byte block; anything else gives an empty result.
QByteArray decipherHeader(const QByteArray &block, const QByteArray &key = headerKey());
// The other direction, for tools that build images (and the tests).
QByteArray encipherHeader(const QByteArray &block, const QByteArray &key = headerKey());

} // namespace limra
