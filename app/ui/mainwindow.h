#pragma once
// The main window: the card display, the tabs, the status bar and the tray.
// It shows a reader station: the pages' buttons start the station's
// operations, and their states and results become the window's dialogs and
// messages. What cannot run while an operation runs is disabled; nothing
// else is held up.
#include <QMainWindow>
#include <QTimer>
#include <memory>

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
class DebugPage;
class FirmwarePage;
class KeptConfigurationsWindow;
class KeyInjector;
class MasterCardController;
class ReaderStation;
class SecureCardsPage;
class StatusBar;
class TemplateEditor;
class TrafficLog;
class Tray;
class UserDialogs;
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

// Where a window of a client size goes on a screen's available area: centred,
// never larger than the area with its frame, the frame's top-left on the
// area; and the client minimum for an outer minimum, never more than the area
// leaves. `frame` is what the window system draws around the client (none
// while it has not told yet).
struct WindowPlacement {
    QRect client;  // where the client area goes
    QSize minimum; // the client's minimum size
};
WindowPlacement placeWindow(QSize client, QSize minimumOuter, QMargins frame, QRect available);

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
    void bringToFront() { restoreFromTray(); }
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
    // The minimum size for the frame the window system draws, once it is
    // known; `settled`: no frame is coming any more.
    void fitMinimumSize(bool settled);
    void connectStation();
    void firstShow();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void afterFirstPaint();
    const QStringList &knownPorts();
    void readSettings();
    void writeSettings();
    void restoreWindowState();
    void keepWindowState();
    void addDebugPage();
    void setStatusText(const QString &text, const QString &details = QString());
    void selectPage(QWidget *page);
    void updateTabs();
    void busyChanged(bool busy);
    void updateConfigurationMark();
    void readerConnected();
    void loaderConnected();
    void tabChanged(int index);
    void minimizeToTray();
    bool trayAvailable() const;
    void restoreFromTray();
    void statusBarClicked(int x);
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
    TemplateEditor *m_templateEditor = nullptr;
    ConnectionDialog *m_connectionDialog = nullptr;
    ZoneTools *m_zoneTools = nullptr;
    QStringList m_knownPorts;       // the hidden port list
    bool m_knownPortsListed = false;
    QString m_storedPort;           // the port the settings name
    QString m_selectedPort;         // the list's selection, kept in the settings
    bool m_startFinished = false;

    bool m_firstShowPending = true;
    QMargins m_frameSeen{-1, -1, -1, -1}; // the frame the minimum size was fitted to
    bool m_programTabChange = false;
    QTimer m_trayStartTimer;
    bool m_askBeforeClose = true;
    bool m_closing = false;         // the station is winding down
    bool m_closed = false;          // the window may close now
};

} // namespace limra
