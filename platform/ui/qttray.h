#pragma once
// The tray icon through QSystemTrayIcon.
#include <QIcon>

#include "platform/tray.h"

class QMenu;
class QSystemTrayIcon;

namespace limra {

class QtTray : public Tray {
    Q_OBJECT
public:
    QtTray(const QIcon &icon, const QString &tip, QObject *parent = nullptr);
    ~QtTray() override;
    void show() override;
    void hide() override;
    bool isVisible() const override;
    bool available() const override;

private:
    QSystemTrayIcon *m_icon;
    QMenu *m_menu;
};

} // namespace limra
