#pragma once
// Where a window of a client size goes on a screen's available area: centred,
// never larger than the area with its frame, the frame's top-left on the
// area; and the client minimum for an outer minimum, never more than the area
// leaves. `frame` is what the window system draws around the client (none
// while it has not told yet).
#include <QMargins>
#include <QRect>
#include <QSize>

namespace limra {

struct WindowPlacement {
    QRect client;  // where the client area goes
    QSize minimum; // the client's minimum size
};
WindowPlacement placeWindow(QSize client, QSize minimumOuter, QMargins frame, QRect available);

} // namespace limra
