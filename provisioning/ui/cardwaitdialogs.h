#pragma once
// The card waits as dialogs: each shows its wait's texts, countdown or
// counter, shows its notices without holding anything up, and passes the
// user's acts on. A dialog stays over its window without blocking it (what
// would start another operation is disabled meanwhile, and closing the window
// ends the wait as closing the dialog does) and never waits on the stack: it
// opens, and closes itself when its wait ends.
#include <QDialog>
#include <QPointer>
#include <array>

#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"
#include "provisioning/masterconfigwait.h"
#include "provisioning/securecardwait.h"
#include "provisioning/singlecardwait.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace limra {

class UserDialogs;

class CardWaitDialog : public QDialog {
    Q_OBJECT
public:
    CardWaitDialog(CardWait &wait, UserDialogs &dialogs, QWidget *parent);

    // Shows what the wait shows now.
    virtual void refresh() = 0;
    // Closing the dialog (its close button, Escape, "Отмена") closes the wait.
    void done(int result) override;

    QPushButton *cancelButton;

protected:
    QLabel *addText(const QString &text, int pixelSize, QWidget *parent);
    QLabel *addSeconds(QWidget *parent);
    // A counter of cards under its caption, starting at 0; the counter label.
    QLabel *addCounter(const QString &caption, QWidget *parent);
    void showSeconds(QLabel *label, int seconds);
    // "Отмена" at the bottom of `layout`, on the right.
    void addCancel(QLayout *layout);
    // A size for the dialog's texts and buttons: `size` unless they need more.
    void fixSize(QSize size);
    void showEvent(QShowEvent *event) override;

    QPointer<CardWait> m_wait;
    UserDialogs &m_dialogs;

private:
    void ended();
};

// "Запись мастер-карт": the count page, then a countdown per card.
class MasterCardWritingDialog : public CardWaitDialog {
    Q_OBJECT
public:
    MasterCardWritingDialog(MasterCardWriting &wait, UserDialogs &dialogs, QWidget *parent);
    void refresh() override;

    QStackedWidget *pages;
    QLabel *heading;
    std::array<QPushButton *, 5> countButtons{};
    QCheckBox *option;
    QLabel *optionWarning;
    QLabel *prompt;
    QLabel *seconds;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void optionClicked(bool checked);

    MasterCardWriting &m_writing;
};

// One card with a countdown.
class SingleCardDialog : public CardWaitDialog {
    Q_OBJECT
public:
    SingleCardDialog(SingleCardWait &wait, UserDialogs &dialogs, QWidget *parent);
    void refresh() override;

    QLabel *prompt;
    QLabel *seconds;

private:
    SingleCardWait &m_single;
};

// Cards cleared one after another, counted, until the finish button.
class ClearingDialog : public CardWaitDialog {
    Q_OBJECT
public:
    ClearingDialog(ClearingWait &wait, UserDialogs &dialogs, QWidget *parent);
    void refresh() override;

    QLabel *prompt;
    QLabel *counter;
    QPushButton *finishButton;

private:
    ClearingWait &m_clearing;
};

// The master card with the object code, then cards counted.
class SecureCardDialog : public CardWaitDialog {
    Q_OBJECT
public:
    SecureCardDialog(SecureCardWait &wait, UserDialogs &dialogs, QWidget *parent);
    void refresh() override;

    QStackedWidget *pages;
    QLabel *seconds;
    QLabel *counter;
    QPushButton *finishButton;

private:
    SecureCardWait &m_secure;
};

// "Чтение конфигурации с мастер-карты": 30 seconds for the report.
class MasterConfigDialog : public CardWaitDialog {
    Q_OBJECT
public:
    MasterConfigDialog(MasterConfigWait &wait, UserDialogs &dialogs, QWidget *parent);
    void refresh() override;

    QLabel *seconds;

private:
    MasterConfigWait &m_config;
};

// Opens the dialog of a wait that has just opened, centred on `parent`; it
// deletes itself when closed. None when the wait has already ended.
CardWaitDialog *showCardWait(CardWait &wait, UserDialogs &dialogs, QWidget *parent);

} // namespace limra
