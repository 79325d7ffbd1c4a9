#include "provisioning/securecardwait.h"

namespace limra {

SecureCardWait::SecureCardWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                               const QString &counter, const QString &finish, QObject *parent)
    : CardWait(link, timings, parent), counterCaption(counter), finishText(finish)
{
    caption = waitCaption;
}

void SecureCardWait::opened()
{
    page = Page::MasterCard;
    m_ticksLeft = m_budget;
    made = 0;
    Q_EMIT changed();
    startTicking();
}

void SecureCardWait::tick()
{
    if (page == Page::MasterCard)
        countDown();
}

void SecureCardWait::status(quint8 code)
{
    if (code != kCardDone) {
        tellCardError(code);
        return;
    }
    if (page == Page::MasterCard) {
        // The reader accepted the master card: from now on cards are counted.
        stopTicking();
        page = Page::Cards;
        made = 0;
    } else {
        ++made;
    }
    Q_EMIT changed();
}

void SecureCardWait::finishByUser()
{
    finish(WaitResult::Yes);
}

} // namespace limra

#include "moc_securecardwait.cpp"
