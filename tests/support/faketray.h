#pragma once
#include "platform/clipboard.h"
#include "platform/tray.h"

namespace limra::testing {

class FakeTray : public Tray {
public:
    void show() override { visible = true; }
    void hide() override { visible = false; }
    bool isVisible() const override { return visible; }
    void doubleClick() { Q_EMIT restoreRequested(); }
    bool visible = false;
};

class FakeClipboard : public Clipboard {
public:
    void setText(const QString &t) override { texts << t; }
    QStringList texts;
};

} // namespace limra::testing
