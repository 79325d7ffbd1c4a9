#pragma once
// The state of the configuration editor and its rules, without widgets: the
// editor's controls show this state, and user actions go through it. Rules of
// the spin fields run on every change that really changes a value (the
// user's or the program's), and not while a configuration is being applied.
#include <QColor>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "config/readerconfig.h"

namespace limra {

enum class ConfigSource { Reader, File, Default, MasterCard };

class EditorModel {
public:
    // Sets the editor up as at the first show of the main window.
    void startUp();

    // User actions.
    void userSetReadMode(int mode);
    void userSetFormat(int index, bool checked);
    void userSetWgType(int type);
    void userSetWidthMode(int mode);
    void userSetHash(bool on);
    void userSetReversed(bool on);
    void userSetBankKeyMode(BankKeyMode mode);
    void userSetBlockKey(const QString &text);
    void userSetBankKey(const QString &text);
    void userSetBleName(const QString &text);
    void userSetPulseSeconds(double seconds);

    // The spin fields: limited to their range; a real change runs the field's rule.
    void setWidth(int value);
    void setShift(int value);
    void setSigbits(int value);
    void setBlocknum(int value);
    void setBlockoffset(int value);
    void setBlockcount(int value);
    void setPulse(int tenths);

    // Editor operations.
    void readModeChanged();
    void fillFormatList();
    void updateWidthLimits();
    void formatCheckReaction(int clicked);
    void applyHashRule();

    // The configuration as a record, and its items for a producer (the keys
    // are padded in the editor as they are encoded).
    ReaderConfig record() const;
    QString buildItems(Producer producer);
    // The block key made exactly 32 digits long with leading zeros.
    void padBlockKey() { blockKey = blockKey.rightJustified(32, QLatin1Char('0')); }
    // What was last read from or written to the reader or a file is what the
    // editor holds now; isDirty tells when the editor differs from it.
    void markClean() { m_clean = stateText(); }
    bool isDirty() const { return !m_clean.isEmpty() && stateText() != m_clean; }

    // Puts a configuration into the editor; false when a value is refused.
    bool applyConfig(const ConfigTable &table, ConfigSource source);

    // Filters of the text fields: what a typed or pasted text becomes.
    static QString keyText(const QString &typed);
    static QString bleNameText(const QString &typed);

    // Controls.
    int readMode = 0;
    std::vector<CardFormat> formatEntries;
    std::vector<bool> formatChecks;
    // The highlighted entry of the format list (-1: none); refilling the list clears it.
    int highlightedFormat = -1;
    int wiegandType = 0;
    int widthMode = 0;  // 0 "автоопределение", 1 "пользовательская"
    int width = 64;
    bool reversed = false;
    bool hash = false;
    int shift = 0, shiftMax = 63;
    int significantBits = 64, significantBitsMax = 64;
    int blockNumber = 1, blockOffset = 0, blockCount = 8;
    QString blockKey = ReaderConfig().blockKey;
    BankKeyMode bankKeyMode = BankKeyMode::Default;
    QString bankKey = ReaderConfig().bankKey;
    QString bleName;
    int pulse = 3;
    std::array<bool, 64> zones{};
    std::array<QColor, 4> colours = ReaderConfig().ledColours;
    // A field's caption is black until its colour first changes; from then
    // on it follows the contrast rule.
    std::array<bool, 4> captionContrast{};
    void setColour(int index, const QColor &colour);

    // Program-wide values.
    // The kind of the connected reader; the reader session tells.
    std::function<ReaderKind()> readerKind = [] { return ReaderKind::Usb; };
    bool bleReader() const { return readerKind() == ReaderKind::Ble; }
    bool emMarine = true;
    bool loading = false;
    int maxBits = 64;

    // What is shown and enabled.
    bool readModeEnabled = true;
    bool blockPanel = false, keyPanel = true, zonePanel = false, convGroup = true;
    bool bankPart = false, blePart = false;
    bool widthShown = false, noteShown = false;
    QString note;
    bool reversedEnabled = true, bitsEnabled = true; // bitsEnabled: shift, bit count and their labels

private:
    // Everything the editor holds, as the wire form carries it.
    QString stateText() const;

    QString m_clean;

    void shiftRule();
    void bitsRule();
    void widthRule();
    // The note beside a user-set width: the width with the CRC bits, or "бит".
    QString widthNoteText() const;
    void offsetRule();
    void countRule();
    void limitBits();
    int checkedFormats() const;
};

} // namespace limra
