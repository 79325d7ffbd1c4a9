#include "provisioning/masterconfigwait.h"

#include "link/hextext.h"

namespace limra {

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

#include "moc_masterconfigwait.cpp"
