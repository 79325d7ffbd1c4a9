#include <QMenu>
#include <QSystemTrayIcon>

#include "common/texts.h"
#include "platform/ui/qttray.h"

namespace limra {

QtTray::QtTray(const QIcon &trayIcon, const QString &tip, QObject *parent)
    : Tray(parent), icon(new QSystemTrayIcon(trayIcon, this)), menu(new QMenu)
{
    icon->setToolTip(tip);
    connect(menu->addAction(texts::kTrayRestore), &QAction::triggered, this, &Tray::restoreRequested);
    connect(menu->addAction(texts::kTrayClose), &QAction::triggered, this, &Tray::closeRequested);
    icon->setContextMenu(menu);
    connect(icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            Q_EMIT restoreRequested();
    });
}

QtTray::~QtTray()
{
    delete menu;
}

void QtTray::show()
{
    icon->show();
}

void QtTray::hide()
{
    icon->hide();
}

bool QtTray::isVisible() const
{
    return icon->isVisible();
}

} // namespace limra
