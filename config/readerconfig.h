#pragma once
// The reader configuration: the record the editor shows, its one wire form
// (TLV items), the colour code of the LED item and the zone mask.
#include <QColor>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "link/protocol.h"

namespace limra {

// One card format of the editor's format list.
struct CardFormat {
    quint16 bit;
    const char *text;
    int width;   // identifier width in bits
};

// The formats offered for a read mode and reader kind, in list order.
std::vector<CardFormat> offeredFormats(int readMode, ReaderKind reader, bool emMarine);

enum class BankKeyMode { Default, User };

struct ReaderConfig {
    int readMode = 0;
    quint16 formats = 0x01E7;
    int conversion = 0;     // 0 normal, 1 reversed byte order, 2 hash
    int bitShift = 0;
    int significantBits = 64;
    int wiegandType = 0;
    int wiegandWidth = 0;      // 0: automatic
    int blockNumber = 1;
    int blockOffset = 0;
    int blockCount = 8;
    QString blockKey = QStringLiteral("5A17C3E9B2046D8FF1A0937C4E6B25D8");
    BankKeyMode bankKeyMode = BankKeyMode::Default;
    QString bankKey = QStringLiteral("5A17C3E9B2046D8FF1A0937C4E6B25D8");
    QString bleName;
    int pulse = 3;        // tenths of a second
    std::array<bool, 64> zones{};
    // Idle, LEDG, LEDR, LEDR + LEDG.
    std::array<QColor, 4> ledColours = {QColor(0, 128, 255), QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 128, 0)};
};

enum class Producer { Reader, File, MasterCards };

// The configuration items (without the block's leading byte). Pads the block
// key, and the bank key when it is the key encoded, to 32 digits in `config`.
QString buildConfig(ReaderConfig &config, Producer producer, ReaderKind reader);

// Item values by tag; a later item replaces an earlier one.
using ConfigTable = std::array<QString, 256>;
ConfigTable parseConfig(const QString &items);

// The default bank-card key, 32 upper-case hex digits.
QString defaultBankKey();

// The factory configuration.
inline const QString kDefaultConfigItems = QStringLiteral("0202670003030000400601000401000501000C0800F8E00700F8E0FF");

// LED colours: 5-6-5 code, least significant byte first, as 4 hex digits.
QString colourCode(const QColor &colour);
QColor colourFromCode(const QString &fourDigits);
// The colour reduced to what the code keeps.
QColor reducedColour(const QColor &colour);
// Caption colour on a field of this colour: black or white.
QColor captionColour(const QColor &colour);

// Zone mask: 64 flags (zone 1 first) to 32 hex digits, and back.
QString zoneMask(const std::array<bool, 64> &zones);
// False (zones unchanged) when the value does not give exactly 64 bits.
bool decodeZoneMask(const QString &value, std::array<bool, 64> &zones);
// The bit string of the zones, zone 64 first.
QString zoneBitString(const std::array<bool, 64> &zones);
// Binary digits to hex, 8 bits a byte, left-padded to whole bytes.
QString bitsToHex(const QString &bits);

} // namespace limra
