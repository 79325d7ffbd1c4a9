#pragma once
// The tab "Конфигурация": the editor on the left, and on the right the
// column of transfer buttons and the card-output options.
#include <QWidget>

#include "platform/typingreach.h"

class QCheckBox;
class QPushButton;

namespace limra {

class ConfigEditor;
class EditorModel;
class UserDialogs;

class ConfigPage : public QWidget {
    Q_OBJECT
public:
    ConfigPage(EditorModel &model, UserDialogs &dialogs, QWidget *parent = nullptr);

    ConfigEditor *editor;
    // The buttons, in their order.
    QPushButton *readFileButton;
    QPushButton *writeFileButton;
    QPushButton *readReaderButton;
    QPushButton *writeReaderButton;
    QPushButton *readMasterButton;
    QPushButton *masterToReaderButton;
    QPushButton *createMastersButton;
    QPushButton *clearMastersButton;
    QPushButton *defaultConfigButton;
    QPushButton *keptButton;       // "Сохранённые конфигурации…"
    // The card-output options and the tray start.
    QCheckBox *toClipboard;
    QCheckBox *toKeyboard;
    QCheckBox *newline;
    QCheckBox *startInTray;

    // The typing option's rule: on enables "+ перевод строки", off disables and clears it.
    void typingToggled(bool on);
    // The typing option's tooltip says how far typing reaches; it is off
    // where typing cannot reach anything.
    void showTypingReach(TypingReach reach);
};

} // namespace limra
