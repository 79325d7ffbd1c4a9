/* A small X client for the typing tests: it takes the keyboard focus and
 * writes every character it receives to standard output, as UTF-8. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <stdio.h>

static void put_utf8(unsigned long cp)
{
    if (cp < 0x80) {
        putchar((int)cp);
    } else if (cp < 0x800) {
        putchar((int)(0xC0 | (cp >> 6)));
        putchar((int)(0x80 | (cp & 0x3F)));
    } else {
        putchar((int)(0xE0 | (cp >> 12)));
        putchar((int)(0x80 | ((cp >> 6) & 0x3F)));
        putchar((int)(0x80 | (cp & 0x3F)));
    }
}

int main(void)
{
    Display *d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xtypist: no display\n");
        return 1;
    }
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 200, 80, 0, 0, 0xFFFFFF);
    XStoreName(d, w, "xtypist");
    XSelectInput(d, w, KeyPressMask | StructureNotifyMask);
    XMapRaised(d, w);
    XEvent e;
    do {
        XNextEvent(d, &e);
    } while (e.type != MapNotify);
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    XSync(d, False);
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XNextEvent(d, &e);
        if (e.type == MappingNotify) {
            XRefreshKeyboardMapping(&e.xmapping);
            continue;
        }
        if (e.type != KeyPress)
            continue;
        char buf[16];
        KeySym ks = NoSymbol;
        XLookupString(&e.xkey, buf, sizeof buf, &ks, NULL);
        if (ks == XK_Return)
            putchar('\n');
        else if (ks >= 0x01000100 && ks <= 0x0110FFFF)
            put_utf8(ks & 0xFFFFFF);
        else if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF))
            put_utf8(ks);
        fflush(stdout);
    }
}
