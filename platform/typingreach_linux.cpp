#include "platform/typingreach.h"

#include <QString>

namespace limra {

bool waylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

TypingReach typingReach()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return TypingReach::Unavailable;
    return waylandSession() ? TypingReach::XWaylandOnly : TypingReach::AllPrograms;
}

} // namespace limra
