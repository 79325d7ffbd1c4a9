#pragma once
// The reader configuration: the record the editor shows, its read modes,
// the colour code of the LED item, the zone mask, and the editor's rules
// that keep a configuration consistent. The codec (config/codec.h) turns
// items into a configuration and back.
#include <QColor>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "config/configitems.h"
#include "link/protocol.h"

namespace limra {

// The reader's read modes, by the value the read-mode item carries (also
// their place in the editor's list, texts::kReadModes).
enum class ReadMode {
    Uid = 0,        // the card's UID, unprotected
    ObjectCode = 1, // protected: the object code
    BlockCode = 2,  // protected: a code read from a block of the card
    PassZones = 3,  // protected: the object code and the pass zones
};
constexpr int kReadModeCount = 4;
// The read mode a value names; none for a value outside the modes.
std::optional<ReadMode> readModeFrom(int value);
inline bool isProtected(ReadMode mode) { return mode != ReadMode::Uid; }

// Where a configuration comes from or goes to; a few items are read and
// written differently. The factory default is only ever a source.
enum class ConfigPlace { Reader, File, Default, MasterCards };

// One card format of the editor's format list.
struct CardFormat {
    quint16 bit;
    const char *text;
    int width;   // identifier width in bits
};

// The formats offered for a read mode and reader kind, in list order.
std::vector<CardFormat> offeredFormats(ReadMode readMode, ReaderKind reader, bool emMarine);

enum class BankKeyMode { Default, User };
enum class WidthMode { Automatic, User };

// Everything the editor's configuration holds.
struct ReaderConfig {
    ReadMode readMode = ReadMode::Uid;
    quint16 formats = 0x01E7;
    int conversion = 0;     // 0 normal, 1 reversed byte order, 2 hash
    int bitShift = 0;
    int significantBits = 64;
    int wiegandType = 0;
    WidthMode widthMode = WidthMode::Automatic;
    int wiegandWidth = 64;  // the user's width, kept while the width is automatic
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
    std::array<QColor, 4> ledColours = initialLedColours();

    // The width the reader is given: 0 for automatic.
    int wireWidth() const { return widthMode == WidthMode::User ? wiegandWidth : 0; }
    static std::array<QColor, 4> initialLedColours()
    {
        return {QColor(0, 128, 255), QColor(0, 255, 0), QColor(255, 0, 0), QColor(255, 128, 0)};
    }
};

// In the protected modes with an object code (the object code itself, and
// the zones), the reader takes its object code from a master card once it
// took a written configuration: the write waits for that card.
inline bool writeAwaitsObjectCode(const ReaderConfig &c)
{
    return c.readMode == ReadMode::ObjectCode || c.readMode == ReadMode::PassZones;
}

bool operator==(const ReaderConfig &a, const ReaderConfig &b);
inline bool operator!=(const ReaderConfig &a, const ReaderConfig &b) { return !(a == b); }

// The default bank-card key, 32 upper-case hex digits.
QString defaultBankKey();

// The factory configuration.
inline const ConfigItems kDefaultConfigItems =
    ConfigItems::parse(QByteArray::fromHex("0202670003030000400601000401000501000C0800F8E00700F8E0FF"));

// LED colours: a 5-6-5 code (red in the top bits), written least
// significant byte first.
quint16 colourCode(const QColor &colour);
QColor colourFromCode(quint16 code);
// The colour reduced to what the code keeps.
QColor reducedColour(const QColor &colour);
// Caption colour on a field of this colour: black or white.
QColor captionColour(const QColor &colour);

// Zone mask: 64 flags (zone 1 first) to 16 bytes, the first 8 a number
// whose bit n is zone n + 1 (most significant byte first), the rest zero.
QByteArray zoneMask(const std::array<bool, 64> &zones);
// The zones of a mask item: its first 8 bytes, or all of a shorter one as
// the number's low bytes.
std::array<bool, 64> zonesFromMask(const QByteArray &value);
// The bit string of the zones, zone 64 first, as the zone list shows it.
QString zoneBitString(const std::array<bool, 64> &zones);

// ---- The editor's rules, shared by the editor and the decoder ------------

// The checks a refill of the format list sets: every entry in the UID mode on
// the USB reader, none on a BLE reader, MifarePLUS in the object-code mode,
// the only entry in the block-code and pass-zone modes.
quint16 refilledFormats(const std::vector<CardFormat> &entries, ReadMode readMode, ReaderKind reader);
// The checks after a click on entry `clicked` (-1: none, as when a
// configuration is applied): in the object-code mode the other entry takes
// the opposite state (`pairing`); with nothing checked the first entry is checked.
quint16 checkedFormats(const std::vector<CardFormat> &entries, quint16 formats, ReadMode readMode, int clicked,
                       bool pairing);
// The widest identifier among the checked entries; 64 while none is checked,
// as after a refill of the list.
int maxBitsOf(const std::vector<CardFormat> &entries, quint16 formats);

// What the field rules work with: the widest identifier of the checked
// formats, and whether a configuration is being applied (then the shift,
// bit-count, offset and byte-count rules do nothing).
struct RuleContext {
    int maxBits = 64;
    bool loading = false;
};

// Each setter limits the value to its field's range and, when the value
// really changes, runs the field's rule; a correction made by a rule runs the
// corrected field's rule again, until nothing changes.
void setWidth(ReaderConfig &c, int value, const RuleContext &r);  // its rule runs while loading too
void setShift(ReaderConfig &c, int value, const RuleContext &r);
void setSignificantBits(ReaderConfig &c, int value, const RuleContext &r);
void setBlockNumber(ReaderConfig &c, int value);
void setBlockOffset(ReaderConfig &c, int value, const RuleContext &r);
void setBlockCount(ReaderConfig &c, int value, const RuleContext &r);
void setPulse(ReaderConfig &c, int tenths);
// Tenths of a second from seconds, halves to even.
int pulseTenths(double seconds);
// The rules themselves, for the end of applying a configuration.
void shiftRule(ReaderConfig &c, const RuleContext &r);
void bitsRule(ReaderConfig &c, const RuleContext &r);
void offsetRule(ReaderConfig &c, const RuleContext &r);
void countRule(ReaderConfig &c, const RuleContext &r);
// The shift's limit becomes maxBits - 1 and the bit count's maxBits; a pair
// that exceeds maxBits becomes shift 0 with maxBits bits.
void limitBits(ReaderConfig &c, const RuleContext &r);
inline int shiftMaxOf(int maxBits) { return std::max(0, maxBits - 1); }

// The hash rule: with the hash on, the byte order and the shift and bit
// count cannot be changed.
inline bool conversionEditable(const ReaderConfig &c) { return c.conversion != 2; }

// Filters of the text fields: what a typed, pasted or read text becomes.
QString keyText(const QString &typed);      // hex digits in upper case, at most 32
QString bleNameText(const QString &typed);  // the name's character set, at most 31

} // namespace limra
