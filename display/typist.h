#pragma once
// Types identifiers into the application in front, one key every 10 ms,
// driven by a timer on the main loop: nothing runs a nested event loop, so a
// receive handler is never re-entered while a key waits. Identifiers read
// while one is being typed wait their turn; a bounded number of them.
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <optional>

namespace limra {

class KeyInjector;

class IdentifierTypist : public QObject {
    Q_OBJECT
public:
    // How the identifier was rendered: decimal, hexadecimal or by a template.
    enum class View { Dec = 1, Hex = 2, Template = 3 };
    // Identifiers waiting beyond the one being typed. A flood of reads fills
    // the queue and the newest are not typed, so typing ends soon after the
    // reader falls quiet.
    static constexpr int kMaxWaiting = 8;

    explicit IdentifierTypist(KeyInjector *keys, QObject *parent = nullptr);
    ~IdentifierTypist() override;

    // Queues an identifier; false when the queue is full and it is not typed.
    bool type(const QString &text, View view, bool enter);
    bool busy() const { return m_current.has_value() || !m_waiting.isEmpty(); }
    // Stops typing and forgets what waits (the tool closes).
    void stop();

Q_SIGNALS:
    void idle();

private:
    struct Job {
        QString text;
        View view;
        bool enter;
        int next = 0;
    };
    void step();
    void begin(Job job);
    void end();

    KeyInjector *m_keys;
    QQueue<Job> m_waiting;
    std::optional<Job> m_current;
    QTimer m_timer;
};

} // namespace limra
