#include "link/operation.h"

#include "link/errors.h"
#include "link/readerlink.h"
#include "platform/dialogs.h"

namespace limra {

QString ReaderOperation::send(const QString &payload, int timeoutMs)
{
    return m_link.exchange(payload, timeoutMs);
}

void ReaderOperation::resumeReading()
{
    m_link.exchange(command::ResumeReading);
}

void ReaderOperation::resumeAndReport(const QString &errorResult)
{
    resumeReading();
    report(errorResult);
}

bool ReaderOperation::startCardOperation(const QString &payload)
{
    const QString result = send(payload);
    if (isError(result)) {
        resumeAndReport(result);
        return false;
    }
    m_link.cardEvents().consume();
    return true;
}

void ReaderOperation::report(const QString &errorResult)
{
    m_dialogs.error(errorMessage(errorResult));
}

} // namespace limra
