#pragma once
// Typing into the application in front, as if on the keyboard. Every key is
// pressed and released.
#include <QString>
#include <memory>

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
};

// The injector of this platform (X11 through XTest on Linux).
std::unique_ptr<KeyInjector> createSystemKeyInjector();

} // namespace limra
