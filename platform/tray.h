#pragma once
// The notification-area icon with its menu "Развернуть" / "Закрыть".
#include <QIcon>
#include <QObject>

class QSystemTrayIcon;
class QMenu;

namespace limra {

class Tray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;

Q_SIGNALS:
    void restoreRequested(); // double-click or "Развернуть"
    void closeRequested();   // "Закрыть"
};

class QtTray : public Tray {
    Q_OBJECT
public:
    QtTray(const QIcon &icon, const QString &tip, QObject *parent = nullptr);
    ~QtTray() override;
    void show() override;
    void hide() override;
    bool isVisible() const override;

private:
    QSystemTrayIcon *icon;
    QMenu *menu;
};

} // namespace limra
