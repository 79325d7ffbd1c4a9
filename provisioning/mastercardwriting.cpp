#include "provisioning/mastercardwriting.h"

namespace limra {

MasterCardWriting::MasterCardWriting(ReaderLink &link, const Timings &timings, const QString &cardType,
                                     bool optionVisible, QObject *parent)
    : CardWait(link, timings, QStringLiteral("Запись мастер-карт"), parent),
      m_cardType(cardType),
      m_optionVisible(optionVisible)
{
}

void MasterCardWriting::opened()
{
    m_heading = QStringLiteral("Подготовьте необходимое количество чистых карт ") + m_cardType;
    m_page = Page::Count;
    m_requested = 0;
    m_written = 0;
    Q_EMIT changed();
}

void MasterCardWriting::setOption(bool checked)
{
    m_optionChecked = checked;
    Q_EMIT changed();
}

void MasterCardWriting::chooseCount(int count)
{
    if (!isOpen() || m_page != Page::Count || m_requested != 0 || count < 1 || count > 5)
        return;
    m_requested = count;
    m_written = 0;
    Q_EMIT countChosen(count, m_optionChecked);
}

void MasterCardWriting::writingStarted()
{
    if (!isOpen())
        return;
    m_page = Page::Progress;
    promptNextCard();
    startTicking();
}

void MasterCardWriting::promptNextCard()
{
    m_prompt = QStringLiteral("Поднесите %1 из %2 карту ").arg(m_written + 1).arg(m_requested) + m_cardType
               + QStringLiteral("к USB-считывателю");
    m_ticksLeft = m_budget;
    Q_EMIT changed();
}

void MasterCardWriting::tick()
{
    --m_ticksLeft;
    Q_EMIT changed();
    if (m_ticksLeft <= 0) {
        tell({Notice::Kind::TimeUp, 0, 0});
        finish(WaitResult::No);
    }
}

void MasterCardWriting::status(quint8 code)
{
    if (m_page != Page::Progress)
        return;
    if (code != kCardDone) {
        tellCardError(code); // the countdown for this card goes on after the message
        return;
    }
    ++m_written;
    if (m_written < m_requested) {
        promptNextCard();
        return;
    }
    Q_EMIT changed();
    tell({Notice::Kind::MasterCardsWritten, 0, m_requested});
    finish(WaitResult::Done);
}

} // namespace limra

#include "moc_mastercardwriting.cpp"
