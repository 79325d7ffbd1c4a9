#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include "app/inifile.h"
#include "app/ui/mainwindow.h"
#include "app/ui/statusbar.h"
#include "config/ui/configeditor.h"
#include "config/ui/zonelist.h"
#include "display/ui/carddisplay.h"
#include "provisioning/cardwait.h"
#include "display/ui/templateeditor.h"
#include "link/ui/connectiondialog.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/faketray.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (window)
            window->close();
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    void writeSettings(const QByteArray &text)
    {
        QFile f(settingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[usbreader]\r\n" + text);
    }
    QString setting(const char *key) const
    {
        return IniFile(settingsPath()).read(QStringLiteral("usbreader"), QLatin1String(key), QStringLiteral("<none>"));
    }
    MainWindow &open()
    {
        Services s;
        s.dialogs = &dialogs;
        s.clipboard = &clipboard;
        s.tray = &tray;
        s.ports = &ports;
        s.deviceMonitor = &monitor;
        s.portFactory = [] { return std::make_unique<QtSerialPort>(); };
        s.settingsPath = settingsPath();
        window = std::make_unique<MainWindow>(s);
        window->show();
        return *window;
    }
    void connectTo(SimReader &sim)
    {
        ports.virtuals = {sim.port()};
        window->discovery->ScanCOMTimerTimer();
        ASSERT_FALSE(window->link.connectedport.isEmpty());
    }
    // Answers the next modal dialog by rejecting it; records its caption.
    void rejectNextDialog()
    {
        QTimer::singleShot(50, [this] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                dialogCaptions << w->windowTitle();
                static_cast<QDialog *>(w)->reject();
            }
        });
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeClipboard clipboard;
    FakeTray tray;
    FakePortEnumerator ports;
    FakeDeviceMonitor monitor;
    std::unique_ptr<MainWindow> window;
    QStringList dialogCaptions;
};

} // namespace

TEST_F(MainWindowTest, StartsWithItsCaptionSizeAndSearching)
{
    MainWindow &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ЛИМРА Контроль доступа - RFID ") + QStringLiteral(LIMRA_VERSION));
    EXPECT_EQ(w.statusPanels->text->text(), QStringLiteral("Поиск устройства..."));
    EXPECT_FALSE(w.tabs->isEnabled());
    EXPECT_GE(w.minimumSize().width() + (w.frameGeometry().width() - w.width()), 910);
    QStringList tabTexts;
    for (int i = 0; i < w.tabs->count(); ++i)
        tabTexts << w.tabs->tabText(i);
    EXPECT_EQ(tabTexts, (QStringList{QStringLiteral("Отладка"), QStringLiteral("Конфигурация"),
                                     QStringLiteral("Защищенные карты"), QStringLiteral("Обновление микропрограммы")}));
    EXPECT_FALSE(w.tabs->isTabVisible(0));
    EXPECT_EQ(w.tabs->currentWidget(), w.configPage);
    const QStringList captions = {w.form2->windowTitle(), w.form3->windowTitle(), w.form7->windowTitle(),
                                  w.form8->windowTitle(), w.form9->windowTitle(), w.form11->windowTitle(),
                                  w.form12->windowTitle()};
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Запись мастер-карт"), QStringLiteral("Чтение кода объекта"),
                                     QStringLiteral("Редактор шаблона"), QStringLiteral("Чтение конфигурации с мастер-карты"),
                                     QStringLiteral("Зоны прохода"), QStringLiteral("Настройки подключения"),
                                     QStringLiteral("Debug")}));
}

TEST_F(MainWindowTest, NoSettingsFileGivesDefaultsAndWritesEveryKeyButDebugmode)
{
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}};
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay->displayMode, 1);
    EXPECT_FALSE(w.toBuffer->isChecked());
    EXPECT_FALSE(w.toKeyboard->isChecked());
    EXPECT_FALSE(w.trayStartTimer.isActive());
    w.close();
    window.reset();
    for (const char *key : {"viewmode", "tobuffer", "tokeyboard", "crlf", "totray"})
        EXPECT_NE(setting(key), QStringLiteral("<none>")) << key;
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("template"), QString());
    EXPECT_EQ(setting("port"), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(setting("debugmode"), QStringLiteral("<none>"));
}

