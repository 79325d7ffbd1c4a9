#include "platform/typingreach.h"

#include <QString>

namespace limra {

TypingReach typingReach()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return TypingReach::Unavailable;
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
                         || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return wayland ? TypingReach::XWaylandOnly : TypingReach::AllPrograms;
}

} // namespace limra
