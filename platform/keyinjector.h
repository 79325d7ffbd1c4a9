#pragma once
// Typing into the application in front, as if on the keyboard. Every key is
// pressed and released.
#include <QString>
#include <functional>
#include <memory>

#include "platform/typingreach.h"

namespace limra {

class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    // False where no key injection is possible (no X display, for example).
    virtual bool available() = 0;
    virtual bool capsLockOn() = 0;
    // Makes the keyboard layout with the Latin letters active, remembering the
    // current one; restoreLayout goes back to it.
    virtual void selectLatinLayout() = 0;
    virtual void restoreLayout() = 0;
    // The key of a digit or a Latin letter: the character comes out as the
    // digit or the upper-case letter on any layout, whatever Caps Lock says
    // (the injector presses Shift where that takes it).
    virtual void pressKey(QChar key) = 0;
    // One character exactly as itself, whatever the layout.
    virtual void typeCharacter(char32_t c) = 0;
    virtual void pressEnter() = 0;

    // How far typing reaches now. Where the desktop decides (its portal is
    // found or not, the user allows typing or not) it changes while the tool
    // runs, and the function given to watchReach is called after each change.
    virtual TypingReach reach() { return typingReach(); }
    virtual void watchReach(std::function<void()> changed) { (void)changed; }
    // Typing will be needed soon (the user switched it on): where the desktop
    // has to allow it first, it is asked now rather than at the first key.
    virtual void prepare() {}
};

// The injector of this platform: on X11 through XTest; in a Wayland session
// through the desktop's remote-desktop portal, and through XTest into the
// programs under XWayland where the desktop has no such portal.
std::unique_ptr<KeyInjector> createSystemKeyInjector();
// XTest alone.
std::unique_ptr<KeyInjector> createX11KeyInjector();

} // namespace limra
