#pragma once
// The configuration editor of the tab "Конфигурация": its controls show the
// editor model's state, and user actions go through the model's rules.
#include <QColor>
#include <QWidget>
#include <array>

#include "config/editormodel.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;

namespace limra {

class LedField;
class UserDialogs;
class ZoneList;

class ConfigEditor : public QWidget {
    Q_OBJECT
public:
    ConfigEditor(UserDialogs *dialogs, QWidget *parent = nullptr);

    EditorModel model;

    // Sets the editor up as at the first show of the main window.
    void startUp();
    // Puts a configuration into the editor; shows the failure message itself.
    bool apply(const ConfigTable &table, ConfigSource source);
    // The items for a producer; padded keys show in their fields.
    QString buildItems(Producer producer);
    // Shows the model's state in the controls.
    void sync();

    QComboBox *wgType;        // ComboBox3
    QComboBox *widthMode;     // ComboBox2
    QSpinBox *width;          // SpinEdit1
    QLabel *widthNote;        // Label11
    QComboBox *readMode;      // ComboBox4
    QListWidget *formats;     // CheckListBox1
    QGroupBox *conversion;    // "Преобразование"
    QCheckBox *reversed;      // CheckBox3
    QCheckBox *hash;          // CheckBox8
    QLabel *hashLink;
    QLabel *shiftLabel, *bitsLabel;
    QSpinBox *shift;          // SpinEdit3
    QSpinBox *sigbits;        // SpinEdit4
    QWidget *blockPanel;
    QSpinBox *blocknum, *blockoffset, *blockcount;
    QLineEdit *blockkey;
    QWidget *keyPanel;
    QWidget *bankPart;
    QRadioButton *bankDefault, *bankUser;
    QLineEdit *bankkey;
    QWidget *blePart;
    QLineEdit *blename;
    QWidget *zonePanel;
    ZoneList *zones;
    QDoubleSpinBox *pulse;
    std::array<LedField *, 4> leds{}; // idle, LEDG, LEDR, LEDR + LEDG

    // The colour the colour dialog starts with: the last one chosen in this run.
    QColor lastChosenColour = Qt::black;

private:
    void chooseColour(int index);
    void keyEdited(QLineEdit *field, void (EditorModel::*set)(const QString &));

    UserDialogs *dialogs;
    bool syncing = false;
};

} // namespace limra
