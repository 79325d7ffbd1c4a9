#pragma once
#include <QString>
#include <QStringList>

namespace limra {

// The message for a device error code; code 0 is the time-out marker "ER00".
QString errtotext(int err);

// Error kinds the serial driver can report, in the order their messages show.
enum LineError : unsigned {
    ParityError = 1u << 0,
    FramingError = 1u << 1,
    OverrunError = 1u << 2,
    BreakCondition = 1u << 3,
    IoError = 1u << 4,
    ModeNotSupported = 1u << 5,
    InputOverflow = 1u << 6,
    OutputBufferFull = 1u << 7,
};
using LineErrors = unsigned;

// One message per kind present, in the fixed order.
QStringList lineErrorTexts(LineErrors errors);

// True when a command result marks an error ("ER" anywhere in it).
bool isError(const QString &result);
// The device code of an error result: the two digits after "ER".
int errorCode(const QString &result);
// "Ошибка: " + errtotext of the result's code.
QString errorMessage(const QString &result);

} // namespace limra
