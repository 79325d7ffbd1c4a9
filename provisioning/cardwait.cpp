#include "provisioning/cardwait.h"

#include "common/texts.h"
#include "link/errors.h"

namespace limra {

// ---- common ------------------------------------------------------------------

void CardWait::open(CardWaitHost &host, int budgetTicks)
{
    m_host = &host;
    m_budget = budgetTicks;
    opened();
}

void CardWait::showFailure()
{
    m_host->stopTimer();
    m_host->message(texts::kErrorPrefix + errorText(m_events.code()));
    m_host->startTimer();
}

void CardWait::countDown()
{
    if (m_events.failure()) {
        showFailure();
        m_events.consume();
    }
    --m_ticksLeft;
    m_host->changed();
    if (m_ticksLeft == 0) {
        m_host->stopTimer();
        m_host->finish(WaitResult::No);
    }
}

// ---- writing master cards ------------------------------------------------------

MasterCardWriting::MasterCardWriting(CardEvents &events, Start start, ConfirmOption confirmOption)
    : CardWait(events), m_start(std::move(start)), m_confirmOption(std::move(confirmOption))
{
    caption = QStringLiteral("Запись мастер-карт");
}

void MasterCardWriting::opened()
{
    heading = QStringLiteral("Подготовьте необходимое количество чистых карт ") + cardType;
    m_host->stopTimer();
    page = Page::Count;
    requested = 0;
    written = 0;
    m_host->changed();
}

void MasterCardWriting::setOption(bool checked)
{
    optionChecked = checked && m_confirmOption();
    m_host->changed();
}

void MasterCardWriting::chooseCount(int count)
{
    requested = count;
    written = 0;
    if (!m_start(count, optionChecked)) {
        m_host->finish(WaitResult::Cancel);
        return;
    }
    page = Page::Progress;
    m_events.consume();
    promptNextCard();
    m_host->startTimer();
}

void MasterCardWriting::promptNextCard()
{
    prompt = QStringLiteral("Поднесите %1 из %2 карту ").arg(written + 1).arg(requested) + cardType
             + QStringLiteral("к USB-считывателю");
    m_ticksLeft = m_budget;
    m_host->changed();
}

void MasterCardWriting::tick()
{
    --m_ticksLeft;
    m_host->changed();
    if (m_ticksLeft <= 0) {
        m_host->stopTimer();
        m_host->message(texts::kErrorPrefix + QStringLiteral("время истекло"));
        m_host->finish(WaitResult::Cancel);
    }
    if (!m_events.waiting())
        return;
    if (m_events.success()) {
        m_host->stopTimer();
        ++written;
        if (written < requested) {
            promptNextCard();
            m_host->startTimer();
        } else {
            m_host->message(requested == 1 ? QStringLiteral("Мастер-карта успешно создана")
                                           : QStringLiteral("Мастер-карты успешно созданы"));
            m_host->finish(WaitResult::Cancel);
        }
    } else if (m_events.failure()) {
        showFailure();
    }
    m_events.consume();
}

// ---- one card ------------------------------------------------------------------

SingleCardWait::SingleCardWait(CardEvents &events, const QString &waitCaption, const QString &waitPrompt)
    : CardWait(events), prompt(waitPrompt)
{
    caption = waitCaption;
}

void SingleCardWait::opened()
{
    m_host->stopTimer();
    m_ticksLeft = m_budget;
    m_host->changed();
    m_host->startTimer();
}

void SingleCardWait::tick()
{
    if (m_ticksLeft == 0) {
        m_host->stopTimer();
        return;
    }
    if (m_events.success()) {
        m_host->stopTimer();
        m_host->finish(WaitResult::Yes); // the status stays in place
        return;
    }
    countDown();
}

// ---- clearing cards --------------------------------------------------------------

ClearingWait::ClearingWait(CardEvents &events, const QString &waitCaption, const QString &waitPrompt,
                           const QString &finish)
    : CardWait(events), prompt(waitPrompt), finishText(finish)
{
    caption = waitCaption;
}

void ClearingWait::opened()
{
    countShown = 0;
    cleared = 0;
    m_host->changed();
    m_host->startTimer();
}

void ClearingWait::tick()
{
    // The timer stays stopped for the whole tick, message included.
    m_host->stopTimer();
    countShown = cleared;
    m_host->changed();
    if (m_events.waiting()) {
        if (m_events.success())
            ++cleared;
        else if (m_events.failure())
            m_host->message(texts::kErrorPrefix + errorText(m_events.code()));
        m_events.consume();
    }
    m_host->startTimer();
}

void ClearingWait::finishByUser()
{
    m_host->stopTimer();
    m_host->finish(WaitResult::Yes);
}

// ---- secure cards ------------------------------------------------------------------

SecureCardWait::SecureCardWait(CardEvents &events, const QString &waitCaption, const QString &counter,
                               const QString &finish)
    : CardWait(events), counterCaption(counter), finishText(finish)
{
    caption = waitCaption;
}

void SecureCardWait::opened()
{
    m_host->stopTimer();
    page = Page::MasterCard;
    m_ticksLeft = m_budget;
    made = 0;
    m_host->changed();
    m_host->startTimer();
}

void SecureCardWait::tick()
{
    if (page == Page::MasterCard) {
        if (m_ticksLeft == 0) {
            m_host->stopTimer();
            return;
        }
        if (m_events.success()) {
            // The reader accepted the master card: from now on cards are counted.
            m_host->stopTimer();
            made = 0;
            page = Page::Cards;
            m_host->changed();
            m_host->startTimer();
            m_events.consume();
            return;
        }
        countDown();
        return;
    }
    if (m_events.success()) {
        ++made;
        m_events.consume();
    } else if (m_events.failure()) {
        showFailure();
        m_events.consume();
    }
    m_host->changed();
}

void SecureCardWait::finishByUser()
{
    m_host->stopTimer();
    m_host->finish(WaitResult::Yes);
}

// ---- a master card's configuration --------------------------------------------------

MasterConfigWait::MasterConfigWait(CardEvents &events) : CardWait(events)
{
    caption = QStringLiteral("Чтение конфигурации с мастер-карты");
}

void MasterConfigWait::opened()
{
    report.clear();
    m_waiting = true;
    m_host->startTimer();
    secondsLeft = kSeconds;
    m_host->changed();
}

void MasterConfigWait::tick()
{
    --secondsLeft;
    m_host->changed();
    if (secondsLeft == 0) {
        report = QStringLiteral("timeout");
        m_waiting = false;
        m_host->stopTimer();
        m_host->finish(WaitResult::Cancel);
    }
}

void MasterConfigWait::masterConfigRead(const QString &items)
{
    report = items;
    m_waiting = false;
    m_host->finish(WaitResult::Cancel);
}

} // namespace limra
