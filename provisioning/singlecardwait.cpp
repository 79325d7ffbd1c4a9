#include "provisioning/singlecardwait.h"

namespace limra {

SingleCardWait::SingleCardWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                               const QString &waitPrompt, QObject *parent)
    : CardWait(link, timings, waitCaption, parent), m_prompt(waitPrompt)
{
}

void SingleCardWait::opened()
{
    m_ticksLeft = m_budget;
    Q_EMIT changed();
    startTicking();
}

void SingleCardWait::tick()
{
    countDown();
}

void SingleCardWait::status(quint8 code)
{
    if (code == kCardDone)
        finish(WaitResult::Yes);
    else
        tellCardError(code);
}

} // namespace limra

#include "moc_singlecardwait.cpp"
