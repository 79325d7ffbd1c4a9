#include "provisioning/cardoperation.h"

namespace limra {

CardOperation::~CardOperation() = default;

void CardOperation::startCardOperation(const QByteArray &command, std::function<void()> then)
{
    // From the moment the command goes out the reader may be in its card
    // operation: a cancel meanwhile puts it back to card reading.
    setCardMode(true);
    request(command, [this, then = std::move(then)](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            resumeAndFail(*answer.error);
            return;
        }
        then();
    });
}

void CardOperation::runWait(std::unique_ptr<CardWait> wait, std::function<void(WaitResult)> then)
{
    if (m_wait)
        m_wait.release()->deleteLater(); // a view may still hold the last one
    m_wait = std::move(wait);
    m_then = std::move(then);
    connect(m_wait.get(), &CardWait::ended, this, [this](WaitResult result) {
        if (!running() || !m_then)
            return;
        auto next = std::exchange(m_then, nullptr);
        next(result);
    });
    m_wait->open();
    if (m_wait->isOpen())
        Q_EMIT cardWaitOpened(m_wait.get());
}

void CardOperation::stopping()
{
    m_then = nullptr;
    if (m_wait)
        m_wait->close();
}

} // namespace limra

#include "moc_cardoperation.cpp"
