#pragma once
// A list of the 64 pass zones (check box, number, name) with its tools: the
// name source, save names, select all, select none and the bit string.
#include <QDialog>
#include <QWidget>
#include <array>

#include "platform/dialogs.h"

class QComboBox;
class QLineEdit;
class QTableWidget;
class QToolButton;

namespace limra {

using ZoneChecks = std::array<bool, 64>;

class ZoneList : public QWidget {
    Q_OBJECT
public:
    ZoneList(bool editableNames, QWidget *parent = nullptr);

    ZoneChecks checks() const;
    void setChecks(const ZoneChecks &checks);
    QStringList names() const;
    // Names for the first zones; the others keep theirs.
    void setNames(const QStringList &names);
    void setStandardNames();

    QComboBox *sources;
    QToolButton *saveButton = nullptr; // the configuration tab's list only
    QToolButton *allButton;
    QToolButton *noneButton;
    QToolButton *bitsButton;
    QTableWidget *grid;

Q_SIGNALS:
    void checksChanged();

private:
    bool updating = false;
};

// "Зоны прохода": the zones as a bit string, zone 64 first.
class ZoneBitsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ZoneBitsDialog(QWidget *parent = nullptr);
    QLineEdit *bits;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The two lists' shared tools: the name sources (the .znm files of the
// program's folder), saving names and the bit string.
class ZoneTools : public QObject {
    Q_OBJECT
public:
    ZoneTools(ZoneList *config, ZoneList *secure, ZoneBitsDialog *bitsDialog, UserDialogs *dialogs,
              QString folder, QObject *parent = nullptr);

    // Rebuilds both name-source lists and selects `filen` in both.
    void fillnamelist(const QString &filen = QString());
    void chooseSource(ZoneList *list);
    void saveNames();
    void editBits(ZoneList *list);

private:
    ZoneList *config;
    ZoneList *secure;
    ZoneBitsDialog *bitsDialog;
    UserDialogs *dialogs;
    QString folder;
};

} // namespace limra
