#pragma once
// Line errors a serial driver can report while the port stays open.

namespace limra {

// In the order their messages are shown.
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

} // namespace limra
