// Key injection on X11 through the XTest extension. Every character is typed
// by its keysym: the key that gives it in the active layout group, with Shift
// when it sits on the second level; a character that no key produces is
// typed through a spare keycode bound to it for the moment. The connection
// to the X server is opened at the first typing, not at start-up.
#include <QTimer>
#include <map>

#include "common/logging.h"
#include "common/timings.h"
#include "platform/keyinjector.h"
#include "platform/typingreach.h"

// X11 headers last: their macros (None, Bool, KeyPress) collide with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace limra {

namespace {

KeySym keysymOf(char32_t c)
{
    if (c == U'\n' || c == U'\r')
        return XK_Return;
    if (c == U'\t')
        return XK_Tab;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF))
        return KeySym(c);
    return KeySym(0x01000000 | c);
}

class X11KeyInjector : public KeyInjector {
public:
    X11KeyInjector()
    {
        unbindTimer.setSingleShot(true);
        unbindTimer.setInterval(Timings().spareKeyHold);
        QObject::connect(&unbindTimer, &QTimer::timeout, [this] { unbindSpareKeys(); });
    }
    ~X11KeyInjector() override
    {
        if (!display)
            return;
        unbindSpareKeys();
        XCloseDisplay(display);
    }

    // Cheap: an X display is named. Whether it can be opened and has XTest
    // is found out at the first typing.
    bool available() override { return typingReach() != TypingReach::Unavailable; }

    bool capsLockOn() override
    {
        if (!open())
            return false;
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        return state.locked_mods & LockMask;
    }

    void selectLatinLayout() override
    {
        if (!open())
            return;
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        savedGroup = state.locked_group;
        const KeyCode a = XKeysymToKeycode(display, XK_a);
        if (!a || XkbKeycodeToKeysym(display, a, state.group, 0) == XK_a)
            return;
        for (int g = 0; g < XkbNumKbdGroups; ++g) {
            if (XkbKeycodeToKeysym(display, a, g, 0) == XK_a) {
                XkbLockGroup(display, XkbUseCoreKbd, unsigned(g));
                switched = true;
                XSync(display, False);
                return;
            }
        }
    }

    void restoreLayout() override
    {
        if (display && switched) {
            XkbLockGroup(display, XkbUseCoreKbd, unsigned(savedGroup));
            XSync(display, False);
        }
        switched = false;
    }

    // Digits and Latin letters are typed by their keysym too, so that a
    // layout whose digits need Shift (AZERTY, say) still gives the digit. A
    // letter comes out upper case whether Caps Lock is on or off.
    void pressKey(QChar key) override
    {
        typeCharacter(key.isLetter() && key.unicode() < 0x80 ? key.toUpper().unicode() : key.unicode());
    }

    void typeCharacter(char32_t c) override
    {
        if (!open())
            return;
        const KeySym sym = keysymOf(c);
        int level = -1;
        const KeyCode code = findKey(sym, &level);
        if (code) {
            bool shift = level == 1;
            KeySym lower, upper;
            XConvertCase(sym, &lower, &upper);
            if (lower != upper && capsLockOn())
                shift = !shift; // Caps Lock inverts the case of letters
            tap(code, shift);
            return;
        }
        typeThroughSpareKey(sym);
    }

    void pressEnter() override
    {
        if (open())
            tap(XKeysymToKeycode(display, XK_Return), false);
    }

private:
    // The connection to the X server, opened once at the first need.
    bool open()
    {
        if (display || opened)
            return display != nullptr;
        opened = true;
        display = XOpenDisplay(nullptr);
        if (!display) {
            qCWarning(lcApp) << "cannot open the X display: typing is unavailable";
            return false;
        }
        int event, error, major, minor;
        if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
            qCWarning(lcApp) << "the X server has no XTEST extension: typing is unavailable";
            XCloseDisplay(display);
            display = nullptr;
        }
        return display != nullptr;
    }

    // A key that gives the keysym in the active group, at level 0 or 1.
    KeyCode findKey(KeySym sym, int *level)
    {
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        int minCode, maxCode;
        XDisplayKeycodes(display, &minCode, &maxCode);
        for (int code = minCode; code <= maxCode; ++code)
            for (int l = 0; l < 2; ++l)
                if (XkbKeycodeToKeysym(display, KeyCode(code), state.group, l) == sym) {
                    *level = l;
                    return KeyCode(code);
                }
        return 0;
    }

    // Binds a spare keycode to the keysym for the moment. Bindings stay a
    // while after their last use, so that the receiving client still finds
    // them when it reads the key event, and are then taken back.
    void typeThroughSpareKey(KeySym sym)
    {
        const auto bound = spareBindings.find(sym);
        if (bound != spareBindings.end()) {
            tap(bound->second, false);
            unbindTimer.start();
            return;
        }
        int minCode, maxCode, perCode = 0;
        XDisplayKeycodes(display, &minCode, &maxCode);
        KeySym *map = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perCode);
        int spare = 0;
        for (int code = maxCode; code >= minCode && !spare; --code) {
            bool empty = true;
            for (const auto &b : spareBindings)
                empty = empty && b.second != code;
            for (int i = 0; i < perCode; ++i)
                empty = empty && map[(code - minCode) * perCode + i] == NoSymbol;
            if (empty)
                spare = code;
        }
        XFree(map);
        if (!spare) {
            qCWarning(lcApp) << "no spare keycode to type keysym" << Qt::hex << sym;
            return;
        }
        KeySym both[2] = {sym, sym};
        XChangeKeyboardMapping(display, spare, 2, both, 1);
        XSync(display, False);
        spareBindings[sym] = KeyCode(spare);
        tap(KeyCode(spare), false);
        unbindTimer.start();
    }

    void unbindSpareKeys()
    {
        KeySym none[2] = {NoSymbol, NoSymbol};
        for (const auto &b : spareBindings)
            XChangeKeyboardMapping(display, b.second, 2, none, 1);
        spareBindings.clear();
        XSync(display, False);
    }

    void tap(KeyCode code, bool shift)
    {
        if (!code)
            return;
        const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
        if (shift)
            XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (shift)
            XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
        XSync(display, False);
    }

    Display *display = nullptr;
    bool opened = false; // tried already
    std::map<KeySym, KeyCode> spareBindings;
    QTimer unbindTimer;
    int savedGroup = 0;
    bool switched = false;
};

} // namespace

std::unique_ptr<KeyInjector> createX11KeyInjector()
{
    return std::make_unique<X11KeyInjector>();
}

} // namespace limra
