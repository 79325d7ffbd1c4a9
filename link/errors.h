#pragma once
#include <QString>
#include <QStringList>

#include "platform/lineerrors.h"

namespace limra {

// The message for a device error code; code 0 is the time-out marker "ER00".
QString errorText(int code);

// One message per kind present, in the fixed order.
QStringList lineErrorTexts(LineErrors errors);

// True when a command result marks an error ("ER" anywhere in it).
bool isError(const QString &result);
// The device code of an error result: the two digits after "ER".
int errorCode(const QString &result);
// "Ошибка: " + the text of the result's code.
QString errorMessage(const QString &result);

} // namespace limra
