#pragma once
// What every reader workflow is: a state machine that sends its commands
// through the link as requests, moves on when their answers come, tells
// its state and progress (`changed`) and ends once with a result: each
// operation tells its own typed result (`finished(result)`). It never shows
// a message or asks a question: where a workflow needs the user, it stops in
// a state that says so and goes on when told. The station makes a new one
// for each run, so an ended run's result never changes.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "link/linkerror.h"
#include "link/readerlink.h"
#include "common/timings.h"

namespace limra {

// What the user is told of something that ended: nothing, a plain message,
// or an error. The window shows it in a message box, the command line on
// standard error; both take the text from here.
struct Report {
    enum class Kind { None, Message, Information, Error };
    Kind kind = Kind::None;
    QString text;

    static Report none() { return {}; }
    static Report message(const QString &text) { return {Kind::Message, text}; }
    static Report information(const QString &text) { return {Kind::Information, text}; }
    static Report error(const QString &text) { return {Kind::Error, text}; }
    bool operator==(const Report &o) const { return kind == o.kind && text == o.text; }
};

class ReaderOperation : public QObject {
    Q_OBJECT
public:
    // How an operation ended.
    enum class Status {
        Running,    // not ended yet
        Done,
        Failed,     // a step failed; the operation's result says which and why
        Cancelled,  // the user gave up
        ReaderLost, // the reader's port went away
    };

    // What every run's end tells: how it ended, the error that made a step
    // fail and what the user is told. Each operation's own result adds its data.
    struct Outcome {
        Status status = Status::Running;
        std::optional<LinkError> error;
        Report report;
    };

    ReaderOperation(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    ~ReaderOperation() override;

    bool running() const { return m_running; }
    Status status() const { return m_status; }
    // The reader's error, or the link's, that made a step fail.
    std::optional<LinkError> error() const { return m_error; }
    // What the user is told of the end: the reader lost is an error, a
    // cancel nothing; every operation says the rest.
    virtual Report report() const;
    // The status, error and report as they stand.
    Outcome outcome() const { return {m_status, m_error, report()}; }

    // The user gives up: a reader put into a card-operation mode goes back
    // to card reading first; the operation then ends as cancelled.
    virtual void cancel();

Q_SIGNALS:
    // Its state or progress changed.
    void changed();
    // It has ended (told from the event loop, once, just before the
    // operation's own finished(result)): for whoever runs operations.
    void ended();

protected:
    using Continuation = std::function<void(const ReaderLink::Answer &)>;

    // Marks the operation running.
    void begin();
    // Sends a command (cmd, ver, items). `then` gets its answer, unless the
    // operation has ended meanwhile; a port gone away ends the operation as
    // ReaderLost instead. A time limit of 0 is the usual reply time.
    void request(const QByteArray &payload, Continuation then, int timeoutMs = 0);
    // The same for bytes sent as they are (the firmware loader's blocks).
    void requestRaw(const QByteArray &bytes, Continuation then, int timeoutMs);
    // Sends "0501": the reader goes back to card reading; its answer is not
    // looked at. Then `then`.
    void resumeReading(std::function<void()> then);
    // A command that puts the reader into a card operation: while it runs,
    // cancelling and ending send "0501" first.
    void setCardMode(bool on) { m_cardMode = on; }

    // Ends the operation with a status (and the error that made it fail).
    void end(Status status, std::optional<LinkError> error = std::nullopt);
    // Ends as failed after "0501", the way a refused start command ends.
    void resumeAndFail(const LinkError &error, std::function<void()> before = nullptr);

    // The reader's port went away while the operation ran. Ends it as
    // ReaderLost; operations that expect the port to go (the firmware
    // update's restart) override it.
    virtual void readerLost();
    // Told when the operation is cancelled, before it ends: stop what runs.
    virtual void stopping() {}
    // Tells the operation's typed end (its finished(result)), after ended().
    virtual void tellFinished() {}

    ReaderLink &m_link;
    const Timings &m_timings;

private:
    ReaderLink::Handler handler(Continuation then);

    bool m_running = false;
    bool m_cardMode = false;
    Status m_status = Status::Running;
    std::optional<LinkError> m_error;
    ReaderLink::RequestId m_pending = 0;
};

// Called with a run made for a start, before it starts: whoever started it
// connects to it there (its first steps may be told at once).
template <class Run>
using Watch = std::function<void(Run &)>;

// Runs reader operations one at a time: each start makes a new run, which
// the gate owns and deletes once its end has been told; a start while
// another operation runs is refused (no run: nullptr). The front ends' own
// ways to start (ConfigRuns, CardRuns, FirmwareRuns, DebugRuns) build on it.
class OperationGate {
public:
    virtual ~OperationGate() = default;
    virtual bool busy() const = 0;
};

} // namespace limra
