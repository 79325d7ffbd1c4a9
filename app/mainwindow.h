#pragma once
// The main window: card display, the four tabs, status bar and tray.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <array>

#include "link/discovery.h"
#include "link/readerlink.h"
#include "platform/clipboard.h"
#include "platform/devicemonitor.h"
#include "platform/dialogs.h"
#include "platform/portenum.h"
#include "platform/tray.h"

namespace limra {

class CardDisplay;
class ConfigTransfer;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm8;
class ConfigEditor;
class ZoneBitsDialog;
class ZoneList;
class ZoneTools;
class ConnectionDialog;
class KeyInjector;
class TemplateEditor;
class StatusBar;

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
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString caption();
    static QIcon appIcon();

    // Program-wide state of the window.
    bool firstshow = true;
    int debugtabhidden = 1;
    int securemode = 0;

    ReaderLink link;
    ReaderDiscovery *discovery;

    // Areas and controls other parts of the tool use.
    CardDisplay *cardDisplay;
    QTabWidget *tabs;
    QWidget *debugPage;
    QWidget *configPage;
    QWidget *securePage;
    QWidget *firmwarePage;
    StatusBar *statusPanels;
    QComboBox *hiddenPortList;

    ConfigEditor *editor;
    ZoneList *secureZoneList;
    ZoneTools *zoneTools;
    ConfigTransfer *transfer;

    // Buttons of the configuration tab, in their order.
    QPushButton *readFileButton, *writeFileButton, *readReaderButton, *writeReaderButton, *readMasterButton,
        *masterToReaderButton, *createMastersButton, *clearMastersButton, *defaultConfigButton;
    QCheckBox *toBuffer, *toKeyboard, *crlf, *toTray;

    // The secure-cards tab.
    QLabel *secureModeLabel;
    std::array<QPushButton *, 3> secureButtons{};
    QGroupBox *secureZones;

    // The firmware tab.
    QPushButton *versionButton, *browseButton, *updateButton;

    // The other windows, created once in this order.
    TForm2 *form2;
    TForm3 *form3;
    TForm4 *form4;
    TForm5 *form5;
    TemplateEditor *form7;
    TForm8 *form8;
    ZoneBitsDialog *form9;
    ConnectionDialog *form11;
    QDialog *form12;

    // Opens "Настройки подключения" (the status-bar link).
    void openConnectionSettings();
    // A click on the status bar at horizontal position x.
    void statusBarClicked(int x);
    // The user changed to the tab of this page.
    void tabChangedByUser(QWidget *page);

    QTimer trayStartTimer;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildTabs();
    QWidget *buildConfigPage();
    QWidget *buildSecurePage();
    QWidget *buildFirmwarePage();
    void createWindows();
    void firstShow();
    void readSettings();
    void writeSettings();
    void setStatusText(const QString &text);
    void selectPage(QWidget *page);
    void readerConnected(const QString &status);
    void readerDisconnected();
    void readConfigurationAfterConnect();
    void secureTabOpened();
    void minimizeToTray();
    void restoreFromTray();

    Services services;
    bool programTabChange = false;
};

} // namespace limra
