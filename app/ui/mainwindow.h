#pragma once
// The main window: the card display, the tabs, the status bar and the tray.
// It shows a reader station: the pages' buttons start the station's
// operations, and their states and results become the window's dialogs and
// messages. What cannot run while an operation runs is disabled
// (operationlocks.h); nothing else is held up.
#include <QMainWindow>
#include <memory>

#include "app/ui/windowsizing.h"
#include "config/editormodel.h"

class QTabWidget;

namespace limra {

class CardDisplay;
class CardLogWindow;
class CardPresenter;
class Clipboard;
class ConfigPage;
class ConfigTransferController;
class ConnectionDialog;
class ConnectionStatus;
class DebugPage;
class FirmwarePage;
class KeptConfigurationsWindow;
class KeyInjector;
class MasterCardController;
class OperationLocks;
class ReaderStation;
class SecureCardsPage;
class StatusBar;
class TemplateEditor;
class TrafficLog;
class Tray;
class UserDialogs;
class WindowTray;
class ZoneTools;

// What the desktop and the user provide to the window.
struct Services {
    UserDialogs *dialogs = nullptr;
    Clipboard *clipboard = nullptr;
    KeyInjector *keys = nullptr;
    Tray *tray = nullptr;
    QString settingsPath;
    // Where the window's size and place are kept between starts (none: not kept).
    QString windowStatePath;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(ReaderStation &station, const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString caption();
    static QIcon appIcon();

    // The parts of the window.
    ReaderStation &station() { return m_station; }
    CardDisplay *cardDisplay() const { return m_cardDisplay; }
    QTabWidget *tabs() const { return m_tabs; }
    ConfigPage *configPage() const { return m_configPage; }
    SecureCardsPage *securePage() const { return m_securePage; }
    FirmwarePage *firmwarePage() const { return m_firmwarePage; }
    DebugPage *debugPage() const { return m_debugPage; }
    StatusBar *statusPanels() const { return m_statusBar; }
    // Built when first needed.
    ConnectionDialog *connectionDialog();
    CardLogWindow *cardLogWindow();
    KeptConfigurationsWindow *keptWindow();
    TemplateEditor *templateEditor();
    ConfigTransferController &transfer() { return *m_transfer; }
    bool debugMode() const { return m_debugPage != nullptr; }

    // Opens "Настройки подключения" (the status-bar link).
    void openConnectionSettings();
    // Shows the window in front, from the tray or wherever it is.
    void bringToFront();
    // Ends the program the ordinary way without asking (the session ends):
    // a firmware upload is let finish first.
    void closeForTermination();
    void showCardLog();
    void showKeptConfigurations();

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildPages();
    void connectStation();
    void firstShow();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void afterFirstPaint();
    const QStringList &knownPorts();
    void readSettings();
    void writeSettings();
    void addDebugPage();
    void selectPage(QWidget *page);
    void updateConfigurationMark();
    void readerConnected();
    void loaderConnected();
    void tabChanged(int index);
    bool askBeforeClosing();
    void finishClosing();
    // The desktop's answer about typing changed how far it reaches.
    void typingReachChanged();

    ReaderStation &m_station;
    Services m_services;
    EditorModel m_editorModel;
    CardPresenter *m_presenter = nullptr;
    bool m_typingRefused = false; // the desktop did not allow typing, and the user was told
    ConfigTransferController *m_transfer = nullptr;
    MasterCardController *m_masterCards = nullptr;
    TrafficLog *m_trafficLog = nullptr;
    CardLogWindow *m_cardLogWindow = nullptr;
    KeptConfigurationsWindow *m_keptWindow = nullptr;

    CardDisplay *m_cardDisplay = nullptr;
    QTabWidget *m_tabs = nullptr;
    DebugPage *m_debugPage = nullptr;
    ConfigPage *m_configPage = nullptr;
    SecureCardsPage *m_securePage = nullptr;
    FirmwarePage *m_firmwarePage = nullptr;
    StatusBar *m_statusBar = nullptr;
    std::unique_ptr<ConnectionStatus> m_connectionStatus;
    std::unique_ptr<OperationLocks> m_locks;
    std::unique_ptr<WindowTray> m_tray;
    WindowSizing m_sizing;
    TemplateEditor *m_templateEditor = nullptr;
    ConnectionDialog *m_connectionDialog = nullptr;
    ZoneTools *m_zoneTools = nullptr;
    QStringList m_knownPorts;       // the hidden port list
    bool m_knownPortsListed = false;
    QString m_storedPort;           // the port the settings name
    QString m_selectedPort;         // the list's selection, kept in the settings
    bool m_startFinished = false;

    bool m_firstShowPending = true;
    bool m_programTabChange = false;
    bool m_askBeforeClose = true;
    bool m_closing = false;         // the station is winding down
    bool m_closed = false;          // the window may close now
};

} // namespace limra
