#pragma once
// How far typing into other programs reaches in this graphical session. The
// key injection goes through the X server (XTest): in an X11 session it
// reaches every program; in a Wayland session only the programs that run
// through XWayland; without an X display it cannot type at all.
namespace limra {

enum class TypingReach {
    AllPrograms,   // an X11 session
    XWaylandOnly,  // a Wayland session with XWayland
    Unavailable,   // no X display
};

// Decided from the session's environment ($XDG_SESSION_TYPE, $WAYLAND_DISPLAY,
// $DISPLAY); cheap, opens nothing.
TypingReach typingReach();

} // namespace limra
