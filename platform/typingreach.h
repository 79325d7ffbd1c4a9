#pragma once
// How far typing into other programs reaches in this graphical session. On
// X11 the key injection goes through the X server (XTest) and reaches every
// program. In a Wayland session it goes through the desktop's remote-desktop
// portal, which reaches every program once the user has allowed it; where
// the desktop has no such portal, XTest reaches only the programs that run
// through XWayland; without either it cannot type at all.
namespace limra {

enum class TypingReach {
    AllPrograms,      // an X11 session
    XWaylandOnly,     // a Wayland session with XWayland but without the portal
    Unavailable,      // no X display, and no portal
    DesktopPortal,    // a Wayland session with the portal: every program, once the user allows it
    DesktopRefused,   // the user did not allow typing when the portal asked
    DesktopCancelled, // the portal's question ended without an answer (closed, or failed)
};

// True for the two answers that keep the portal from typing.
inline bool refusedByDesktop(TypingReach reach)
{
    return reach == TypingReach::DesktopRefused || reach == TypingReach::DesktopCancelled;
}

// True in a Wayland session ($XDG_SESSION_TYPE or $WAYLAND_DISPLAY).
bool waylandSession();

// How far XTest reaches, decided from the session's environment
// ($XDG_SESSION_TYPE, $WAYLAND_DISPLAY, $DISPLAY); cheap, opens nothing.
TypingReach typingReach();

} // namespace limra
