#pragma once
// An operation's report as the window tells it: a plain message, an
// information box (its title the application's), or the error window.
#include "link/operation.h"
#include "platform/dialogs.h"

namespace limra {

inline void showReport(UserDialogs &dialogs, const Report &report)
{
    switch (report.kind) {
    case Report::Kind::None: break;
    case Report::Kind::Message: dialogs.message(report.text); break;
    case Report::Kind::Information: dialogs.information(QString(), report.text); break;
    case Report::Kind::Error: dialogs.error(report.text); break;
    }
}

} // namespace limra
