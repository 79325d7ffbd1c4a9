#pragma once
// What the card workflows share: a command that puts the reader into a card
// operation, and a card wait the user follows while the reader works.
#include <functional>
#include <memory>

#include "link/operation.h"
#include "provisioning/cardwait.h"

namespace limra {

class CardOperation : public ReaderOperation {
    Q_OBJECT
public:
    using ReaderOperation::ReaderOperation;
    ~CardOperation() override;

    // The card wait of the operation (open or ended), or none yet.
    CardWait *cardWait() const { return m_wait.get(); }

Q_SIGNALS:
    // A card wait opened: whoever shows the operation shows it.
    void cardWaitOpened(limra::CardWait *wait);

protected:
    // Sends a command that puts the reader into a card operation. Refused
    // (or not answered): the reader goes back to card reading and the
    // operation fails with the reader's error. Accepted: `then`.
    void startCardOperation(const QByteArray &payload, std::function<void()> then);
    // Opens a card wait; `then` gets its result once it has ended.
    void runWait(std::unique_ptr<CardWait> wait, std::function<void(WaitResult)> then);
    // Cancelling or losing the reader closes an open wait.
    void stopping() override;

private:
    std::unique_ptr<CardWait> m_wait;
    std::function<void(WaitResult)> m_then;
};

} // namespace limra
