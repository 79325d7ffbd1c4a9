#include "app/ui/windowplacement.h"

#include <algorithm>

namespace limra {

WindowPlacement placeWindow(QSize client, QSize minimumOuter, QMargins frameMargins, QRect available)
{
    const QSize frame(frameMargins.left() + frameMargins.right(), frameMargins.top() + frameMargins.bottom());
    const QSize room = (available.size() - frame).expandedTo(QSize(1, 1)); // the client size the area holds
    WindowPlacement placed;
    placed.minimum = (minimumOuter - frame).boundedTo(room).expandedTo(QSize(0, 0));
    const QSize size = client.boundedTo(room).expandedTo(placed.minimum);
    const QSize outer = size + frame;
    QPoint topLeft = available.center() - QPoint(outer.width() / 2, outer.height() / 2) + QPoint(1, 1);
    topLeft.setX(std::max(available.left(), std::min(topLeft.x(), available.right() + 1 - outer.width())));
    topLeft.setY(std::max(available.top(), std::min(topLeft.y(), available.bottom() + 1 - outer.height())));
    placed.client = QRect(topLeft + QPoint(frameMargins.left(), frameMargins.top()), size);
    return placed;
}

} // namespace limra
