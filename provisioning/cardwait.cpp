#include "provisioning/cardwait.h"

#include "common/texts.h"
#include "link/errors.h"

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

CardWait::CardWait(ReaderLink &link, const Timings &timings, const QString &caption, QObject *parent)
    : QObject(parent), m_link(link), m_timings(timings), m_caption(caption)
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

} // namespace limra

#include "moc_cardwait.cpp"
