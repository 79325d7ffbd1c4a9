#pragma once
// The tab "Отладка" (debug mode only): the traffic log, the free command
// line, and the window "Debug" that mirrors the log.
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace limra {

class DebugRuns;
class TrafficLog;
class UserDialogs;

// "Debug": the log in a window of its own, no line wrapping.
class DebugWindow : public QDialog {
    Q_OBJECT
public:
    explicit DebugWindow(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    friend class DebugPage; // the page fills the window's log as its own
    QPlainTextEdit *text;
};

class DebugPage : public QWidget {
    Q_OBJECT
public:
    DebugPage(TrafficLog &log, DebugRuns &runs, UserDialogs &dialogs, QWidget *parent = nullptr);
    // Reader operations may start (none runs).
    void setReaderIdle(bool idle);

    // Each view keeps the newest lines only, so that a flood cannot fill the memory.
    static constexpr int kKeptLines = 10000;
    // ... and no more characters than this: a line may hold a whole chunk of
    // a flood, thousands of bytes. Past it the oldest lines go, down to half.
    // A view's document keeps in its buffer every character ever appended,
    // also of lines it dropped: after this many the views are refilled with
    // what they show, which empties it.
    static constexpr qsizetype kKeptCharacters = 1000000;
    // A batch larger than this refills the views with the newest lines instead
    // of being appended: dropping many lines at the top one by one is slow.
    static constexpr int kRefillLines = 1000;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *log;
    QLineEdit *command;
    QPushButton *sendButton;
    QCheckBox *hex;
    QCheckBox *ascii;
    QPushButton *clearButton;
    // Why the typed command was not sent; hidden while there is nothing to say.
    QLabel *commandMessage;
    DebugWindow *window;

    void lineAdded(const QString &line);
    void appendPending();
    void send();

    TrafficLog &m_log;
    DebugRuns &m_runs;
    UserDialogs &m_dialogs;
    QStringList m_pending;
    qsizetype m_pendingCharacters = 0;
    std::deque<QString> m_shown; // what both views show, newest last
    qsizetype m_shownCharacters = 0;
    qsizetype m_appendedCharacters = 0; // appended to the views since they were last refilled
    QTimer m_appendTimer;
};

} // namespace limra
