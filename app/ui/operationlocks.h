#pragma once
// What waits while the station is busy: the controls that talk to the reader
// wait for a reader that is connected and idle, and a reader in its loader
// takes nothing but firmware. What needs no reader works without one (the
// editor with its files and the factory default, the firmware file, the
// logs); the secure cards need a reader, and a reader in its loader takes
// firmware only.
#include <QObject>

class QTabWidget;

namespace limra {

class ConfigPage;
class DebugPage;
class FirmwarePage;
class ReaderStation;
class SecureCardsPage;
class StatusBar;

class OperationLocks : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QTabWidget *tabs;
        ConfigPage *configPage;
        SecureCardsPage *securePage;
        FirmwarePage *firmwarePage;
        StatusBar *statusBar;
    };
    OperationLocks(ReaderStation &station, const Controls &controls);

    // The debugging tab, once it is there.
    void setDebugPage(DebugPage *page) { m_debugPage = page; }
    // The tabs and controls for the reader as it is now.
    void update();
    // The tabs are being enabled or disabled: a change of the current tab
    // meanwhile is not the user's choice.
    bool changingTabs() const { return m_changingTabs; }

private:
    void busyChanged(bool busy);

    ReaderStation &m_station;
    Controls m_controls;
    DebugPage *m_debugPage = nullptr;
    bool m_changingTabs = false;
};

} // namespace limra
