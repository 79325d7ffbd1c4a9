#include "provisioning/securecardwait.h"

namespace limra {

SecureCardWait::SecureCardWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                               const QString &counter, const QString &finish, QObject *parent)
    : CardWait(link, timings, waitCaption, parent), m_counterCaption(counter), m_finishText(finish)
{
}

void SecureCardWait::opened()
{
    m_page = Page::MasterCard;
    m_ticksLeft = m_budget;
    m_made = 0;
    Q_EMIT changed();
    startTicking();
}

void SecureCardWait::tick()
{
    if (m_page == Page::MasterCard)
        countDown();
}

void SecureCardWait::status(quint8 code)
{
    if (code != kCardDone) {
        tellCardError(code);
        return;
    }
    if (m_page == Page::MasterCard) {
        // The reader accepted the master card: from now on cards are counted.
        stopTicking();
        m_page = Page::Cards;
        m_made = 0;
    } else {
        ++m_made;
    }
    Q_EMIT changed();
}

void SecureCardWait::finishByUser()
{
    finish(WaitResult::Yes);
}

} // namespace limra

#include "moc_securecardwait.cpp"
