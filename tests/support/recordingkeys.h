#pragma once
// A key injector that records what it was asked to do.
#include <QStringList>

#include "platform/keyinjector.h"

namespace limra::testing {

class RecordingKeys : public KeyInjector {
public:
    bool available() override { return present; }
    bool capsLockOn() override { return caps; }
    void selectLatinLayout() override { events << QStringLiteral("latin"); }
    void restoreLayout() override { events << QStringLiteral("restore"); }
    void pressKey(QChar key) override { events << key; }
    void typeCharacter(char32_t c) override { events << QStringLiteral("char ") + QString::fromUcs4(&c, 1); }
    void pressEnter() override { events << QStringLiteral("enter"); }

    bool present = true;
    bool caps = false;
    QStringList events;
};

} // namespace limra::testing
