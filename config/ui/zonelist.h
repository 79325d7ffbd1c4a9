#pragma once
// A list of the 64 pass zones (check box, number, name) with its tools: the
// name source, save names, select all, select none and the bit string.
#include <QDialog>
#include <QWidget>
#include <array>
#include <vector>

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
    // The configuration tab edits names and saves them; the secure-cards tab does not.
    enum class Names { Editable, Fixed };
    ZoneList(Names names, QWidget *parent = nullptr);

    ZoneChecks checks() const;
    void setChecks(const ZoneChecks &checks);
    QStringList names() const;
    // Names for the first zones; the others keep theirs.
    void setNames(const QStringList &names);
    void setStandardNames();

Q_SIGNALS:
    void checksChanged();

protected:
    // A list not shown hides its rows: its 192 cells would tell assistive
    // technology that they were showing.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    friend class ZoneTools; // the tools shared by both lists work their controls
    QComboBox *sources;
    QToolButton *saveButton = nullptr; // the configuration tab's list only
    QToolButton *allButton;
    QToolButton *noneButton;
    QToolButton *bitsButton;
    QTableWidget *grid;

    void nameCells();
    void showRows(bool shown);

    bool m_updating = false;
};

// "Зоны прохода": the zones as a bit string, zone 64 first.
class ZoneBitsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ZoneBitsDialog(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class ZoneTools;
    QLineEdit *bits;
};

// The lists' shared tools: the name sources (the .znm files of the
// program's folder), saving names and the bit string. Each list joins them
// (`add`); the list whose names can be edited is the one whose names are saved.
class ZoneTools : public QObject {
    Q_OBJECT
public:
    ZoneTools(UserDialogs &dialogs, QString folder, QWidget *parent);

    void add(ZoneList &list);

    // Rebuilds every name-source list and selects the file named `fileName` in each.
    void fillNameSources(const QString &fileName = QString());
    void chooseSource(ZoneList *list);
    void saveNames();
    void editBits(ZoneList *list);

private:
    ZoneBitsDialog *bitsDialog;

    std::vector<ZoneList *> m_lists;
    ZoneList *m_editable = nullptr; // the list whose names are saved
    UserDialogs &m_dialogs;
    QString m_folder;
};

} // namespace limra
