#pragma once
// The configuration editor of the tab "Конфигурация": its controls show the
// editor model's state, and user actions go through the model's rules.
#include <QColor>
#include <QWidget>
#include <array>

#include "config/editormodel.h"
#include "config/ui/hashhelp.h"

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
class ZoneTools;

class ConfigEditor : public QWidget {
    Q_OBJECT
public:
    ConfigEditor(EditorModel &model, UserDialogs &dialogs, QWidget *parent = nullptr);

    EditorModel &model;

    // Sets the editor up as at the first show of the main window.
    void startUp();
    // Shows the model's state in the controls.
    void sync();

Q_SIGNALS:
    // The controls show the model anew (after every change).
    void synced();

public:
    // The pass zones of the configuration take the zone tools.
    void useZoneTools(ZoneTools &tools);

    // The colour the colour dialog starts with: the last one chosen in this run.
    QColor lastChosenColour = Qt::black;

private:
    QComboBox *wiegandType;
    QComboBox *widthMode;
    QSpinBox *width;
    QLabel *widthNote;        // "+ CRC = ..." beside the width
    QComboBox *readMode;
    QListWidget *formats;     // "Формат считываемых карт"
    QGroupBox *conversion;    // "Преобразование"
    QCheckBox *reversed;      // "Обратный порядок байт"
    QCheckBox *hash;          // the hash option beside its help link
    HelpLink *hashLink;       // "Хеш-функция": opens the help
    QLabel *shiftLabel, *bitsLabel;
    QSpinBox *shift;
    QSpinBox *significantBits;
    QWidget *blockPanel;
    QSpinBox *blockNumber, *blockOffset, *blockCount;
    QLineEdit *blockKey;
    QWidget *keyPanel;
    QWidget *bankPart;
    QRadioButton *bankDefault, *bankUser;
    QLineEdit *bankKey;
    QWidget *blePart;
    QLineEdit *bleName;
    QWidget *zonePanel;
    ZoneList *zones;
    QDoubleSpinBox *pulse;
    std::array<LedField *, 4> leds{}; // idle, LEDG, LEDR, LEDR + LEDG

    void chooseColour(int index);
    void keyEdited(QLineEdit *field, void (EditorModel::*set)(const QString &));

    UserDialogs &m_dialogs;
    bool m_syncing = false;
};

} // namespace limra
