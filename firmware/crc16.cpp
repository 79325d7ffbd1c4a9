#include "firmware/crc16.h"

#include <array>

namespace limra {

namespace {
// T[i]: the remainder of i * x^16 modulo x^16 + x^12 + x^5 + 1.
constexpr std::array<quint16, 256> makeTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 r = quint16(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x8000) ? quint16((r << 1) ^ 0x1021) : quint16(r << 1);
        table[size_t(i)] = r;
    }
    return table;
}
constexpr std::array<quint16, 256> kTable = makeTable();
} // namespace

quint16 crcStep(quint8 byte, quint16 crc)
{
    return quint16(kTable[crc >> 8] ^ quint16(crc << 8) ^ byte);
}

quint16 sectionCrc(const QByteArray &data, quint16 crc)
{
    for (char c : data)
        crc = crcStep(quint8(c), crc);
    return crc;
}

} // namespace limra
