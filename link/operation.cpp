#include "link/operation.h"

#include "link/errors.h"

namespace limra {

ReaderOperation::ReaderOperation(ReaderLink &link, const Timings &timings, QObject *parent)
    : QObject(parent), m_link(link), m_timings(timings)
{
    connect(&m_link, &ReaderLink::detached, this, [this] {
        if (m_running)
            readerLost();
    });
}

ReaderOperation::~ReaderOperation()
{
    if (m_pending)
        m_link.cancel(m_pending);
}

void ReaderOperation::begin()
{
    m_running = true;
    m_cardMode = false;
    m_status = Status::Running;
    m_error.reset();
    Q_EMIT changed();
}

ReaderLink::Handler ReaderOperation::handler(Continuation then)
{
    return [this, then = std::move(then)](const ReaderLink::Answer &answer) {
        m_pending = 0;
        if (!m_running)
            return;
        if (answer.error && answer.error->kind == LinkError::Kind::PortLost)
            readerLost();
        else
            then(answer);
    };
}

void ReaderOperation::request(const QByteArray &payload, Continuation then, int timeoutMs)
{
    m_pending = m_link.send(payload, timeoutMs > 0 ? timeoutMs : m_timings.reply, this, handler(std::move(then)));
}

void ReaderOperation::requestRaw(const QByteArray &bytes, Continuation then, int timeoutMs)
{
    m_pending = m_link.sendRaw(bytes, timeoutMs, this, handler(std::move(then)));
}

void ReaderOperation::resumeReading(std::function<void()> then)
{
    m_cardMode = false;
    request(payload(command::ResumeReading, command::kVersion),
            [then = std::move(then)](const ReaderLink::Answer &) { then(); });
}

void ReaderOperation::resumeAndFail(const LinkError &error, std::function<void()> before)
{
    resumeReading([this, error, before = std::move(before)] {
        if (before)
            before();
        end(Status::Failed, error);
    });
}

void ReaderOperation::end(Status status, std::optional<LinkError> error)
{
    if (!m_running)
        return;
    if (m_pending) {
        m_link.cancel(m_pending);
        m_pending = 0;
    }
    m_running = false;
    m_cardMode = false;
    m_status = status;
    m_error = error;
    Q_EMIT changed();
    QMetaObject::invokeMethod(
        this,
        [this] {
            Q_EMIT ended();
            tellFinished();
        },
        Qt::QueuedConnection);
}

void ReaderOperation::readerLost()
{
    stopping();
    end(Status::ReaderLost, LinkError::portLost());
}

Report ReaderOperation::report() const
{
    switch (m_status) {
    case Status::ReaderLost: return Report::error(errorMessage(LinkError::portLost()));
    case Status::Failed: return Report::error(m_error ? errorMessage(*m_error) : QString());
    case Status::Running:
    case Status::Done:
    case Status::Cancelled: break;
    }
    return Report::none();
}

void ReaderOperation::cancel()
{
    if (!m_running)
        return;
    stopping();
    if (m_pending) {
        m_link.cancel(m_pending);
        m_pending = 0;
    }
    if (m_cardMode)
        resumeReading([this] { end(Status::Cancelled); });
    else
        end(Status::Cancelled);
}

} // namespace limra

#include "moc_operation.cpp"
