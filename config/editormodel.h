#pragma once
// The configuration editor without widgets: the configuration it holds, and
// apart from it what the editor shows (the format list, its highlighted
// entry, the panels, the enabled states). The editor's controls show this
// model, and user actions go through it. The rules of the spin fields run on
// every change that really changes a value (the user's or the program's).
#include <QColor>
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "config/codec.h"

namespace limra {

// What the editor shows besides the configuration.
struct EditorView {
    // The format list as shown, for the read mode and reader kind of its last refill.
    std::vector<CardFormat> formatEntries;
    // The highlighted entry of the format list (-1: none); refilling the list clears it.
    int highlightedFormat = -1;
    bool readModeEnabled = true;
    // The mode-dependent panels; the key-and-name panel holds the bank-key and the BLE part.
    bool blockPanel = false, keyPanel = true, zonePanel = false, convGroup = true;
    bool bankPart = false, blePart = false;
    // A colour field's caption is black until its colour first changes; from
    // then on it follows the contrast rule.
    std::array<bool, 4> captionContrast{};
};

class EditorModel {
public:
    EditorModel();

    // Sets the editor up as at the first show of the main window.
    void startUp();

    // User actions.
    void userSetReadMode(ReadMode mode);
    void userSetFormat(int index, bool checked);
    void userHighlightFormat(int index);
    void userSetWgType(int type);
    void userSetWidthMode(int mode);  // 0 "автоопределение", 1 "пользовательская"
    void userSetHash(bool on);
    void userSetReversed(bool on);
    void userSetBankKeyMode(BankKeyMode mode);
    void userSetBlockKey(const QString &text);
    void userSetBankKey(const QString &text);
    void userSetBleName(const QString &text);
    void userSetPulseSeconds(double seconds);
    void userSetZones(const std::array<bool, 64> &zones);
    void setColour(int index, const QColor &colour);

    // The spin fields: limited to their range; a real change runs the field's rule.
    void setWidth(int value);
    void setShift(int value);
    void setSigbits(int value);
    void setBlocknum(int value);
    void setBlockoffset(int value);
    void setBlockcount(int value);
    void setPulse(int tenths);

    // The configuration the editor holds.
    const ReaderConfig &config() const { return m_config; }
    ReaderConfig record() const { return m_config; }
    // What the editor shows besides it.
    const EditorView &view() const { return m_view; }
    std::vector<bool> formatChecks() const;
    int maxBits() const { return maxBitsOf(m_view.formatEntries, m_config.formats); }
    int shiftMax() const { return shiftMaxOf(maxBits()); }
    int significantBitsMax() const { return maxBits(); }
    bool widthShown() const { return m_config.widthMode == WidthMode::User; }
    bool noteShown() const { return widthShown() && (m_config.wiegandType == 0 || m_config.wiegandType == 1); }
    // The note beside a user-set width: the width with the CRC bits, or "бит".
    QString note() const;
    // The hash rule: the byte order, the shift and the bit count (and their labels) are enabled.
    bool conversionEnabled() const { return conversionEditable(m_config); }
    // The caption colour of an LED field.
    QColor ledCaption(int index) const;
    bool emMarine() const { return m_emMarine; }

    // The configuration's items for a producer. As they are encoded, the block
    // key, and the bank key when it is the key encoded, are padded to 32
    // digits in the editor too.
    ConfigItems buildItems(ConfigPlace place);
    // The block key made exactly 32 digits long with leading zeros.
    void padBlockKey();
    // What was last read from or written to the reader or a file is what the
    // editor holds now; isDirty tells when the editor differs from it.
    void markClean() { m_clean = state(); }
    bool isDirty() const { return !m_clean.isEmpty() && state() != m_clean; }

    // Whether a configuration was put into the editor, and why not.
    struct Applied {
        std::optional<ConfigDecodeError> refusal;
        explicit operator bool() const { return !refusal; }
    };
    // Puts a configuration into the editor; refused, and the editor as it
    // was, when an item every configuration carries is missing or a value is
    // refused.
    Applied applyConfig(const ConfigItems &items, ConfigPlace source);
    // Puts a configuration decoded elsewhere (with decodeContext) into the
    // editor; false, and the editor as it was, when it does not fit the
    // editor's fields and the reader kind's format list.
    bool applyDecoded(const DecodedConfig &decoded, ConfigPlace source);
    // What decoding a configuration from `source` into this editor needs.
    DecodeContext decodeContext(ConfigPlace source) const;

    // Filters of the text fields: what a typed or pasted text becomes.
    static QString keyText(const QString &typed) { return limra::keyText(typed); }
    static QString bleNameText(const QString &typed) { return limra::bleNameText(typed); }

    // The kind of the connected reader; the reader session tells.
    std::function<ReaderKind()> readerKind = [] { return ReaderKind::Usb; };
    bool bleReader() const { return readerKind() == ReaderKind::Ble; }

private:
    RuleContext rules() const { return RuleContext{maxBits(), false}; }
    // The read-mode change reaction: the list refilled, the panels for the mode.
    void readModeChanged();
    void fillFormatList();
    void showPanels();
    void formatCheckReaction(int clicked);
    // Everything the editor holds, as the wire form carries it.
    QByteArray state() const;

    ReaderConfig m_config;
    EditorView m_view;
    bool m_emMarine = true;
    QByteArray m_clean;
};

} // namespace limra
