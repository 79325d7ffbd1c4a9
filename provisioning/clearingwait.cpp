#include "provisioning/clearingwait.h"

namespace limra {

ClearingWait::ClearingWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                           const QString &waitPrompt, const QString &finish, QObject *parent)
    : CardWait(link, timings, parent), prompt(waitPrompt), finishText(finish)
{
    caption = waitCaption;
}

void ClearingWait::opened()
{
    cleared = 0;
    Q_EMIT changed();
}

void ClearingWait::status(quint8 code)
{
    if (code != kCardDone) {
        tellCardError(code);
        return;
    }
    ++cleared;
    Q_EMIT changed();
}

void ClearingWait::finishByUser()
{
    finish(WaitResult::Yes);
}

} // namespace limra

#include "moc_clearingwait.cpp"
