#include "app/ui/windowtray.h"

#include <QWidget>

#include "common/timings.h"
#include "platform/tray.h"

namespace limra {

namespace {
} // namespace

WindowTray::WindowTray(QWidget &window, Tray *tray) : m_window(window), m_tray(tray)
{
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(Timings().trayStart);
    // Straight to the tray, without asking the window system to minimize:
    // a late notice of that could hide the window again after a restore.
    connect(&m_startTimer, &QTimer::timeout, this, &WindowTray::minimize);
    if (m_tray) {
        connect(m_tray, &Tray::restoreRequested, this, &WindowTray::restore);
        connect(m_tray, &Tray::closeRequested, &m_window, &QWidget::close);
    }
}

bool WindowTray::available() const
{
    return m_tray && m_tray->available();
}

void WindowTray::startInTray()
{
    m_startTimer.start();
}

void WindowTray::windowStateChanged()
{
    if ((m_window.windowState() & Qt::WindowMinimized) && m_window.isVisible() && available())
        QTimer::singleShot(0, this, [this] {
            // Only while the window is still minimized: a restore may have come meanwhile.
            if ((m_window.windowState() & Qt::WindowMinimized) && m_window.isVisible())
                minimize();
        });
}

void WindowTray::minimize()
{
    m_window.hide();
    if (m_tray)
        m_tray->show();
}

void WindowTray::restore()
{
    if (m_tray)
        m_tray->hide();
    m_window.setWindowState((m_window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void WindowTray::hideIcon()
{
    if (m_tray)
        m_tray->hide();
}

} // namespace limra

#include "moc_windowtray.cpp"
