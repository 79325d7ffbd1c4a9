#pragma once
// Constants of the reader family and of the link, in one place.
#include <QtGlobal>

namespace limra {

// USB identity of the desktop reader's serial port.
constexpr quint16 kReaderVendorId = 0x1FC9;
constexpr quint16 kReaderProductId = 0x0117;

// Serial line settings.
constexpr qint32 kBaudRate = 9600;

// Time limits of the exchanges, in milliseconds.
constexpr int kDefaultTimeoutMs = 2000;
constexpr int kIdentifyTimeoutMs = 1000;
constexpr int kLoaderSwitchTimeoutMs = 500;

// How long the port layer holds an incomplete message for its rest.
constexpr int kMessageHoldMs = 50;

// Reader scan interval and the quick rescan after a removal.
constexpr int kScanIntervalMs = 1000;
constexpr int kRescanAfterRemovalMs = 100;

// Reader types in the second byte of identification item FF.
constexpr int kReaderTypeUsb = 0x02;
constexpr int kReaderTypeBle = 0x04;

// Frame bytes.
constexpr char kFrameStart = 0x23;
constexpr char kFrameEnd = 0x24;

} // namespace limra
