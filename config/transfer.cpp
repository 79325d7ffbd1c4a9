#include "config/transfer.h"

#include "common/texts.h"
#include "config/configfile.h"
#include "link/errors.h"
#include "link/hextext.h"

namespace limra {

// ---- reading ------------------------------------------------------------------

void ConfigRead::start()
{
    begin();
    m_failure = Failure::None;
    m_items.clear();
    request(payload(command::ReadConfig, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            m_failure = Failure::Refused;
            end(Status::Failed, answer.error);
            return;
        }
        m_items = bytesToHex(answer.reply.body);
        if (m_items.size() < kMinimumConfigReplyDigits) {
            m_failure = Failure::TooShort;
            end(Status::Failed);
            return;
        }
        end(Status::Done);
    });
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
    request(payload(command::ReadConfig, command::kVersion), [this, keep](const ReaderLink::Answer &answer) {
        if (!answer.ok()) {
            m_problem = errorMessage(*answer.error);
        } else {
            const QString held = bytesToHex(answer.reply.body);
            if (held.size() < kMinimumConfigReplyDigits)
                m_problem = QStringLiteral("считыватель не сообщил конфигурацию");
            else if (keep(held, &m_problem))
                return end(Status::Done);
        }
        end(Status::Failed, answer.error);
    });
}

// ---- writing ------------------------------------------------------------------

ConfigWrite::ConfigWrite(ReaderLink &link, const Timings &timings, QObject *parent)
    : ReaderOperation(link, timings, parent), m_keep(link, timings)
{
    connect(&m_keep, &ReaderOperation::finished, this, [this] {
        if (!running() || m_state != State::KeepingCopy)
            return;
        if (m_keep.status() == Status::Done)
            return write();
        m_keepProblem = m_keep.problem();
        m_state = State::AwaitingDecision;
        Q_EMIT changed();
    });
}

void ConfigWrite::start(const QString &items, bool objectCode)
{
    begin();
    m_items = items;
    m_objectCode = objectCode;
    m_failure = Failure::None;
    m_keepProblem.clear();
    if (!keepCopy)
        return write();
    m_state = State::KeepingCopy;
    Q_EMIT changed();
    m_keep.start(keepCopy);
}
void ConfigWrite::proceed(bool writeAnyway)
{
    if (!running() || m_state != State::AwaitingDecision)
        return;
    if (writeAnyway)
        write();
    else
        finishWith(Failure::Declined);
}

void ConfigWrite::write()
{
    m_state = State::Writing;
    Q_EMIT changed();
    // In the protected modes the reader waits for the master card once it
    // took the configuration: a cancel from here on puts it back to card reading.
    setCardMode(m_objectCode);
    request(payload(command::WriteConfig, command::ReaderConfigVersion, hexToBytes(m_items)),
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
