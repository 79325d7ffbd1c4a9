#include "app/ui/windowsizing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "app/ui/windowplacement.h"
#include "common/timings.h"
#include "platform/files.h"

namespace limra {

namespace {
constexpr int kClientWidth = 926;
constexpr int kClientHeight = 650;
constexpr int kMinOuterWidth = 910;
constexpr int kMinOuterHeight = 655;
// How long a window system may take to tell the frame it draws.
} // namespace

WindowSizing::WindowSizing(QWidget &window, QString statePath) : m_window(window), m_statePath(std::move(statePath))
{
}

// The frame is not known before the window system has drawn it: the window
// is placed as if it had none, and its minimum fitted later. The size and
// place of the last run, on a screen that is still there (Qt moves a window
// whose place no screen shows any more), come after; the minimum is fitted
// to the screen once shown.
void WindowSizing::placeAtStart()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const WindowPlacement placed = placeWindow(QSize(kClientWidth, kClientHeight), QSize(0, 0), QMargins(),
                                               screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080));
    m_window.resize(placed.client.size());
    m_window.move(placed.client.topLeft()); // the frame's top-left, once there is one
    if (m_statePath.isEmpty())
        return;
    if (const auto state = readSmallFile(m_statePath, 4096))
        m_window.restoreGeometry(*state);
}

void WindowSizing::keep() const
{
    if (m_statePath.isEmpty())
        return;
    const QString folder = QFileInfo(m_statePath).absolutePath();
    if (!QDir().mkpath(folder))
        return;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    (void)writeFileAtomically(m_statePath, m_window.saveGeometry()); // a place not kept is no reason to bother anyone
}

void WindowSizing::shown()
{
    fitMinimumSize(false);
    QTimer::singleShot(Timings().frameWait, &m_window, [this] { fitMinimumSize(true); });
}

// The window system tells the frame only after the window is shown, with a
// move or resize; the outer minimum of 910 x 655 needs it.
void WindowSizing::handled(QEvent::Type type)
{
    switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::ScreenChangeInternal:
        if (m_window.isVisible())
            fitMinimumSize(false);
        break;
    default:
        break;
    }
}

// A window system that draws a frame tells it some time after the show; one
// that draws none never does. Until the frame is known or the wait is over,
// the minimum does not make the window grow.
void WindowSizing::fitMinimumSize(bool settled)
{
    const QRect outer = m_window.frameGeometry();
    const QRect inner = m_window.geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const bool known = !frame.isNull() || settled;
    if (known && frame == m_frameSeen)
        return;
    QScreen *where = m_window.screen();
    const QRect available = where ? where->availableGeometry() : outer;
    const WindowPlacement placed =
        placeWindow(m_window.size(), QSize(kMinOuterWidth, kMinOuterHeight), frame, available);
    if (!known) {
        m_window.setMinimumSize(placed.minimum.boundedTo(m_window.size()));
        return;
    }
    m_frameSeen = frame;
    m_window.setMinimumSize(placed.minimum);
    // A frame that makes the window larger than the screen: the window shrinks to fit.
    if (outer.width() > available.width() || outer.height() > available.height()) {
        m_window.resize(placed.client.size());
        m_window.move(placed.client.topLeft() - QPoint(frame.left(), frame.top()));
    }
}

} // namespace limra
