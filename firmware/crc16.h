#pragma once
// The CRC-16 of a firmware section's data blocks: a 16-bit register starting
// at 0; for each byte the register becomes T[high byte] XOR (register << 8)
// XOR the byte, T being the table of the polynomial 0x1021 (MSB first). The
// byte enters after the table step, so this is not CRC-16/XMODEM: "abc" gives
// 0x1EE4 and "123456789" gives 0xBEEF.
#include <QByteArray>
#include <QtGlobal>

namespace limra {

quint16 crcStep(quint8 byte, quint16 crc);
quint16 sectionCrc(const QByteArray &data, quint16 crc = 0);

} // namespace limra
