#pragma once
// The reader's protocol as the tool uses it: frame bytes, item tags, the
// commands it sends, identifier lines and card information. Nothing here
// touches a port.
#include <QString>
#include <vector>

namespace limra {

// Frame: 23, length (payload + 3), cmd, ver, items, 24.
constexpr char kFrameStart = 0x23;
constexpr char kFrameEnd = 0x24;
constexpr int kFrameOverhead = 3;
constexpr int kMinFrameLength = 5;
// The card-operation status frame: 23 08 00 01 0D 01, code, 24.
constexpr int kStatusFrameLength = 8;
// A card-operation status code of success.
constexpr quint8 kCardDone = 0x00;

// Item tags.
namespace tag {
constexpr quint8 SetPlace = 0x01;        // a master card's place in its set, and the set size
constexpr quint8 ReadMode = 0x06;
constexpr quint8 Key = 0x0B;             // block key, bank key or zone mask
constexpr quint8 Status = 0x0D;
constexpr quint8 ObjectChecksum = 0x0E;
constexpr quint8 KeyChecksum = 0x0F;
constexpr quint8 FirmwareVersion = 0x10;
constexpr quint8 Protection = 0x11;      // a master card set's protected mode: AA or 00
constexpr quint8 LoaderVersion = 0x12;
constexpr quint8 CardInfo = 0x13;
constexpr quint8 Identity = 0xFE;
constexpr quint8 Serial = 0xFD;
constexpr quint8 ReaderType = 0xFF;
} // namespace tag

// Command codes (the payload's first byte); every command goes with version 01
// unless it says otherwise.
namespace command {
constexpr quint8 kVersion = 0x01;
constexpr quint8 WriteConfig = 0x01;         // ver 01 reader, 02 master cards, 04 pass-zone bits
constexpr quint8 StartMasterCards = 0x02;    // + item 01: 00, count
constexpr quint8 ClearMasterCards = 0x03;
constexpr quint8 CreateSecureCards = 0x04;
constexpr quint8 ResumeReading = 0x05;
constexpr quint8 ClearSecureCards = 0x06;
constexpr quint8 ReadMasterCard = 0x07;
constexpr quint8 TakeOverMasterCard = 0x08;
constexpr quint8 ClearAllSecureCards = 0x09;
constexpr quint8 QueryVersion = 0x0A;
constexpr quint8 ReadConfig = 0x0B;
constexpr quint8 SwitchToLoader = 0x0C;
constexpr quint8 Identify = 0xFF;
// Versions of the configuration write, and of a master card's configuration report.
constexpr quint8 ReaderConfigVersion = 0x01;
constexpr quint8 MasterConfigVersion = 0x02;
constexpr quint8 ZonesVersion = 0x04;
constexpr quint8 MasterReportVersion = 0x03;
} // namespace command

// Reader kinds in the second byte of identification item FF.
constexpr int kReaderKindUsb = 0x02;
constexpr int kReaderKindBle = 0x04;
enum class ReaderKind { Usb, Ble };

// Kinds of identifier lines.
enum class IdKind { Uid, PhoneId, Mir, NonuniqueUid, RandomUid };

struct IdKindInfo {
    IdKind kind;
    const char *prefix; // ASCII prefix of the identifier line
};
// In the order the prefixes are searched ("UID: " last, as two others contain it).
const std::vector<IdKindInfo> &idKinds();
const IdKindInfo &idKindInfo(IdKind kind);
// Identifier characters have codes from 0x30 up; anything below ends a line.
constexpr quint8 kFirstIdentifierByte = 0x30;

// Texts of the three card-information labels (empty: nothing shown).
struct CardInfo {
    QString type;
    QString security;
    QString memory;
};
// Decodes the 8 value bytes of card-information item 13 (type, level,
// memory, capacitance; numbers least significant byte first).
CardInfo decodeCardInfo(const QByteArray &value);
// The name of a card type the reader reports; empty for an unknown type.
QString cardTypeName(qint64 type);

} // namespace limra
