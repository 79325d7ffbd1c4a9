#include "provisioning/mastercardwriting.h"

namespace limra {

void MasterCardWriting::opened()
{
    caption = QStringLiteral("Запись мастер-карт");
    heading = QStringLiteral("Подготовьте необходимое количество чистых карт ") + cardType;
    page = Page::Count;
    requested = 0;
    written = 0;
    timedOut = false;
    Q_EMIT changed();
}

void MasterCardWriting::setOption(bool checked)
{
    optionChecked = checked;
    Q_EMIT changed();
}

void MasterCardWriting::chooseCount(int count)
{
    if (!isOpen() || page != Page::Count || requested != 0 || count < 1 || count > 5)
        return;
    requested = count;
    written = 0;
    Q_EMIT countChosen(count, optionChecked);
}

void MasterCardWriting::writingStarted()
{
    if (!isOpen())
        return;
    page = Page::Progress;
    promptNextCard();
    startTicking();
}

void MasterCardWriting::promptNextCard()
{
    prompt = QStringLiteral("Поднесите %1 из %2 карту ").arg(written + 1).arg(requested) + cardType
             + QStringLiteral("к USB-считывателю");
    m_ticksLeft = m_budget;
    Q_EMIT changed();
}

void MasterCardWriting::tick()
{
    --m_ticksLeft;
    Q_EMIT changed();
    if (m_ticksLeft <= 0) {
        timedOut = true;
        tell({Notice::Kind::TimeUp, 0, 0});
        finish(WaitResult::Cancel);
    }
}

void MasterCardWriting::status(quint8 code)
{
    if (page != Page::Progress)
        return;
    if (code != kCardDone) {
        tellCardError(code); // the countdown for this card goes on after the message
        return;
    }
    ++written;
    if (written < requested) {
        promptNextCard();
        return;
    }
    Q_EMIT changed();
    tell({Notice::Kind::MasterCardsWritten, 0, requested});
    finish(WaitResult::Cancel);
}

} // namespace limra

#include "moc_mastercardwriting.cpp"
