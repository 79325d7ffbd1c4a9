#pragma once
// Configuration through master cards: a master card's configuration read
// (for the editor), or taken over by the USB reader directly.
#include <functional>

#include "config/transfer.h"
#include "provisioning/cardoperation.h"

namespace limra {

// "Считать конфигурацию с мастер-карты": the reader reports the configuration
// of the next master card presented within 30 seconds.
class MasterConfigRead : public CardOperation {
    Q_OBJECT
public:
    enum class Failure {
        None,
        Refused,  // the reader refused to read master cards: error()
        NotRead,  // no configuration came (time out, closed, or too short)
    };
    struct Result : Outcome {
        Failure failure = Failure::None;
        ConfigItems items; // the card's configuration items
    };

    using CardOperation::CardOperation;
    void start();
    // Refusals and no configuration; a configuration read is told by
    // whoever puts it in.
    Report report() const override;

    Failure failure() const { return m_failure; }
    // The card's configuration items.
    ConfigItems items() const { return m_items; }
    Result result() const { return {outcome(), m_failure, m_items}; }

Q_SIGNALS:
    void finished(const limra::MasterConfigRead::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    Failure m_failure = Failure::None;
    ConfigItems m_items;
};

// "Считать конфигурацию с мастер-карты и записать в USB-считыватель": the
// reader takes over the configuration of the next master card presented.
// The reader's configuration is kept first, when a way to keep it is given;
// when that fails the operation waits for the user's decision.
class MasterConfigTakeOver : public CardOperation {
    Q_OBJECT
public:
    enum class Failure {
        None,
        Declined, // the copy could not be kept and the user chose not to go on
        Refused,  // the reader refused: error()
        NotTaken, // no master card was taken (time out, or closed)
    };
    struct Result : Outcome {
        Failure failure = Failure::None;
    };
    MasterConfigTakeOver(ReaderLink &link, const Timings &timings, QObject *parent = nullptr);
    void start();
    ConfigKeep::KeepCopy keepCopy;
    Report report() const override;

    bool awaitingDecision() const { return running() && m_keep.awaitingDecision(); }
    QString keepProblem() const { return m_keep.problem(); }
    // The user's decision after the copy could not be kept (decisionNeeded).
    void proceed(bool takeOver);
    Failure failure() const { return m_failure; }
    Result result() const { return {outcome(), m_failure}; }

Q_SIGNALS:
    // The reader's configuration could not be kept: the user decides (proceed()).
    void decisionNeeded(const QString &problem);
    void finished(const limra::MasterConfigTakeOver::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }
    void stopping() override
    {
        m_keep.cancel();
        CardOperation::stopping();
    }

private:
    void takeOver();

    ConfigKeep m_keep;
    Failure m_failure = Failure::None;
};

} // namespace limra
