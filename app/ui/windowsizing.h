#pragma once
// The main window's size and place: centred on the screen at the start, or
// where the last run left it on a screen that is still there, and kept for
// the next start; its least size is 910 x 655 with the frame the window
// system draws, fitted once the frame is known, never more than the screen
// leaves.
#include <QEvent>
#include <QMargins>
#include <QString>

class QWidget;

namespace limra {

class WindowSizing {
public:
    // `statePath`: where the size and place are kept between starts (none: not kept).
    WindowSizing(QWidget &window, QString statePath);

    // Places the window for its first show.
    void placeAtStart();
    // The window was shown: the minimum is fitted now, and again once the
    // window system has had time to tell its frame.
    void shown();
    // An event the window has handled: a move or resize may tell the frame.
    void handled(QEvent::Type type);
    // Keeps the size and place for the next start.
    void keep() const;

private:
    // The minimum size for the frame the window system draws, once it is
    // known; `settled`: no frame is coming any more.
    void fitMinimumSize(bool settled);

    QWidget &m_window;
    QString m_statePath;
    QMargins m_frameSeen{-1, -1, -1, -1}; // the frame the minimum size was fitted to
};

} // namespace limra
