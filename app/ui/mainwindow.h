#pragma once
// The main window: the card display, the tabs, the status bar and the tray.
// The tabs are pages of their own; the reader workflows are operations of
// the core that the pages' buttons start.
#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "config/editormodel.h"
#include "link/readerlink.h"
#include "platform/serialport.h"

class QTabWidget;

namespace limra {

class CardDisplay;
class CardLog;
class CardLogWindow;
class ConfigBackups;
class KeptConfigurationsWindow;
class CardPresenter;
class Clipboard;
class ConfigPage;
class ConfigTransfer;
class ConnectionDialog;
class DebugPage;
class DeviceMonitor;
class DialogCardWaits;
class FirmwarePage;
class FirmwareUpdate;
class FirmwareVersionQuery;
class KeyInjector;
class MasterCardOperations;
class MasterConfigOperations;
class PortEnumerator;
class ReaderDiscovery;
class ReaderSession;
class SecureCardOperations;
class SecureCardsPage;
class StatusBar;
class TemplateEditor;
class TrafficLog;
class Tray;
class UserDialogs;
class ZoneTools;

// What the operating system and the user provide.
struct Services {
    UserDialogs *dialogs = nullptr;
    Clipboard *clipboard = nullptr;
    KeyInjector *keys = nullptr;
    Tray *tray = nullptr;
    const PortEnumerator *ports = nullptr;
    DeviceMonitor *deviceMonitor = nullptr;
    SerialPortFactory portFactory;
    QString settingsPath;
    // Where the tool keeps its own data: kept configurations, the card log.
    QString dataFolder;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString caption();
    static QIcon appIcon();

    // The parts of the window.
    CardDisplay *cardDisplay() const { return m_cardDisplay; }
    QTabWidget *tabs() const { return m_tabs; }
    ConfigPage *configPage() const { return m_configPage; }
    SecureCardsPage *securePage() const { return m_securePage; }
    FirmwarePage *firmwarePage() const { return m_firmwarePage; }
    DebugPage *debugPage() const { return m_debugPage; }
    StatusBar *statusPanels() const { return m_statusBar; }
    ConnectionDialog *connectionDialog() const { return m_connectionDialog; }
    ReaderSession &session() { return *m_session; }
    ReaderDiscovery &discovery() { return *m_discovery; }
    bool debugMode() const { return m_debugPage != nullptr; }

    // Opens "Настройки подключения" (the status-bar link).
    void openConnectionSettings();
    // Shows the window in front, from the tray or wherever it is.
    void bringToFront() { restoreFromTray(); }
    // Closes without asking about unsaved changes (the session ends).
    void closeForTermination();
    void showCardLog();
    void showKeptConfigurations();
    CardLog &cardLog() { return *m_cardLog; }
    CardLogWindow *cardLogWindow() const { return m_cardLogWindow; }
    KeptConfigurationsWindow *keptWindow() const { return m_keptWindow; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildPages();
    void connectOperations();
    void firstShow();
    void readSettings();
    void writeSettings();
    void addDebugPage();
    void setStatusText(const QString &text);
    void selectPage(QWidget *page);
    void updateTabsEnabled();
    void setLocked(bool locked);
    void updateConfigurationMark();
    void readerConnected(const QString &status);
    void readConfigurationAfterConnecting();
    void tabChanged(int index);
    void minimizeToTray();
    bool trayAvailable() const;
    void restoreFromTray();
    void statusBarClicked(int x);
    void readerBusy(bool busy);
    bool eventFilter(QObject *watched, QEvent *event) override;

    Services m_services;
    ReaderLink m_link;
    std::unique_ptr<ReaderSession> m_session;
    std::unique_ptr<ReaderDiscovery> m_discovery;
    EditorModel m_editorModel;
    CardPresenter *m_presenter = nullptr;
    std::unique_ptr<DialogCardWaits> m_cardWaits;
    ConfigTransfer *m_transfer = nullptr;
    MasterCardOperations *m_masterCards = nullptr;
    MasterConfigOperations *m_masterConfig = nullptr;
    SecureCardOperations *m_secureCards = nullptr;
    TrafficLog *m_trafficLog = nullptr;
    std::unique_ptr<ConfigBackups> m_backups;
    CardLog *m_cardLog = nullptr;
    CardLogWindow *m_cardLogWindow = nullptr;
    KeptConfigurationsWindow *m_keptWindow = nullptr;
    FirmwareUpdate *m_firmwareUpdate = nullptr;
    std::unique_ptr<FirmwareVersionQuery> m_versionQuery;

    CardDisplay *m_cardDisplay = nullptr;
    QTabWidget *m_tabs = nullptr;
    DebugPage *m_debugPage = nullptr;
    ConfigPage *m_configPage = nullptr;
    SecureCardsPage *m_securePage = nullptr;
    FirmwarePage *m_firmwarePage = nullptr;
    StatusBar *m_statusBar = nullptr;
    TemplateEditor *m_templateEditor = nullptr;
    ConnectionDialog *m_connectionDialog = nullptr;
    ZoneTools *m_zoneTools = nullptr;
    QStringList m_knownPorts;       // the hidden port list
    QString m_selectedPort;         // its selection, kept in the settings

    bool m_firstShowPending = true;
    bool m_programTabChange = false;
    bool m_locked = false;          // a firmware update runs
    QTimer m_trayStartTimer;
    // While the tool waits for the reader, the user's input to its windows
    // starts nothing; the block ends a moment after the last wait.
    QTimer m_unblockTimer;
    bool m_inputBlocked = false;
    bool m_firmwareCursor = false;
    bool m_askBeforeClose = true;
};

} // namespace limra
