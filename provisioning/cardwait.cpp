#include "provisioning/cardwait.h"

#include "common/texts.h"
#include "link/errors.h"
#include "link/hextext.h"

namespace limra {

QString noticeText(const CardWait::Notice &notice)
{
    switch (notice.kind) {
    case CardWait::Notice::Kind::CardError: return texts::kErrorPrefix + errorText(notice.code);
    case CardWait::Notice::Kind::TimeUp: return texts::kErrorPrefix + QStringLiteral("время истекло");
    case CardWait::Notice::Kind::MasterCardsWritten:
        return notice.count == 1 ? QStringLiteral("Мастер-карта успешно создана")
                                 : QStringLiteral("Мастер-карты успешно созданы");
    }
    return QString();
}

// ---- common ------------------------------------------------------------------

CardWait::CardWait(ReaderLink &link, const Timings &timings, QObject *parent)
    : QObject(parent), m_link(link), m_timings(timings)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_open)
            tick();
    });
}

int CardWait::tickMs() const
{
    return kind() == Kind::MasterConfig ? m_timings.masterReportTick : m_timings.cardTick;
}

void CardWait::open()
{
    m_budget = m_timings.cardBudget();
    m_open = true;
    m_ticking = false;
    m_unacknowledged = 0;
    m_result = WaitResult::Cancel;
    m_timer.setInterval(tickMs());
    m_statuses = connect(&m_link, &ReaderLink::cardStatus, this, [this](quint8 code) {
        if (m_open)
            status(code);
    });
    opened();
}

void CardWait::close()
{
    finish(WaitResult::Cancel);
}

void CardWait::startTicking()
{
    m_ticking = true;
    if (m_open && m_unacknowledged == 0)
        m_timer.start();
}

void CardWait::stopTicking()
{
    m_ticking = false;
    m_timer.stop();
}

void CardWait::tell(const Notice &told)
{
    ++m_unacknowledged;
    m_timer.stop(); // the countdown waits while the user reads
    Q_EMIT notice(told);
}

void CardWait::acknowledge()
{
    if (m_unacknowledged > 0)
        --m_unacknowledged;
    if (m_open && m_ticking && m_unacknowledged == 0 && !m_timer.isActive())
        m_timer.start();
}

void CardWait::countDown()
{
    --m_ticksLeft;
    Q_EMIT changed();
    if (m_ticksLeft <= 0)
        finish(WaitResult::No);
}

void CardWait::finish(WaitResult result)
{
    if (!m_open)
        return;
    m_open = false;
    m_ticking = false;
    m_timer.stop();
    disconnect(m_statuses);
    m_result = result;
    Q_EMIT changed();
    Q_EMIT ended(result);
}

// ---- writing master cards ------------------------------------------------------

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

// ---- one card ------------------------------------------------------------------

SingleCardWait::SingleCardWait(ReaderLink &link, const Timings &timings, const QString &waitCaption,
                               const QString &waitPrompt, QObject *parent)
    : CardWait(link, timings, parent), prompt(waitPrompt)
{
    caption = waitCaption;
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

// ---- clearing cards --------------------------------------------------------------

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

// ---- secure cards ------------------------------------------------------------------

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

// ---- a master card's configuration --------------------------------------------------

MasterConfigWait::MasterConfigWait(ReaderLink &link, const Timings &timings, QObject *parent)
    : CardWait(link, timings, parent)
{
    caption = QStringLiteral("Чтение конфигурации с мастер-карты");
    connect(this, &CardWait::ended, this, [this] { disconnect(m_frames); });
}

void MasterConfigWait::opened()
{
    report.clear();
    timedOut = false;
    secondsLeft = m_timings.masterReportTicks;
    m_frames = connect(&m_link, &ReaderLink::frameReceived, this, [this](const Reply &frame) {
        if (!isOpen() || frame.cmd != command::WriteConfig || frame.ver != command::MasterReportVersion)
            return;
        report = bytesToHex(frame.body);
        finish(WaitResult::Cancel);
    });
    Q_EMIT changed();
    startTicking();
}

void MasterConfigWait::tick()
{
    --secondsLeft;
    Q_EMIT changed();
    if (secondsLeft <= 0) {
        timedOut = true;
        finish(WaitResult::Cancel);
    }
}

} // namespace limra

#include "moc_cardwait.cpp"
