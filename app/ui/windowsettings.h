#pragma once
// The main window's settings in the settings file: how identifiers are
// shown (DEC, HEX or a template) and the template, the port chosen, what
// becomes of an identifier read (clipboard, typing, a new line after it),
// the debug mode, the card log file and the start in the tray.
#include <QString>

#include "display/cardpresenter.h"

namespace limra {

class IniFile;

struct WindowSettings {
    CardPresenter::View view = CardPresenter::View::Dec;
    // The template kept for the template view; empty: none, or none that works.
    QString cardTemplate;
    QString port;
    bool toClipboard = false;
    bool toKeyboard = false;
    bool newline = false;
    bool debugMode = false; // read, never written
    bool cardLog = false;
    bool startInTray = false;

    // What the file holds; what it does not hold has its default, and a
    // template that does not work shows DEC.
    static WindowSettings read(const IniFile &ini);
    // One write of the file, whatever it held besides: the template only with
    // the template view, the port only when there is one.
    void write(const IniFile &ini) const;
};

} // namespace limra
