#include "provisioning/clearingwait.h"

namespace limra {

ClearingWait::ClearingWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                           const QString &waitPrompt, const QString &finish, QObject *parent)
    : CardWait(link, timings, waitCaption, parent), m_prompt(waitPrompt), m_finishText(finish)
{
}

void ClearingWait::opened()
{
    m_cleared = 0;
    Q_EMIT changed();
}

void ClearingWait::status(quint8 code)
{
    if (code != kCardDone) {
        tellCardError(code);
        return;
    }
    ++m_cleared;
    Q_EMIT changed();
}

void ClearingWait::finishByUser()
{
    finish(WaitResult::Yes);
}

} // namespace limra

#include "moc_clearingwait.cpp"
