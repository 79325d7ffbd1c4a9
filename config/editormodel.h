#pragma once
// The state of the configuration editor and its rules, without widgets: the
// editor's controls show this state, and user actions go through it. Rules of
// the spin fields run on every change that really changes a value (the
// user's or the program's), and not while a configuration is being applied.
#include <QColor>
#include <QString>
#include <array>
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
    void FillCardFormat();
    void FillRazr();
    void formatCheckReaction(int clicked);
    void crccheckboxupdate();

    // The configuration as a record, and its items for a producer (the keys
    // are padded in the editor as they are encoded).
    TReaderConfig record() const;
    QString buildItems(Producer producer);
    // Puts a configuration into the editor; false when a value is refused.
    bool ApplyConfig(const ConfigTable &table, ConfigSource source);

    // Filters of the text fields: what a typed or pasted text becomes.
    static QString keyText(const QString &typed);
    static QString bleNameText(const QString &typed);

    // Controls.
    int readmode = 0;
    std::vector<CardFormat> formatEntries;
    std::vector<bool> formatChecks;
    int wgtype = 0;
    int widthMode = 0;  // 0 "автоопределение", 1 "пользовательская"
    int width = 64;
    bool reversed = false;
    bool hash = false;
    int shift = 0, shiftMax = 63;
    int sigbits = 64, sigbitsMax = 64;
    int blocknum = 1, blockoffset = 0, blockcount = 8;
    QString blockkey = TReaderConfig().blockkey;
    BankKeyMode bankkeymode = BankKeyMode::Default;
    QString bankkey = TReaderConfig().bankkey;
    QString blename;
    int pulse = 3;
    std::array<bool, 64> zones{};
    std::array<QColor, 4> colours = TReaderConfig().ledcolors;

    // Program-wide values.
    bool blereader = false;
    bool emmarine = true;
    bool loading = false;
    int maxbits = 64;

    // What is shown and enabled.
    bool readModeEnabled = true;
    bool blockPanel = false, keyPanel = true, zonePanel = false, convGroup = true;
    bool bankPart = false, blePart = false;
    bool widthShown = false, noteShown = false;
    QString note;
    bool reversedEnabled = true, bitsEnabled = true; // bitsEnabled: shift, bit count and their labels

private:
    void shiftRule();
    void bitsRule();
    void widthRule();
    void offsetRule();
    void countRule();
    void limitBits();
    int checkedFormats() const;
};

} // namespace limra
