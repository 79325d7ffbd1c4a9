#pragma once
// What every reader workflow does the same way: send a command, put the
// reader back to card reading, and tell the user of a failed command.
#include <QString>

#include "link/protocol.h"

namespace limra {

class ReaderLink;
class UserDialogs;

class ReaderOperation {
public:
    ReaderOperation(ReaderLink &link, UserDialogs &dialogs) : m_link(link), m_dialogs(dialogs) {}

protected:
    QString send(const QString &payload, int timeoutMs = kReplyTimeoutMs);
    // "0501": the reader goes back to card reading; its reply is not used.
    void resumeReading();
    // A command failed: the reader goes back to card reading, then the user
    // sees "Ошибка: " and the error's text.
    void resumeAndReport(const QString &errorResult);
    // The error window with "Ошибка: " and the error's text.
    void report(const QString &errorResult);
    // Sends a command that puts the reader into a card operation. Refused:
    // the reader goes back to card reading and the user is told (false).
    // Accepted: an earlier card-operation status is dropped, so that the wait
    // that follows sees only what this operation brings.
    bool startCardOperation(const QString &payload);

    ReaderLink &m_link;
    UserDialogs &m_dialogs;
};

} // namespace limra