TEST_F(MainWindowTest, SettingsAreReadAndWrittenBack)
{
    writeSettings("viewmode=7\r\ntobuffer=1\r\ntokeyboard=1\r\ncrlf=1\r\ndebugmode=1\r\nport=/dev/ttyS1\r\n");
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}, {QStringLiteral("/dev/ttyS1"), false, 0, 0}};
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay->displayMode, 1);
    EXPECT_TRUE(w.toBuffer->isChecked());
    EXPECT_TRUE(w.crlf->isChecked() && w.crlf->isEnabledTo(w.configPage));
    EXPECT_TRUE(w.tabs->isTabVisible(0));
    EXPECT_EQ(w.tabs->currentWidget(), w.debugPage);
    EXPECT_EQ(w.hiddenPortList->currentText(), QStringLiteral("/dev/ttyS1"));
    w.tabs->setEnabled(true);
    w.toKeyboard->click(); // typing off: "+ перевод строки" disabled and cleared
    EXPECT_FALSE(w.crlf->isEnabledTo(w.configPage));
    EXPECT_FALSE(w.crlf->isChecked());
    w.close();
    window.reset();
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("tokeyboard"), QStringLiteral("0"));
    EXPECT_EQ(setting("port"), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(setting("debugmode"), QStringLiteral("1")); // kept as it was, never written
}

TEST_F(MainWindowTest, DebugModeKeepsConfigurationSelectedAfterConnecting)
{
    writeSettings("debugmode=1\r\n");
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    EXPECT_EQ(w.tabs->currentWidget(), w.configPage);
    EXPECT_TRUE(w.tabs->isEnabled());
}

TEST_F(MainWindowTest, TrayStartHidesTheWindowAndDoubleClickRestores)
{
    writeSettings("totray=1\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(w.toTray->isChecked());
    EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); }, 1000));
    EXPECT_TRUE(tray.visible);
    tray.doubleClick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(tray.visible);
}

TEST_F(MainWindowTest, TabsFollowTheConnection)
{
    SimReader sim;
    MainWindow &w = open();
    EXPECT_FALSE(w.tabs->isEnabled());
    connectTo(sim);
    EXPECT_TRUE(w.tabs->isEnabled());
    EXPECT_TRUE(w.statusPanels->text->text().startsWith(QStringLiteral("Устройство подключено ")));
    monitor.remove(sim.port());
    EXPECT_FALSE(w.tabs->isEnabled());
    EXPECT_EQ(w.statusPanels->text->text(), QStringLiteral("Поиск устройства..."));
}

TEST_F(MainWindowTest, OnlyClicksStrictlyInsideTheLinkOpenTheSettings)
{
    MainWindow &w = open();
    for (int x : {0, 350, 520, 600})
        w.statusBarClicked(x);
    EXPECT_TRUE(dialogCaptions.isEmpty());
    rejectNextDialog();
    w.statusBarClicked(351);
    EXPECT_EQ(dialogCaptions, QStringList{QStringLiteral("Настройки подключения")});
    rejectNextDialog();
    w.statusBarClicked(519);
    EXPECT_EQ(dialogCaptions.size(), 2);
    EXPECT_TRUE(w.discovery->scanTimer.isActive());
}

TEST_F(MainWindowTest, ApplyingTheSettingsDropsTheConnectionAndTheNextScanReconnects)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    QTimer::singleShot(50, [&w] {
        w.form11->methodList->setCurrentIndex(0);
        w.form11->applyButton->click();
    });
    w.openConnectionSettings();
    EXPECT_TRUE(w.link.connectedport.isEmpty());
    EXPECT_FALSE(w.tabs->isEnabled());
    EXPECT_EQ(w.statusPanels->text->text(), QStringLiteral("Поиск устройства..."));
    EXPECT_TRUE(waitUntil([&] { return !w.link.connectedport.isEmpty(); }, 2500));
}

