#include "provisioning/masterconfigwait.h"

#include "link/hextext.h"

namespace limra {

MasterConfigWait::MasterConfigWait(ReaderLink &link, const Timings &timings, QObject *parent)
    : CardWait(link, timings, QStringLiteral("Чтение конфигурации с мастер-карты"), parent)
{
    connect(this, &CardWait::ended, this, [this] { disconnect(m_frames); });
}

void MasterConfigWait::opened()
{
    m_report.clear();
    m_secondsLeft = m_timings.masterReportTicks;
    m_frames = connect(&m_link, &ReaderLink::frameReceived, this, [this](const Reply &frame) {
        if (!isOpen() || frame.cmd != command::WriteConfig || frame.ver != command::MasterReportVersion)
            return;
        m_report = bytesToHex(frame.body);
        finish(WaitResult::Done);
    });
    Q_EMIT changed();
    startTicking();
}

void MasterConfigWait::tick()
{
    --m_secondsLeft;
    Q_EMIT changed();
    if (m_secondsLeft <= 0)
        finish(WaitResult::No);
}

} // namespace limra

#include "moc_masterconfigwait.cpp"
