#pragma once
#include <QString>
#include <QStringList>

#include "link/linkerror.h"
#include "platform/lineerrors.h"

namespace limra {

// The message for a device error code; code 0 is the time-out marker "ER00".
QString errorText(int code);

// One message per kind present, in the fixed order.
QStringList lineErrorTexts(LineErrors errors);

// The text of a request's error: the reader's own error's, the time-out's,
// or why there was no answer at all.
QString errorText(const LinkError &error);
// "Ошибка: " + the error's text.
QString errorMessage(const LinkError &error);

} // namespace limra