TEST_F(MainWindowTest, ConnectionDialogShowsTheControlsOfTheMethod)
{
    MainWindow &w = open();
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}};
    ConnectionDialog &d = *w.form11;
    d.methodList->setCurrentIndex(1);
    Q_EMIT d.methodList->activated(1);
    EXPECT_FALSE(d.portList->isHidden());
    EXPECT_TRUE(d.number->isHidden());
    EXPECT_EQ(d.portList->currentText(), QStringLiteral("/dev/ttyS0"));
    d.methodList->setCurrentIndex(2);
    Q_EMIT d.methodList->activated(2);
    EXPECT_TRUE(d.portList->isHidden());
    EXPECT_FALSE(d.number->isHidden());
    EXPECT_EQ(d.number->minimum(), 1);
    EXPECT_EQ(d.number->maximum(), 255);
}

struct SecureCase {
    const char *name;
    const char *readMode; // item 06, or "" for a failed read
    const char *text;
    bool buttons;
    bool zones;
    int securemode;
};

class SecureTab : public MainWindowTest, public ::testing::WithParamInterface<SecureCase> {};

TEST_P(SecureTab, ShowsTheReaderModeAndSetsTheButtons)
{
    const SecureCase &c = GetParam();
    SimReader sim;
    if (*c.readMode)
        sim.model->configItems = QStringLiteral("0202670003030000400601") + QLatin1String(c.readMode)
                                 + QStringLiteral("0401000501000C0800F8E00700F8E0FF");
    MainWindow &w = open();
    connectTo(sim);
    if (!*c.readMode)
        sim.model->faults.statusCode = 0x0F;
    sim.model->commandsReceived.clear();
    w.tabs->setCurrentWidget(w.securePage);
    EXPECT_EQ(w.secureModeLabel->text(), QString::fromUtf8(c.text));
    for (QPushButton *b : w.secureButtons)
        EXPECT_EQ(b->isEnabled(), c.buttons);
    EXPECT_EQ(!w.secureZones->isHidden(), c.zones);
    EXPECT_EQ(w.securemode, c.securemode);
    EXPECT_EQ(sim.model->commandsReceived, QStringList{QStringLiteral("0B01")}); // no "0501" afterwards
    EXPECT_TRUE(dialogs.shown.isEmpty() || !dialogs.shown.last().startsWith(QStringLiteral("error")));
}

INSTANTIATE_TEST_SUITE_P(Modes, SecureTab, ::testing::Values(
    SecureCase{"object_code", "01", "Код объекта", true, false, 1},
    SecureCase{"zones", "03", "Зоны прохода", true, true, 3},
    SecureCase{"normal", "00", "Обычный режим", false, false, 0},
    SecureCase{"block", "02", "Код из блока", false, false, 2},
    SecureCase{"other", "07", "Неизвестно", false, false, 0},
    SecureCase{"failed_read", "", "Неизвестно", false, false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, StoredTemplateIsCheckedAtStartAndKeptOnlyInCst)
{
    writeSettings("viewmode=3\r\ntemplate=ID dec(b2b1), ok\r\n");
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay->displayMode, 3);
    EXPECT_EQ(w.cardDisplay->activeTemplate, QStringLiteral("ID dec(b2b1), ok"));
    w.close();
    window.reset();
    EXPECT_EQ(setting("template"), QStringLiteral("ID dec(b2b1), ok"));
    EXPECT_EQ(setting("viewmode"), QStringLiteral("3"));
}

TEST_F(MainWindowTest, RejectedTemplateFallsBackToDecAndIsDropped)
{
    writeSettings("viewmode=3\r\ntemplate=dec(b1\r\n");
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay->displayMode, 1);
    EXPECT_TRUE(w.cardDisplay->decChoice->isChecked());
    w.close();
    window.reset();
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("template"), QString());
}

TEST_F(MainWindowTest, EmptyTemplateKeepsCstSelected)
{
    writeSettings("viewmode=3\r\ntemplate=\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(w.cardDisplay->cstChoice->isChecked());
    EXPECT_TRUE(w.cardDisplay->activeTemplate.isEmpty());
}
