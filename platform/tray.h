#pragma once
// The notification-area icon with its menu "Развернуть" / "Закрыть".
#include <QObject>

namespace limra {

class Tray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    // False where the desktop has no notification area: minimising must
    // then leave the window reachable.
    virtual bool available() const = 0;

Q_SIGNALS:
    void restoreRequested(); // a click or "Развернуть"
    void closeRequested();   // "Закрыть"
    void cardLogRequested();              // "Журнал карт"
    void keptConfigurationsRequested();   // "Сохранённые конфигурации"
};

} // namespace limra
