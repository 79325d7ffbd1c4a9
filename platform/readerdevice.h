#pragma once
// The desktop reader as the operating system sees it.
#include <QtGlobal>

namespace limra {

// USB identity of the reader's serial port.
constexpr quint16 kReaderVendorId = 0x1FC9;
constexpr quint16 kReaderProductId = 0x0117;

// Serial line: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
constexpr qint32 kReaderBaudRate = 9600;

} // namespace limra
