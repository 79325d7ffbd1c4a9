#pragma once
// The configuration between the tool and the reader: reading it ("0B01")
// and writing it ("0101" + items), each an operation with a typed result.
// Putting a read configuration into the editor, and the messages, are the
// caller's.
#include <QString>
#include <functional>

#include "common/expected.h"
#include "config/backups.h"
#include "config/configitems.h"
#include "link/operation.h"

namespace limra {

// "0B01": the reader's configuration items.
class ConfigRead : public ReaderOperation {
    Q_OBJECT
public:
    enum class Failure {
        None,
        Refused,  // the reader refused or did not answer: error()
        TooShort, // the reply holds no configuration
    };

    // What the read gave.
    struct Result : Outcome {
        Failure failure = Failure::None;
        ConfigItems items; // the configuration items
    };

    using ReaderOperation::ReaderOperation;
    void start();
    // Refusals and a reply without a configuration; a read that worked is
    // told by whoever puts the configuration in.
    Report report() const override;

    Result result() const { return {outcome(), m_failure, m_items}; }
    Failure failure() const { return m_failure; }
    // The configuration items read.
    ConfigItems items() const { return m_items; }

Q_SIGNALS:
    // The read has ended (after ended()).
    void finished(const limra::ConfigRead::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    void finish(Failure failure, const ConfigItems &items, Status status,
                std::optional<LinkError> error = std::nullopt);

    Failure m_failure = Failure::None;
    ConfigItems m_items;
};

// The question asked when the reader's configuration could not be kept
// before a write: its caption, and its text with the reason.
QString keepFailedCaption();
QString keepFailedQuestion(const QString &problem);

// The step before a write replaces the reader's configuration: the
// configuration the reader holds is read ("0B01") and kept. When that fails
// the step waits for the user's decision: `decisionNeeded` tells why, once,
// and `decide` goes on. It ends Done when the write may go on (the copy kept,
// or the user chose to write anyway) and Cancelled when the user chose not to.
class ConfigKeep : public ReaderOperation {
    Q_OBJECT
public:
    // Keeps the reader's configuration items, or tells why not.
    using KeepCopy = std::function<Expected<void, KeepError>(const ConfigItems &items)>;

    using ReaderOperation::ReaderOperation;
    void start(const KeepCopy &keep);
    bool awaitingDecision() const { return running() && m_awaitingDecision; }
    // Why the copy could not be kept.
    QString problem() const { return m_problem; }
    // The user's decision: go on without the copy (true) or not.
    void decide(bool goOn);

Q_SIGNALS:
    // The copy could not be kept: the user decides (decide()).
    void decisionNeeded(const QString &problem);

private:
    QString m_problem;
    bool m_awaitingDecision = false;
};

// Writes a configuration into the reader. First the configuration the reader
// holds is read and kept (when a way to keep it is given); when that fails
// the write waits for the user's decision. In the protected read modes the
// reader then waits for the master card with the object code: the write
// waits until whoever runs that card wait tells how it went. The reader goes
// back to card reading at the end, also after a refused write.
class ConfigWrite : public ReaderOperation {
    Q_OBJECT
public:
    enum class State { Idle, KeepingCopy, AwaitingDecision, Writing, AwaitingObjectCode, Resuming };
    enum class Failure {
        None,
        Declined,         // the copy could not be kept and the user chose not to write
        Refused,          // the reader refused the configuration, or did not answer: error()
        ObjectCodeNotTaken,
    };
    // What the write gave.
    struct Result : Outcome {
        Failure failure = Failure::None;
        QString keepProblem; // why the reader's configuration could not be kept
        ConfigItems items;   // the items written
    };
    ConfigWrite(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);

    // `items`: the configuration as it was when the user asked for the write.
    // `objectCode`: a protected read mode, whose object code the reader
    // takes from a master card after the write.
    void start(const ConfigItems &items, bool objectCode);
    ConfigKeep::KeepCopy keepCopy;
    Report report() const override;

    State state() const { return running() ? m_state : State::Idle; }
    Failure failure() const { return m_failure; }
    // Why the reader's configuration could not be kept (AwaitingDecision).
    QString keepProblem() const { return m_keep.problem(); }
    // The user's decision after the copy could not be kept (decisionNeeded).
    void proceed(bool write);
    // The master card with the object code was taken (true) or not.
    void objectCodeTaken(bool taken);
    // The items written.
    ConfigItems items() const { return m_items; }
    Result result() const { return {outcome(), m_failure, keepProblem(), m_items}; }

Q_SIGNALS:
    // The reader's configuration could not be kept: the user decides (proceed()).
    void decisionNeeded(const QString &problem);
    // The reader took the configuration.
    void written();
    // The write has ended (after ended()).
    void finished(const limra::ConfigWrite::Result &result);

protected:
    void stopping() override { m_keep.cancel(); }
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    void write();
    void finishWith(Failure failure);

    ConfigKeep m_keep;
    State m_state = State::Idle;
    Failure m_failure = Failure::None;
    ConfigItems m_items;
    bool m_objectCode = false;
};

} // namespace limra
