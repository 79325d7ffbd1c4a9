#include "config/transfer.h"

#include "common/texts.h"
#include "config/configfile.h"
#include "link/errors.h"

namespace limra {

// ---- reading ------------------------------------------------------------------

void ConfigRead::start()
{
    begin();
    request(payload(command::ReadConfig, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok())
            return finish(Failure::Refused, ConfigItems(), Status::Failed, answer.error);
        const ConfigItems items = ConfigItems::parse(answer.reply.body);
        if (answer.reply.body.size() < kMinimumConfigReplyBytes)
            return finish(Failure::TooShort, items, Status::Failed);
        finish(Failure::None, items, Status::Done);
    });
}

void ConfigRead::finish(Failure failure, const ConfigItems &items, Status status, std::optional<LinkError> error)
{
    m_failure = failure;
    m_items = items;
    end(status, error);
}

Report ConfigRead::report() const
{
    if (m_failure == Failure::TooShort)
        return Report::error(texts::kErrorPrefix + texts::kConfigurationNotRead);
    return status() == Status::Done ? Report::none() : ReaderOperation::report();
}

// ---- keeping a copy -----------------------------------------------------------

QString keepFailedCaption()
{
    return QStringLiteral("Сохранение конфигурации");
}

QString keepFailedQuestion(const QString &problem)
{
    return QStringLiteral("Не удалось сохранить конфигурацию, которая сейчас записана в USB-считыватель (%1). "
                          "Записать новую конфигурацию всё равно?")
        .arg(problem);
}

void ConfigKeep::start(const KeepCopy &keep)
{
    begin();
    m_problem.clear();
    m_awaitingDecision = false;
    request(payload(command::ReadConfig, command::kVersion), [this, keep](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            m_problem = errorMessage(*answer.error);
        } else {
            const QByteArray &held = answer.reply.body;
            if (held.size() < kMinimumConfigReplyBytes) {
                m_problem = QStringLiteral("считыватель не сообщил конфигурацию");
            } else {
                const auto kept = keep(ConfigItems::parse(held));
                if (kept)
                    return end(Status::Done);
                m_problem = kept.error().text;
            }
        }
        m_awaitingDecision = true;
        Q_EMIT changed();
        Q_EMIT decisionNeeded(m_problem);
    });
}

void ConfigKeep::decide(bool goOn)
{
    if (!awaitingDecision())
        return;
    m_awaitingDecision = false;
    end(goOn ? Status::Done : Status::Cancelled);
}

// ---- writing ------------------------------------------------------------------

ConfigWrite::ConfigWrite(ReaderLink &link, const Timings &timings, QObject *parent)
    : ReaderOperation(link, timings, parent), m_keep(link, timings)
{
    connect(&m_keep, &ConfigKeep::decisionNeeded, this, [this](const QString &problem) {
        if (!running() || m_state != State::KeepingCopy)
            return;
        m_state = State::AwaitingDecision;
        Q_EMIT changed();
        Q_EMIT decisionNeeded(problem);
    });
    connect(&m_keep, &ReaderOperation::ended, this, [this] {
        if (!running() || (m_state != State::KeepingCopy && m_state != State::AwaitingDecision))
            return;
        if (m_keep.status() == Status::Done)
            write();
        else
            finishWith(Failure::Declined);
    });
}

void ConfigWrite::start(const ConfigItems &items, bool objectCode)
{
    begin();
    m_items = items;
    m_objectCode = objectCode;
    m_failure = Failure::None;
    if (!keepCopy)
        return write();
    m_state = State::KeepingCopy;
    Q_EMIT changed();
    m_keep.start(keepCopy);
}
void ConfigWrite::proceed(bool writeAnyway)
{
    if (running() && m_state == State::AwaitingDecision)
        m_keep.decide(writeAnyway);
}

void ConfigWrite::write()
{
    m_state = State::Writing;
    Q_EMIT changed();
    // In the protected modes the reader waits for the master card once it
    // took the configuration: a cancel from here on puts it back to card reading.
    setCardMode(m_objectCode);
    request(payload(command::WriteConfig, command::ReaderConfigVersion, m_items.toBytes()),
            [this](const ReaderLink::Answer &answer) {
                if (!answer.ok()) {
                    m_failure = Failure::Refused;
                    m_state = State::Resuming;
                    resumeAndFail(*answer.error);
                    return;
                }
                Q_EMIT written();
                if (m_objectCode) {
                    // The reader now waits for the master card with the object code.
                    m_state = State::AwaitingObjectCode;
                    Q_EMIT changed();
                    return;
                }
                m_state = State::Resuming;
                resumeReading([this] { end(Status::Done); });
            });
}

void ConfigWrite::objectCodeTaken(bool taken)
{
    if (!running() || m_state != State::AwaitingObjectCode)
        return;
    m_state = State::Resuming;
    Q_EMIT changed();
    resumeReading([this, taken] {
        if (taken)
            end(Status::Done);
        else
            finishWith(Failure::ObjectCodeNotTaken);
    });
}

Report ConfigWrite::report() const
{
    if (status() == Status::Done)
        return Report::message(texts::kDone);
    if (m_failure == Failure::ObjectCodeNotTaken)
        return Report::error(QStringLiteral("Код объекта не записан в USB-считыватель."));
    return ReaderOperation::report();
}

void ConfigWrite::finishWith(Failure failure)
{
    m_failure = failure;
    end(failure == Failure::Declined ? Status::Cancelled : Status::Failed);
}

} // namespace limra

#include "moc_transfer.cpp"
