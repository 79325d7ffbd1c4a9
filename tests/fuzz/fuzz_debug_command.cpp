// Debug-terminal commands as typed, any text: what is sent is exactly the hex
// digits typed (blanks dropped, upper case), two per byte, at most 252 bytes,
// and the frame's length byte holds it; anything else is refused with a
// reason and nothing to send.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/frame.h"
#include "link/hextext.h"
#include "link/trafficlog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const limra::TypedCommand command = limra::parseTypedCommand(typed);

    // The model: blanks dropped; hex digits in upper case; anything else refuses.
    QString digits;
    bool other = false;
    for (const char32_t c : typed.toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            digits += QChar(c).toUpper();
        else
            other = true;
    }
    const bool sendable = !other && !digits.isEmpty() && digits.size() % 2 == 0 && digits.size() / 2 <= 252;
    if (command.accepted() != sendable || command.accepted() == !command.refusal.isEmpty())
        std::abort();
    if (!sendable) {
        if (!command.payload.isEmpty())
            std::abort();
        return 0;
    }
    if (command.payload != limra::hexToBytes(digits))
        std::abort();
    const QByteArray frame = limra::frameOf(command.payload);
    if (frame.size() != digits.size() / 2 + 3 || quint8(frame[1]) != frame.size() || frame.front() != 0x23
        || frame.back() != 0x24)
        std::abort();
    return 0;
}
