#pragma once
// The card-wait dialogs: modal windows that tell the user which card to
// present and follow the reader's card-operation status frames.
#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>

#include "link/readerlink.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace limra {

class UserDialogs;

inline const QString kObjectCodeCaption = QStringLiteral("Чтение кода объекта");
inline const QString kObjectCodePrompt = QStringLiteral("Поднесите мастер-карту с кодом объекта к USB-считывателю");

// What every card-wait dialog works with.
struct CardWaitContext {
    ReaderLink *link = nullptr;          // its statusanswer; TForm2 also sends commands
    UserDialogs *dialogs = nullptr;
    std::function<bool()> debugMode = [] { return false; };
};

class CardWaitDialog : public QDialog {
    Q_OBJECT
public:
    // Results: Cancel (QDialog::Rejected), Yes, No.
    enum Result { Cancel = QDialog::Rejected, Yes = QDialog::Accepted, No = 2 };

    CardWaitDialog(const CardWaitContext &context, int intervalMs, QWidget *parent);

    // One timer tick; the timer calls it, tests call it directly.
    virtual void tick() = 0;

    QTimer timer;
    int ticksleft = 0;

    // 150 ticks of 100 ms, 1200 in debug mode.
    int budget() const;
    void done(int result) override;

protected:
    Answer &status() { return context.link->statusanswer; }
    // A message box, with the timer stopped while it is open.
    void showMessage(const QString &text, bool restartTimer = true);
    void showFailure();
    QLabel *text(const QString &s, int pixelSize, QWidget *parent);
    void showSeconds(QLabel *label);
    // The end of a countdown tick: a failure is reported, one tick goes, and
    // the last one closes the dialog with No.
    void countDown(QLabel *seconds);

    CardWaitContext context;
};

// "Запись мастер-карт": write 1 to 5 master cards, one countdown per card.
class TForm2 : public CardWaitDialog {
    Q_OBJECT
public:
    TForm2(const CardWaitContext &context, QWidget *parent = nullptr);
    void tick() override;

    QString config;   // the master-card configuration payload ("0102" + items)
    QString crdtype;  // a card-type word with one trailing blank, or empty
    void setOptionVisible(bool visible);

    // A count button: writes the configuration, starts the writing of `count` cards.
    void countChosen(int count);

    QStackedWidget *pages;
    QLabel *heading;
    std::array<QPushButton *, 5> countButtons{};
    QCheckBox *option;
    QLabel *optionWarning;
    QLabel *prompt;
    QLabel *seconds;
    int requested = 0;
    int written = 0;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setPrompt();
};

// Waits for one master card, with a countdown. Yes on success, No on time-out.
class TForm3 : public CardWaitDialog {
    Q_OBJECT
public:
    TForm3(const CardWaitContext &context, QWidget *parent = nullptr);
    void tick() override;
    void setPrompt(const QString &caption, const QString &prompt);

    QLabel *prompt;
    QLabel *seconds;

protected:
    void showEvent(QShowEvent *event) override;
};

// Clears any number of cards; a counter and a finish button, no time limit.
class TForm4 : public CardWaitDialog {
    Q_OBJECT
public:
    TForm4(const CardWaitContext &context, QWidget *parent = nullptr);
    void tick() override;
    void setTexts(const QString &caption, const QString &prompt, const QString &finish);

    QLabel *prompt;
    QLabel *counter;
    QPushButton *finish;
    int clearcnt = 0;

protected:
    void showEvent(QShowEvent *event) override;
};

// First the master card with the object code (countdown), then any number of cards.
class TForm5 : public CardWaitDialog {
    Q_OBJECT
public:
    TForm5(const CardWaitContext &context, QWidget *parent = nullptr);
    void tick() override;
    void setTexts(const QString &caption, const QString &counterCaption, const QString &finish);

    QStackedWidget *pages;
    QLabel *seconds;
    QLabel *counterCaption;
    QLabel *counter;
    QPushButton *finish;
    int makecnt = 0;

protected:
    void showEvent(QShowEvent *event) override;
};

// Waits up to 30 seconds for a master card's configuration report.
class TForm8 : public CardWaitDialog, public ReceiveSink {
    Q_OBJECT
public:
    TForm8(const CardWaitContext &context, QWidget *parent = nullptr);
    void tick() override;

    // ReceiveSink
    bool masterConfigWaiting() const override { return isVisible(); }
    void masterConfigRead(const QString &items) override;

    QLabel *seconds;
    QString resstr;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace limra
