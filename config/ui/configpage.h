#pragma once
// The tab "Конфигурация": the editor on the left, and on the right the
// column of transfer buttons and the card-output options.
#include <QWidget>

#include "platform/typingreach.h"

class QCheckBox;
class QKeySequence;
class QPushButton;

namespace limra {

class ConfigEditor;
class EditorModel;
class UserDialogs;
class ZoneTools;

class ConfigPage : public QWidget {
    Q_OBJECT
public:
    ConfigPage(EditorModel &model, UserDialogs &dialogs, QWidget *parent = nullptr);

    // The configuration editor on the left: set up as at the first show of
    // the main window, shown anew from its model, its zones given the tools.
    void startUpEditor();
    void syncEditor();
    void useZoneTools(ZoneTools &tools);

    // The buttons that talk to the reader may be used (it is connected and idle).
    void setReaderActionsEnabled(bool enabled);
    // The usual keys for opening and saving a file act as the file buttons
    // do, while these can be used; the buttons' tooltips name them.
    void setFileShortcuts(const QKeySequence &read, const QKeySequence &write);
    void readFileByShortcut();
    void writeFileByShortcut();

    // The card-output options and the tray start.
    bool copiesToClipboard() const;
    void setCopiesToClipboard(bool on);
    // The caption of the clipboard option, as the user sees it.
    QString clipboardOptionText() const;
    bool typesOnKeyboard() const;
    void setTypesOnKeyboard(bool on);
    bool addsNewline() const;
    // Also enables the option (the typing option's rule aside).
    void setAddsNewline(bool on);
    bool startsInTray() const;
    void setStartsInTray(bool on);
    // No tray on this desktop: the option is off, with `why` as its tooltip.
    void disableTrayStart(const QString &why);

    // The typing option's rule: on enables "+ перевод строки", off disables and clears it.
    void typingToggled(bool on);
    // The typing option's tooltip says how far typing reaches; it is off
    // where typing cannot reach anything.
    void showTypingReach(TypingReach reach);

Q_SIGNALS:
    // The buttons, in their order.
    void readFileClicked();
    void writeFileClicked();
    void readReaderClicked();
    void writeReaderClicked();
    void readMasterClicked();
    void masterToReaderClicked();
    void createMastersClicked();
    void clearMastersClicked();
    void defaultConfigClicked();
    void keptClicked();
    // The user switched the typing option (not the program).
    void typingClicked(bool on);
    // The editor shows its model anew (after every change).
    void editorSynced();

private:
    ConfigEditor *m_editor;
    QPushButton *readFileButton;
    QPushButton *writeFileButton;
    QPushButton *readReaderButton;
    QPushButton *writeReaderButton;
    QPushButton *readMasterButton;
    QPushButton *masterToReaderButton;
    QPushButton *createMastersButton;
    QPushButton *clearMastersButton;
    QPushButton *defaultConfigButton;
    QPushButton *keptButton; // "Сохранённые конфигурации…"
    QCheckBox *toClipboard;
    QCheckBox *toKeyboard;
    QCheckBox *newline;
    QCheckBox *startInTray;
};

} // namespace limra
