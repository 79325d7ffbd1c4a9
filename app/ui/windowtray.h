#pragma once
// The main window in the tray: where the desktop has a notification area, a
// minimised window goes to the tray, and with "Сворачиваться в трей при
// запуске" the window goes there right after the start; the tray brings it
// back, or closes it. Where there is no notification area the window
// minimises as usual.
#include <QObject>
#include <QTimer>

class QWidget;

namespace limra {

class Tray;

class WindowTray : public QObject {
    Q_OBJECT
public:
    // No tray: the window is never hidden in one.
    WindowTray(QWidget &window, Tray *tray);

    // The desktop has a notification area.
    bool available() const;
    // Straight to the tray soon after the start.
    void startInTray();
    // The window's state changed: minimised, it goes to the tray.
    void windowStateChanged();
    // Hides the window in the tray.
    void minimize();
    // Shows the window in front, from the tray or wherever it is.
    void restore();
    // The tray icon goes (the program ends).
    void hideIcon();

private:
    QWidget &m_window;
    Tray *m_tray;
    QTimer m_startTimer;
};

} // namespace limra
