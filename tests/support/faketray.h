#pragma once
#include "platform/clipboard.h"
#include "platform/tray.h"

namespace limra::testing {

class FakeTray : public Tray {
public:
    void show() override { visible = true; }
    void hide() override { visible = false; }
    bool isVisible() const override { return visible; }
    bool available() const override { return present; }
    void doubleClick() { Q_EMIT restoreRequested(); }
    void chooseCardLog() { Q_EMIT cardLogRequested(); }
    void chooseKeptConfigurations() { Q_EMIT keptConfigurationsRequested(); }
    bool visible = false;
    bool present = true;
};

class FakeClipboard : public Clipboard {
public:
    void setText(const QString &t) override { texts << t; }
    QStringList texts;
};

} // namespace limra::testing
