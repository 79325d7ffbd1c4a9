#include <QMenu>
#include <QSystemTrayIcon>

#include "common/texts.h"
#include "platform/ui/qttray.h"

namespace limra {

QtTray::QtTray(const QIcon &trayIcon, const QString &tip, QObject *parent)
    : Tray(parent), m_image(trayIcon), m_tip(tip)
{
}

QSystemTrayIcon *QtTray::icon()
{
    if (m_icon)
        return m_icon;
    m_icon = new QSystemTrayIcon(m_image, this);
    m_menu = new QMenu;
    m_icon->setToolTip(m_tip);
    connect(m_menu->addAction(texts::kTrayRestore), &QAction::triggered, this, &Tray::restoreRequested);
    connect(m_menu->addAction(texts::kCardLogCaption), &QAction::triggered, this, &Tray::cardLogRequested);
    connect(m_menu->addAction(texts::kKeptConfigurationsCaption), &QAction::triggered, this,
            &Tray::keptConfigurationsRequested);
    m_menu->addSeparator();
    connect(m_menu->addAction(texts::kTrayClose), &QAction::triggered, this, &Tray::closeRequested);
    m_icon->setContextMenu(m_menu);
    // Trays of the D-Bus protocol (KDE, GNOME's extension) send a click as a
    // single activation and never a double-click: both restore the window.
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            Q_EMIT restoreRequested();
    });
    return m_icon;
}

QtTray::~QtTray()
{
    delete m_menu;
}

void QtTray::show()
{
    icon()->show();
}

void QtTray::hide()
{
    if (m_icon)
        m_icon->hide();
}

bool QtTray::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTray::isVisible() const
{
    return m_icon && m_icon->isVisible();
}

} // namespace limra

#include "moc_qttray.cpp"
