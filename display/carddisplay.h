#pragma once
// The card display at the top of the main window: kind labels and read
// indicator, the identifier on the colour of its kind, the card description,
// and the DEC / HEX / CST choice. It also puts each identifier on the
// clipboard and types it into the application in front when asked.
#include <QFrame>
#include <QQueue>
#include <QTimer>
#include <array>
#include <functional>

#include "link/readerlink.h"

class QLabel;
class QRadioButton;

namespace limra {

class Clipboard;
class KeyInjector;

struct OutputOptions {
    std::function<bool()> clipboard = [] { return false; };
    std::function<bool()> typing = [] { return false; };
    std::function<bool()> newline = [] { return false; };
    // True while the main window is the active window of the system.
    std::function<bool()> windowActive = [] { return true; };
};

class CardDisplay : public QFrame, public ReceiveSink {
    Q_OBJECT
public:
    CardDisplay(Clipboard *clipboard, KeyInjector *keys, QWidget *parent = nullptr);

    OutputOptions options;

    // ReceiveSink
    void identifierRead(const QString &id, IdKind kind) override;
    void cardInfoRead(const CardInfo &info) override;

    // The views of the identifier; CST opens the template editor.
    void chooseDec();
    void chooseHex();
    void chooseCst();
    // Selects a view's choice without running its rule (settings at start-up).
    void selectView(int mode);
    int selectedView() const;

    // Opens the template editor with a sample; returns when it has closed.
    std::function<void(const QString &sample)> openTemplateEditor = [](const QString &) {};

    bool firstshow = true;
    int displaymode = 1;  // 1 DEC, 2 HEX, 3 CST
    int shownmode = 0;    // the view of the identifier on display; 0 for the initial "0"
    QString csttemplate;

    QLabel *indicator;
    std::array<QLabel *, 5> kindLabels{};   // UID, Phone ID, MIR, Nonunique UID, Random UID
    QLabel *identifier;
    QWidget *identifierStrip;
    QLabel *cardType, *cardSecurity, *cardMemory;
    QRadioButton *decChoice, *hexChoice, *cstChoice;
    QTimer indicatorTimer;
    QTimer cardInfoTimer;

private:
    void setKindColour(quint32 rgb);
    void type(const QString &text, int mode);
    void typeQueued();
    static void pause(int ms);

    Clipboard *clipboard;
    KeyInjector *keys;
    QQueue<QPair<QString, int>> typingQueue;
    bool typing = false;
};

} // namespace limra
