#include "provisioning/masterconfig.h"

#include "common/texts.h"
#include "link/hextext.h"
#include "provisioning/masterconfigwait.h"
#include "provisioning/singlecardwait.h"

namespace limra {

namespace {
// A master card's configuration shorter than this many bytes is not applied.
constexpr int kMinimumReportBytes = 20;
} // namespace

void MasterConfigRead::start()
{
    begin();
    m_failure = Failure::None;
    m_items = ConfigItems();
    setCardMode(true);
    request(payload(command::ReadMasterCard, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            // Refused: the reader goes back to card reading before and after the message.
            m_failure = Failure::Refused;
            resumeReading([this, error = *answer.error] { resumeAndFail(error); });
            return;
        }
        runWait(std::make_unique<MasterConfigWait>(m_link, m_timings), [this](WaitResult) {
            // The wait tells the card's report as hex text.
            const QByteArray report = hexToBytes(static_cast<MasterConfigWait *>(cardWait())->report());
            resumeReading([this, report] {
                if (report.size() < kMinimumReportBytes) {
                    m_failure = Failure::NotRead;
                    end(Status::Failed);
                    return;
                }
                m_items = ConfigItems::parse(report);
                end(Status::Done);
            });
        });
    });
}

Report MasterConfigRead::report() const
{
    if (m_failure == Failure::NotRead)
        return Report::error(texts::kConfigurationNotRead);
    return status() == Status::Done ? Report::none() : ReaderOperation::report();
}

Report MasterConfigTakeOver::report() const
{
    if (status() == Status::Done)
        return Report::message(texts::kDone);
    if (m_failure == Failure::NotTaken)
        return Report::error(QStringLiteral("Ошибка чтения/записи конфигурации."));
    return ReaderOperation::report();
}

MasterConfigTakeOver::MasterConfigTakeOver(ReaderLink &link, const Timings &timings, QObject *parent)
    : CardOperation(link, timings, parent), m_keep(link, timings)
{
    connect(&m_keep, &ConfigKeep::decisionNeeded, this, [this](const QString &problem) {
        if (!running())
            return;
        Q_EMIT changed();
        Q_EMIT decisionNeeded(problem);
    });
    connect(&m_keep, &ReaderOperation::ended, this, [this] {
        // The copy's step ends once a run, before the card is asked for.
        if (!running())
            return;
        if (m_keep.status() == Status::Done) {
            takeOver();
            return;
        }
        m_failure = Failure::Declined;
        end(Status::Cancelled);
    });
}

void MasterConfigTakeOver::start()
{
    begin();
    m_failure = Failure::None;
    if (keepCopy)
        m_keep.start(keepCopy);
    else
        takeOver();
}

void MasterConfigTakeOver::proceed(bool go)
{
    if (running())
        m_keep.decide(go);
}

void MasterConfigTakeOver::takeOver()
{
    Q_EMIT changed();
    setCardMode(true);
    request(payload(command::TakeOverMasterCard, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            m_failure = Failure::Refused;
            resumeAndFail(*answer.error);
            return;
        }
        runWait(std::make_unique<SingleCardWait>(m_link, m_timings, QStringLiteral("Чтение/запись конфигурации"),
                                                 QStringLiteral("Поднесите мастер-карту с конфигурацией к USB-считывателю")),
                [this](WaitResult result) {
                    resumeReading([this, result] {
                        if (result == WaitResult::Yes) {
                            end(Status::Done);
                        } else {
                            m_failure = Failure::NotTaken;
                            end(Status::Failed);
                        }
                    });
                });
    });
}

} // namespace limra

#include "moc_masterconfig.cpp"
