#pragma once
// Creating master cards with a configuration, and clearing master cards. The
// USB reader writes and clears the cards; the operations put it into the
// right mode, supply the configuration and run the card waits.
#include "config/configitems.h"
#include "config/readerconfig.h"
#include "provisioning/cardoperation.h"
#include "provisioning/mastercardwriting.h"

namespace limra {

// The card-type word the prompts name for a read mode and the highlighted
// entry of the format list (-1: none): one trailing blank, or empty.
QString masterCardTypeWord(ReadMode readMode, int highlightedFormat);

// "Создать мастер-карты": the count is the user's choice on the wait's first
// page; then the configuration for master cards and the start of writing go
// to the reader, and the wait counts the cards written.
class MasterCardsCreate : public CardOperation {
    Q_OBJECT
public:
    enum class Failure {
        None,
        ConfigRefused, // the configuration for master cards was refused: error()
        StartRefused,  // the start of writing was refused: error()
        TimeUp,        // a card was not written in time
        Closed,        // the user closed the wait before every card was written
    };
    // What the run gave.
    struct Result : Outcome {
        Failure failure = Failure::None;
        int written = 0;   // the cards written, also when it ended before the last one
        int requested = 0; // the cards asked for (0: the user did not choose)
        bool protectedMode = false;
    };

    using CardOperation::CardOperation;
    // `items`: the configuration for master cards as it was when the user
    // asked; the wait shows `cardType` and, when `optionVisible`, the
    // protected-mode option.
    void start(const ConfigItems &items, const QString &cardType, bool optionVisible);
    // The refusals; the cards written and a time out are the wait's notices.
    Report report() const override;
    MasterCardWriting *writing() const { return static_cast<MasterCardWriting *>(cardWait()); }

    Failure failure() const { return m_failure; }
    // The cards written, also when the operation ended before the last one.
    int written() const { return m_written; }
    // The cards asked for (0 until the user chose).
    int requested() const { return m_requested; }
    // The protection byte sent with the configuration ("AA" or "00").
    bool protectedMode() const { return m_protected; }
    Result result() const { return {outcome(), m_failure, m_written, m_requested, m_protected}; }

Q_SIGNALS:
    void finished(const limra::MasterCardsCreate::Result &result);

protected:
    // The cards written so far are told with the loss of the reader.
    void readerLost() override;
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    void write(int count, bool protectedMode);
    void refused(Failure failure, const LinkError &error);

    ConfigItems m_items;
    Failure m_failure = Failure::None;
    std::optional<LinkError> m_refusal;
    int m_written = 0;
    int m_requested = 0;
    bool m_protected = false;
};

// "Очистить мастер-карты": the reader clears every master card presented
// until the user finishes.
class MasterCardsClear : public CardOperation {
    Q_OBJECT
public:
    struct Result : Outcome {
        int cleared = 0;
    };

    using CardOperation::CardOperation;
    void start();
    int cleared() const { return m_cleared; }
    Result result() const { return {outcome(), m_cleared}; }

Q_SIGNALS:
    void finished(const limra::MasterCardsClear::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    int m_cleared = 0;
};

} // namespace limra
