#pragma once
// A window of the tool on its screen: never larger than the screen's
// available area with the frame the window system draws, so that none of its
// buttons lies off the screen where nobody can reach it.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace limra {

// The frame drawn around `window` (none while the window system has not told).
inline QMargins windowFrame(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

// The client size a window of `size` gets on `available`: no larger than the
// area leaves beside the frame.
inline QSize sizeOnScreen(QSize size, QMargins frame, QRect available)
{
    const QSize room = (available.size() - QSize(frame.left() + frame.right(), frame.top() + frame.bottom()))
                           .expandedTo(QSize(1, 1));
    return size.boundedTo(room);
}

// Shrinks a top-level window (and its minimum) to the available area of the
// screen it opens on, before it shows; a frame not known yet is taken as the
// one drawn around its parent's window. A dialog is then centred on its
// parent inside that area by Qt itself.
inline void fitOnScreen(QWidget *window)
{
    const QWidget *anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    QScreen *screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QMargins frame = windowFrame(window);
    if (frame.isNull())
        frame = windowFrame(anchor);
    const QRect available = screen->availableGeometry();
    const QSize fitted = sizeOnScreen(window->size(), frame, available);
    window->setMinimumSize(window->minimumSize().boundedTo(sizeOnScreen(window->minimumSize(), frame, available)));
    if (fitted != window->size())
        window->resize(fitted);
}

} // namespace limra
