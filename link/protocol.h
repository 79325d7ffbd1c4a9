#pragma once
// The reader's protocol as the tool uses it: frame bytes, item tags, the
// commands it sends and their time limits, identifier lines and card
// information. Nothing here touches a port.
#include <QString>
#include <vector>

namespace limra {

// Frame: 23, length (payload + 3), cmd, ver, items, 24.
constexpr char kFrameStart = 0x23;
constexpr char kFrameEnd = 0x24;
constexpr int kFrameOverhead = 3;
constexpr int kMinFrameLength = 5;
// The card-operation status frame: 23 08 00 01 0D 01, code, 24.
inline const QString kStatusFramePrefix = QStringLiteral("230800010D01");

// Item tags.
namespace tag {
constexpr quint8 SetPlace = 0x01;        // a master card's place in its set, and the set size
constexpr quint8 ReadMode = 0x06;
constexpr quint8 Key = 0x0B;             // block key, bank key or zone mask
constexpr quint8 Status = 0x0D;
constexpr quint8 ObjectChecksum = 0x0E;
constexpr quint8 KeyChecksum = 0x0F;
constexpr quint8 FirmwareVersion = 0x10;
constexpr quint8 LoaderVersion = 0x12;
constexpr quint8 CardInfo = 0x13;
constexpr quint8 Identity = 0xFE;
constexpr quint8 Serial = 0xFD;
constexpr quint8 ReaderType = 0xFF;
} // namespace tag

// Payloads the tool sends (cmd and ver first).
namespace command {
inline const QString Identify = QStringLiteral("FF01");
inline const QString ResumeReading = QStringLiteral("0501");
inline const QString ReadConfig = QStringLiteral("0B01");
inline const QString WriteConfig = QStringLiteral("0101");
inline const QString WriteMasterConfig = QStringLiteral("0102");
inline const QString WriteSecureZones = QStringLiteral("01040B10");
inline const QString StartMasterCards = QStringLiteral("0201010200"); // + count as two digits
inline const QString ClearMasterCards = QStringLiteral("0301");
inline const QString CreateSecureCards = QStringLiteral("0401");
inline const QString ClearSecureCards = QStringLiteral("0601");
inline const QString ReadMasterCard = QStringLiteral("0701");
inline const QString TakeOverMasterCard = QStringLiteral("0801");
inline const QString ClearAllSecureCards = QStringLiteral("0901");
inline const QString QueryVersion = QStringLiteral("0A01");
inline const QString SwitchToLoader = QStringLiteral("0C01");
// Frame payload prefix of a master card's configuration report (cmd 01, ver 03).
inline const QString MasterCardReport = QStringLiteral("0103");
} // namespace command

// Time limits of the exchanges, in milliseconds.
constexpr int kReplyTimeoutMs = 2000;
constexpr int kIdentifyTimeoutMs = 1000;
constexpr int kLoaderSwitchTimeoutMs = 500;

// Reader kinds in the second byte of identification item FF.
constexpr int kReaderKindUsb = 0x02;
constexpr int kReaderKindBle = 0x04;
enum class ReaderKind { Usb, Ble };

// Kinds of identifier lines.
enum class IdKind { Uid, PhoneId, Mir, NonuniqueUid, RandomUid };

struct IdKindInfo {
    IdKind kind;
    const char *prefix; // ASCII prefix of the identifier line
    const char *label;  // kind label of the card display
    quint32 colour;     // background of the identifier, 0xRRGGBB
};
// In the order the prefixes are searched ("UID: " last, as two others contain it).
const std::vector<IdKindInfo> &idKinds();
const IdKindInfo &idKindInfo(IdKind kind);
// Kinds in the order of the display's kind labels.
const std::vector<IdKind> &idKindLabelOrder();
// Identifier characters have codes from 0x30 up; anything below ends a line.
constexpr quint8 kFirstIdentifierByte = 0x30;

// Texts of the three card-information labels (empty: nothing shown).
struct CardInfo {
    QString type;
    QString security;
    QString memory;
};
// Decodes the 16 value digits of card-information item 13.
CardInfo decodeCardInfo(const QString &value);

} // namespace limra
