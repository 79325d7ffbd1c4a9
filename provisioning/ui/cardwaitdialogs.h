#pragma once
// The card waits as modal dialogs: each shows its wait's texts, countdown or
// counter, runs its timer and forwards the user's acts to it.
#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>

#include "provisioning/cardwait.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace limra {

class UserDialogs;

class CardWaitDialog : public QDialog, public CardWaitHost {
    Q_OBJECT
public:
    CardWaitDialog(CardWait &wait, UserDialogs &dialogs, QWidget *parent);

    // Opens the wait and shows the dialog until the wait ends.
    WaitResult run(int budgetTicks);

    // CardWaitHost
    void startTimer() override;
    void stopTimer() override;
    void message(const QString &text) override;
    void finish(WaitResult result) override;

    void done(int result) override;

protected:
    QLabel *addText(const QString &text, int pixelSize, QWidget *parent);
    QLabel *addSeconds(QWidget *parent);
    // A counter of cards under its caption, starting at 0; the counter label.
    QLabel *addCounter(const QString &caption, QWidget *parent);
    void showSeconds(QLabel *label);

    CardWait &m_wait;
    UserDialogs &m_dialogs;
    QTimer m_timer;
    bool m_finished = false;
    WaitResult m_result = WaitResult::Cancel;
};

// "Запись мастер-карт": the count page, then a countdown per card.
class MasterCardWritingDialog : public CardWaitDialog {
    Q_OBJECT
public:
    MasterCardWritingDialog(MasterCardWriting &wait, UserDialogs &dialogs, QWidget *parent);
    void changed() override;

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
    MasterCardWriting &m_writing;
};

// One card with a countdown.
class SingleCardDialog : public CardWaitDialog {
    Q_OBJECT
public:
    SingleCardDialog(SingleCardWait &wait, UserDialogs &dialogs, QWidget *parent);
    void changed() override;

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
    void changed() override;

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
    void changed() override;

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
    void changed() override;

    QLabel *seconds;

private:
    MasterConfigWait &m_config;
};

// Runs every card wait in its dialog, centred on the main window.
class DialogCardWaits : public CardWaits {
public:
    DialogCardWaits(UserDialogs &dialogs, QWidget *parent, std::function<bool()> debugMode);
    WaitResult run(CardWait &wait) override;

    // Told of each dialog as it opens (tests answer it).
    std::function<void(CardWaitDialog *)> opened = [](CardWaitDialog *) {};

private:
    UserDialogs &m_dialogs;
    QWidget *m_parent;
    std::function<bool()> m_debugMode;
};

} // namespace limra
