#pragma once
// The tray icon through QSystemTrayIcon, made when it is first shown: a
// window that never goes to the tray never builds it.
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
    QSystemTrayIcon *icon();

    QIcon m_image;
    QString m_tip;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
};

} // namespace limra
