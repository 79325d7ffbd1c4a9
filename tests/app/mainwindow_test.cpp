#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "station/inifile.h"
#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "app/ui/statusbar.h"
#include "common/texts.h"
#include "common/ui/mnemonic.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/zonelist.h"
#include "firmware/ui/firmwarepage.h"
#include "display/cardpresenter.h"
#include "display/ui/carddisplay.h"
#include "link/discovery.h"
#include "link/session.h"
#include "link/ui/connectiondialog.h"
#include "link/ui/debugpage.h"
#include "platform/qtserialport.h"
#include "provisioning/ui/cardwaitdialogs.h"
#include "provisioning/ui/securecardspage.h"
#include "tests/support/children.h"
#include "tests/support/environment.h"
#include "tests/support/fakeserialport.h"
#include "tests/support/shownwindow.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

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
    // Whether what talks to the reader can be used; the rest works without one.
    static bool readerUsable(MainWindow &w)
    {
        return child<QPushButton>(w.configPage(), "writeReaderButton")->isEnabled()
               && w.tabs()->isTabEnabled(w.tabs()->indexOf(w.securePage()));
    }
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
        window = std::make_unique<MainWindow>(tool.station(), tool.services());
        window->show();
        return *window;
    }
    void connectTo(SimReader &sim)
    {
        QSignalSpy reading(&window->station(), &ReaderStation::readingAfterConnecting);
        ports.virtuals = {sim.port()};
        window->station().discovery().portsChanged();
        window->station().discovery().scanOnce();
        // Connected, then the configuration read that follows has begun.
        ASSERT_TRUE(waitUntil([&] { return window->station().session().isConnected() && !reading.isEmpty(); }));
        tool.settle(); // and ended
    }
    void clickStatusBar(int x) { QTest::mouseClick(window->statusPanels(), Qt::LeftButton, {}, QPoint(x, 5)); }
    // Answers the next modal dialog by rejecting it; records its caption.
    void rejectNextDialog()
    {
        onNextModal([this](QWidget *w) {
            dialogCaptions << w->windowTitle();
            static_cast<QDialog *>(w)->reject();
        });
    }

    ToolServices tool;
    QTemporaryDir &dir = tool.dir;
    ScriptedDialogs &dialogs = tool.dialogs;
    FakeTray &tray = tool.tray;
    FakePortEnumerator &ports = tool.ports;
    FakeDeviceMonitor &monitor = tool.monitor;
    std::unique_ptr<MainWindow> window;
    QStringList dialogCaptions;
};

} // namespace

TEST_F(MainWindowTest, StartsWithItsCaptionSizeAndSearching)
{
    MainWindow &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ЛИМРА Контроль доступа - RFID ") + QStringLiteral(LIMRA_VERSION));
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(), QStringLiteral("Поиск устройства..."));
    EXPECT_FALSE(readerUsable(w));
    EXPECT_GE(w.minimumSize().width() + (w.frameGeometry().width() - w.width()), 910);
    QStringList tabTexts;
    for (int i = 0; i < w.tabs()->count(); ++i)
        tabTexts << withoutMnemonic(w.tabs()->tabText(i)); // as drawn, the Alt letter underlined
    // Without debug mode there is no debug tab at all.
    EXPECT_EQ(tabTexts, (QStringList{QStringLiteral("Конфигурация"), QStringLiteral("Защищенные карты"),
                                     QStringLiteral("Обновление микропрограммы")}));
    EXPECT_EQ(w.debugPage(), nullptr);
    EXPECT_EQ(w.tabs()->currentWidget(), w.configPage());
    EXPECT_EQ(w.connectionDialog()->windowTitle(), QStringLiteral("Настройки подключения"));
}

TEST_F(MainWindowTest, NoSettingsFileGivesDefaultsAndWritesEveryKeyButDebugmode)
{
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}};
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay()->chosenView(), CardPresenter::View::Dec);
    EXPECT_FALSE(child<QCheckBox>(w.configPage(), "toClipboard")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w.configPage(), "toKeyboard")->isChecked());
    ASSERT_TRUE(waitPastTimer(Timings().trayStart)); // a tray start would have come by now
    EXPECT_TRUE(w.isVisible()); // no tray start
    w.close();
    window.reset();
    for (const char *key : {"viewmode", "tobuffer", "tokeyboard", "crlf", "totray"})
        EXPECT_NE(setting(key), QStringLiteral("<none>")) << key;
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("template"), QString());
    EXPECT_EQ(setting("port"), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(setting("debugmode"), QStringLiteral("<none>"));
}

// The size and place come back at the next start, kept in a file of their
// own: settings.ini holds the keys it always had.
TEST_F(MainWindowTest, TheWindowsSizeAndPlaceAreKeptBetweenStartsOutsideTheSettings)
{
    MainWindow &w = open();
    ASSERT_TRUE(laidOut(&w));
    const QRect chosen(QPoint(40, 30), QSize(1000, 720));
    w.setGeometry(chosen);
    laidOut(&w);
    const QRect was = w.geometry();
    w.close();
    window.reset();
    EXPECT_TRUE(QFileInfo::exists(tool.services().windowStatePath));
    EXPECT_EQ(setting("geometry"), QStringLiteral("<none>"));
    QFile ini(settingsPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(ini.readAll().contains("eometry"));
    MainWindow &again = open();
    ASSERT_TRUE(laidOut(&again));
    EXPECT_EQ(again.geometry(), was);
}

TEST_F(MainWindowTest, SettingsAreReadAndWrittenBack)
{
    writeSettings("viewmode=7\r\ntobuffer=1\r\ntokeyboard=1\r\ncrlf=1\r\ndebugmode=1\r\nport=/dev/ttyS1\r\n");
    ScopedEnvironment env; // typing is offered only in a graphical session; nothing is typed here
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        env.set("DISPLAY", QStringLiteral(":0"));
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}, {QStringLiteral("/dev/ttyS1"), false, 0, 0}};
    MainWindow &w = open();
    ConfigPage *page = w.configPage();
    EXPECT_EQ(w.cardDisplay()->chosenView(), CardPresenter::View::Dec);
    EXPECT_TRUE(child<QCheckBox>(page, "toClipboard")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(page, "newline")->isChecked() && child<QCheckBox>(page, "newline")->isEnabledTo(page));
    ASSERT_NE(w.debugPage(), nullptr);
    EXPECT_EQ(withoutMnemonic(w.tabs()->tabText(0)), QStringLiteral("Отладка"));
    EXPECT_EQ(w.tabs()->currentWidget(), w.debugPage());
    w.tabs()->setEnabled(true);
    child<QCheckBox>(page, "toKeyboard")->click(); // typing off: "+ перевод строки" disabled and cleared
    EXPECT_FALSE(child<QCheckBox>(page, "newline")->isEnabledTo(page));
    EXPECT_FALSE(child<QCheckBox>(page, "newline")->isChecked());
    w.close();
    window.reset();
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("tokeyboard"), QStringLiteral("0"));
    EXPECT_EQ(setting("port"), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(setting("debugmode"), QStringLiteral("1")); // kept as it was, never written
}

TEST_F(MainWindowTest, DebugModeLogsTrafficAndKeepsConfigurationSelectedAfterConnecting)
{
    writeSettings("debugmode=1\r\n");
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    EXPECT_EQ(w.tabs()->currentWidget(), w.configPage());
    EXPECT_TRUE(readerUsable(w));
    EXPECT_TRUE(waitUntil([&] {
        return child<QPlainTextEdit>(w.debugPage(), "trafficLog")
            ->toPlainText()
            .contains(QStringLiteral("] > 23 05 FF 01 24 "));
    }));
    EXPECT_TRUE(child<QPlainTextEdit>(child<DebugWindow>(w.debugPage(), "debugWindow"), "debugWindowText")
                    ->toPlainText()
                    .contains(QStringLiteral("] > 23 05 FF 01 24 ")));
    // A double-click on the log shows the window "Debug"; one on its text hides it again.
    ASSERT_TRUE(waitUntil([&] { return !w.station().busy() && w.station().link().idle(); })); // the wait for the reader is over
    deliverPosted();
    w.tabs()->setCurrentWidget(w.debugPage());
    QTest::mouseDClick(child<QPlainTextEdit>(w.debugPage(), "trafficLog")->viewport(), Qt::LeftButton);
    EXPECT_TRUE(child<DebugWindow>(w.debugPage(), "debugWindow")->isVisible());
    EXPECT_EQ(child<DebugWindow>(w.debugPage(), "debugWindow")->windowTitle(), QStringLiteral("Debug"));
    QTest::mouseDClick(
        child<QPlainTextEdit>(child<DebugWindow>(w.debugPage(), "debugWindow"), "debugWindowText")->viewport(),
        Qt::LeftButton);
    EXPECT_FALSE(child<DebugWindow>(w.debugPage(), "debugWindow")->isVisible());
}

TEST_F(MainWindowTest, TrayStartHidesTheWindowAndDoubleClickRestores)
{
    writeSettings("totray=1\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(child<QCheckBox>(w.configPage(), "startInTray")->isChecked());
    EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); }, 1000));
    EXPECT_TRUE(tray.visible);
    tray.doubleClick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(tray.visible);
}

// A technician prepares configuration files at the desk: without a reader the
// editor, its files, the factory default and the kept configurations work;
// what talks to a reader waits for one.
TEST_F(MainWindowTest, WithoutAReaderConfigurationFilesCanBePrepared)
{
    MainWindow &w = open();
    laidOut(&w);
    ConfigPage *page = w.configPage();
    EXPECT_TRUE(w.tabs()->isTabEnabled(w.tabs()->indexOf(page)));
    for (QPushButton *b : {child<QPushButton>(page, "readFileButton"), child<QPushButton>(page, "writeFileButton"),
                           child<QPushButton>(page, "defaultConfigButton"), child<QPushButton>(page, "keptButton")})
        EXPECT_TRUE(b->isEnabled()) << qPrintable(b->text());
    for (QPushButton *b :
         {child<QPushButton>(page, "readReaderButton"), child<QPushButton>(page, "writeReaderButton"),
          child<QPushButton>(page, "readMasterButton"), child<QPushButton>(page, "masterToReaderButton"),
          child<QPushButton>(page, "createMastersButton"), child<QPushButton>(page, "clearMastersButton")})
        EXPECT_FALSE(b->isEnabled()) << qPrintable(b->text());
    EXPECT_FALSE(w.tabs()->isTabEnabled(w.tabs()->indexOf(w.securePage())));
    EXPECT_TRUE(child<QPushButton>(w.firmwarePage(), "browseButton")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(w.firmwarePage(), "updateButton")->isEnabled());
    EXPECT_TRUE(child<ConfigEditor>(page, "configEditor")->isEnabled());
    dialogs.files.enqueue(dir.filePath(QStringLiteral("desk.rcf")));
    child<QPushButton>(page, "writeFileButton")->click();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("desk.rcf"))));
}

TEST_F(MainWindowTest, TabsFollowTheConnection)
{
    SimReader sim;
    MainWindow &w = open();
    EXPECT_FALSE(readerUsable(w));
    connectTo(sim);
    EXPECT_TRUE(readerUsable(w));
    EXPECT_TRUE(child<ElidedLabel>(w.statusPanels(), "statusText")
                    ->fullText()
                    .startsWith(QStringLiteral("Устройство подключено ")));
    EXPECT_EQ(dialogs.shown.value(0), QStringLiteral("message: Конфигурация считана из USB-считывателя"));
    EXPECT_EQ(sim.commands(),
              (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01")}));
    monitor.remove(sim.port());
    EXPECT_FALSE(readerUsable(w));
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(), QStringLiteral("Поиск устройства..."));
}

TEST_F(MainWindowTest, OnlyClicksStrictlyInsideTheLinkOpenTheSettings)
{
    MainWindow &w = open();
    ASSERT_TRUE(laidOut(&w));
    // The link starts where the status text ends, 350 pixels or more.
    const int left = child<QLabel>(w.statusPanels(), "connectionLink")->geometry().left();
    ASSERT_GE(left, StatusBar::kFirstWidth);
    for (int x : {0, left, left + StatusBar::kMiddleWidth, left + StatusBar::kMiddleWidth + 80})
        clickStatusBar(x);
    EXPECT_TRUE(dialogCaptions.isEmpty());
    rejectNextDialog();
    clickStatusBar(left + 1);
    EXPECT_EQ(dialogCaptions, QStringList{QStringLiteral("Настройки подключения")});
    rejectNextDialog();
    clickStatusBar(left + StatusBar::kMiddleWidth - 1);
    EXPECT_EQ(dialogCaptions.size(), 2);
}

TEST_F(MainWindowTest, ApplyingTheSettingsDropsTheConnectionAndTheNextScanReconnects)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    onNextModal([&w](QWidget *) {
        child<QComboBox>(w.connectionDialog(), "methodList")->setCurrentIndex(0);
        child<QPushButton>(w.connectionDialog(), "applyButton")->click();
    });
    w.openConnectionSettings();
    EXPECT_FALSE(w.station().session().isConnected());
    EXPECT_FALSE(readerUsable(w));
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(), QStringLiteral("Поиск устройства..."));
    EXPECT_TRUE(waitUntil([&] { return w.station().session().isConnected(); }, 2500));
}

TEST_F(MainWindowTest, ConnectionDialogShowsTheControlsOfTheMethod)
{
    MainWindow &w = open();
    ports.system = {{QStringLiteral("/dev/ttyS0"), false, 0, 0}};
    ConnectionDialog &d = *w.connectionDialog();
    child<QComboBox>(d, "methodList")->setCurrentIndex(1);
    Q_EMIT child<QComboBox>(d, "methodList")->activated(1);
    EXPECT_FALSE(child<QComboBox>(d, "portList")->isHidden());
    EXPECT_TRUE(child<QSpinBox>(d, "portNumber")->isHidden());
    EXPECT_EQ(child<QComboBox>(d, "portList")->currentText(), QStringLiteral("/dev/ttyS0"));
    child<QComboBox>(d, "methodList")->setCurrentIndex(2);
    Q_EMIT child<QComboBox>(d, "methodList")->activated(2);
    EXPECT_TRUE(child<QComboBox>(d, "portList")->isHidden());
    EXPECT_FALSE(child<QSpinBox>(d, "portNumber")->isHidden());
    EXPECT_EQ(child<QSpinBox>(d, "portNumber")->minimum(), 1);
    EXPECT_EQ(child<QSpinBox>(d, "portNumber")->maximum(), 255);
}

TEST_F(MainWindowTest, OpeningTheSecureTabAsksTheReaderItsMode)
{
    SimReader sim;
    sim.model->setConfigItems(QByteArray::fromHex("0202100003030000400601030401000501000C0800F8E00700F8E0FF"));
    MainWindow &w = open();
    connectTo(sim);
    sim.model->clearCommandsReceived();
    w.tabs()->setCurrentWidget(w.securePage());
    tool.settle();
    EXPECT_EQ(child<QLabel>(w.securePage(), "modeText")->text(), QStringLiteral("Зоны прохода"));
    EXPECT_TRUE(child<QPushButton>(w.securePage(), "createButton")->isEnabled());
    EXPECT_FALSE(child<QGroupBox>(w.securePage(), "zoneGroup")->isHidden());
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0B01")}); // no "0501" afterwards
    sim.model->setConfigItems(QByteArray::fromHex("0202670003030000400601000401000501000C0800F8E00700F8E0FF"));
    w.tabs()->setCurrentWidget(w.configPage());
    w.tabs()->setCurrentWidget(w.securePage());
    tool.settle();
    EXPECT_EQ(child<QLabel>(w.securePage(), "modeText")->text(), QStringLiteral("Обычный режим"));
    EXPECT_FALSE(child<QPushButton>(w.securePage(), "clearAllButton")->isEnabled());
    EXPECT_TRUE(child<QGroupBox>(w.securePage(), "zoneGroup")->isHidden());
}

TEST_F(MainWindowTest, StoredTemplateIsCheckedAtStartAndKeptOnlyInTheTemplateView)
{
    writeSettings("viewmode=3\r\ntemplate=ID dec(b2b1), ok\r\n");
    MainWindow &w = open();
    EXPECT_EQ(w.cardDisplay()->chosenView(), CardPresenter::View::Template);
    w.close();
    window.reset();
    EXPECT_EQ(setting("template"), QStringLiteral("ID dec(b2b1), ok"));
    EXPECT_EQ(setting("viewmode"), QStringLiteral("3"));
}

TEST_F(MainWindowTest, RejectedTemplateFallsBackToDecAndIsDropped)
{
    writeSettings("viewmode=3\r\ntemplate=dec(b1\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(child<QRadioButton>(w.cardDisplay(), "decChoice")->isChecked());
    w.close();
    window.reset();
    EXPECT_EQ(setting("viewmode"), QStringLiteral("1"));
    EXPECT_EQ(setting("template"), QString());
}

TEST_F(MainWindowTest, EmptyTemplateKeepsTheTemplateViewSelected)
{
    writeSettings("viewmode=3\r\ntemplate=\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(child<QRadioButton>(w.cardDisplay(), "templateChoice")->isChecked());
}

TEST_F(MainWindowTest, OpensAtItsOwnClientSize)
{
    MainWindow &w = open();
    ASSERT_TRUE(laidOut(&w));
    // 926 x 650 of client area, unless the outer minimum of 910 x 655 asks
    // for more (where the window system draws almost no frame).
    const int frame = w.frameGeometry().height() - w.height();
    EXPECT_EQ(w.size(), QSize(926, std::max(650, 655 - frame)));
}

TEST_F(MainWindowTest, WhileTheReaderIsAwaitedOnlyWhatWouldStartAnotherOperationWaits)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    sim.model->injectFault(sim::Fault::Silent);
    sim.model->clearCommandsReceived();
    dialogs.shown.clear();
    ConfigPage *page = w.configPage();
    QTest::mouseClick(child<QPushButton>(page, "readReaderButton"), Qt::LeftButton); // waits for the silent reader
    EXPECT_TRUE(w.station().busy());
    // What talks to the reader is disabled; the rest answers at once.
    EXPECT_FALSE(child<QPushButton>(page, "writeReaderButton")->isEnabled());
    QTest::mouseClick(child<QPushButton>(page, "writeReaderButton"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(page, "defaultConfigButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: Показана конфигурация по умолчанию")});
    QTest::mouseClick(child<QRadioButton>(w.cardDisplay(), "hexChoice"), Qt::LeftButton);
    EXPECT_TRUE(child<QRadioButton>(w.cardDisplay(), "hexChoice")->isChecked());
    tool.settle();
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0B01")});
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Превышено время ожидания ответа."));
    EXPECT_TRUE(child<QPushButton>(page, "writeReaderButton")->isEnabled());
}

TEST_F(MainWindowTest, ClicksLandWhileASilentPortIsProbed)
{
    SimReader silent;
    silent.model->injectFault(sim::Fault::Silent);
    MainWindow &w = open();
    ports.virtuals = {silent.port()};
    w.station().discovery().portsChanged();
    w.station().discovery().scanOnce();
    ASSERT_TRUE(w.station().discovery().scanning());
    int landed = 0;
    for (int i = 0; i < 12; ++i) {
        QRadioButton *choice = i % 2 ? child<QRadioButton>(w.cardDisplay(), "decChoice")
                                     : child<QRadioButton>(w.cardDisplay(), "hexChoice");
        QTest::mouseClick(choice, Qt::LeftButton);
        landed += choice->isChecked() ? 1 : 0;
        deliverPosted(); // the event loop turns between the clicks
    }
    EXPECT_EQ(landed, 12);
}

TEST_F(MainWindowTest, RestoredFromTheTrayTheWindowStays)
{
    writeSettings("totray=1\r\n");
    MainWindow &w = open();
    EXPECT_TRUE(waitUntil([&] { return tray.visible; }, 1000));
    EXPECT_FALSE(w.windowState() & Qt::WindowMinimized); // nothing asked of the window system to undo later
    tray.doubleClick();
    // Back on the screen: the window system's notices of the restore have come.
    ASSERT_TRUE(laidOut(&w));
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(tray.visible);
}

TEST_F(MainWindowTest, WithoutANotificationAreaTheWindowIsNeverHidden)
{
    tray.present = false;
    writeSettings("totray=1\r\n");
    MainWindow &w = open();
    ASSERT_TRUE(waitPastTimer(Timings().trayStart)); // a tray start would have come by now
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(child<QCheckBox>(w.configPage(), "startInTray")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(w.configPage(), "startInTray")->toolTip().isEmpty());
    w.setWindowState(Qt::WindowMinimized);
    deliverPosted(); // what the minimizing posted (a move to the tray) has run
    EXPECT_FALSE(tray.visible);
    EXPECT_TRUE(w.isVisible() || w.isMinimized());
}

TEST_F(MainWindowTest, EveryControlOfTheConfigurationTabCanBeReachedAtTheMinimumSize)
{
    MainWindow &w = open();
    w.resize(w.minimumSize());
    child<ConfigEditor>(w.configPage(), "configEditor")->model.userSetReadMode(ReadMode::PassZones);
    child<ConfigEditor>(w.configPage(), "configEditor")->model.userSetWidthMode(1);
    child<ConfigEditor>(w.configPage(), "configEditor")->sync();
    ASSERT_TRUE(laidOut(&w));
    auto *scroll = w.configPage()->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    const QList<QWidget *> controls = w.configPage()->findChildren<QWidget *>();
    int checked = 0;
    for (QWidget *c : controls) {
        if (!c->isVisibleTo(w.configPage()) || !(c->focusPolicy() & Qt::TabFocus) || c->inherits("QScrollBar"))
            continue;
        if (scroll->widget()->isAncestorOf(c))
            scroll->ensureWidgetVisible(c, 0, 0);
        const QRect onPage(c->mapTo(w.configPage(), QPoint(0, 0)), c->size());
        EXPECT_TRUE(w.configPage()->rect().contains(onPage.center()))
            << c->metaObject()->className() << " " << c->accessibleName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 20);
    // The zone grid does not scroll inside the scrolling editor.
    auto *grid = child<QTableWidget>(child<ZoneList>(child<ConfigEditor>(w.configPage(), "configEditor"), "zoneList"),
                                     "zoneGrid");
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 0);
}

TEST_F(MainWindowTest, KeyboardStopsAndAccessibleNames)
{
    MainWindow &w = open();
    ConfigEditor *editor = child<ConfigEditor>(w.configPage(), "configEditor");
    EXPECT_FALSE(child<QTableWidget>(child<ZoneList>(editor, "zoneList"), "zoneGrid")
                     ->tabKeyNavigation()); // one Tab stop for the 64 rows
    EXPECT_EQ(child<QTableWidget>(child<ZoneList>(editor, "zoneList"), "zoneGrid")
                  ->item(11, 0)
                  ->data(Qt::AccessibleTextRole)
                  .toString(),
              QStringLiteral("Зона 12 Зона прохода 12"));
    child<QTableWidget>(child<ZoneList>(editor, "zoneList"), "zoneGrid")->item(11, 2)->setText(QStringLiteral("Склад"));
    EXPECT_EQ(child<QTableWidget>(child<ZoneList>(editor, "zoneList"), "zoneGrid")
                  ->item(11, 0)
                  ->data(Qt::AccessibleTextRole)
                  .toString(),
              QStringLiteral("Зона 12 Склад"));
    EXPECT_TRUE(child<HelpLink>(editor, "hashLink")->focusPolicy() & Qt::TabFocus);
    editor->model.userSetReadMode(ReadMode::PassZones);
    editor->sync();
    w.tabs()->setEnabled(true);
    QTableWidget *grid = child<QTableWidget>(child<ZoneList>(editor, "zoneList"), "zoneGrid");
    grid->setFocus();
    grid->setCurrentCell(3, 0);
    QTest::keyClick(grid, Qt::Key_Space); // Space toggles the zone in the grid
    EXPECT_TRUE(editor->model.config().zones[3]);
    EXPECT_TRUE(w.statusPanels()->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(child<QSpinBox>(editor, "width")->accessibleName().isEmpty());
}

TEST_F(MainWindowTest, TheStatusBarTellsWhyTheReaderCannotBeUsed)
{
    SimReader sim;
    MainWindow &w = open();
    QtSerialPort other; // another program holds the reader's port
    ASSERT_TRUE(other.open(sim.port()));
    ports.virtuals = {sim.port()};
    w.station().discovery().portsChanged();
    EXPECT_TRUE(waitUntil(
        [&] {
            return child<ElidedLabel>(w.statusPanels(), "statusText")->fullText().contains(QStringLiteral("занят"));
        },
        2000));
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(),
              QStringLiteral("Поиск устройства... (порт ") + sim.port() + QStringLiteral(" занят)"));
    EXPECT_TRUE(child<ElidedLabel>(w.statusPanels(), "statusText")
                    ->toolTip()
                    .contains(QStringLiteral("занят другой программой")));
    other.close();
    EXPECT_TRUE(waitUntil([&] { return w.station().session().isConnected(); }, 2000));
    EXPECT_TRUE(child<ElidedLabel>(w.statusPanels(), "statusText")
                    ->fullText()
                    .startsWith(QStringLiteral("Устройство подключено ")));
}

TEST(StatusBarReasons, APortTheUserMayNotOpen)
{
    ToolServices tool;
    tool.ports.virtuals = {QStringLiteral("/dev/ttyACM0")};
    MainWindow w(tool.station([] {
        auto port = std::make_unique<FakeSerialPort>();
        port->openable = false;
        port->failure = OpenFailure::NoPermission;
        return port;
    }),
                 tool.services());
    w.show();
    w.station().discovery().scanOnce();
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(),
              QStringLiteral("Поиск устройства... (нет прав на порт /dev/ttyACM0)"));
    EXPECT_TRUE(
        child<ElidedLabel>(w.statusPanels(), "statusText")->toolTip().contains(QStringLiteral("группу dialout")));
    w.close();
}

namespace {
// The card-wait dialog open in the window, if any.
CardWaitDialog *openCardWait(MainWindow &w)
{
    const QList<CardWaitDialog *> dialogs = w.findChildren<CardWaitDialog *>();
    for (CardWaitDialog *d : dialogs)
        if (d->isVisible())
            return d;
    return nullptr;
}
} // namespace

TEST_F(MainWindowTest, ACardWaitEndsWithAClearMessageWhenTheReaderIsUnplugged)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    dialogs.answers.enqueue(true); // "Очистка": yes
    child<QPushButton>(w.configPage(), "clearMastersButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) != nullptr; }));
    EXPECT_EQ(openCardWait(w)->windowTitle(), QStringLiteral("Очистка мастер-карт"));
    sim.host->unplug();
    EXPECT_TRUE(waitUntil([&] { return openCardWait(w) == nullptr; }));
    tool.settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Считыватель отключён."));
    EXPECT_EQ(child<ElidedLabel>(w.statusPanels(), "statusText")->fullText(), QStringLiteral("Поиск устройства..."));
}

// A card wait says how to leave it: "Отмена", which does what closing the
// dialog does and has the focus. The window behind it is not blocked: closing
// it ends the wait the same way and the window closes.
TEST_F(MainWindowTest, ACardWaitEndsByItsCancelButtonOrByClosingTheWindow)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    child<QPushButton>(w.configPage(), "readMasterButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) != nullptr; }));
    CardWaitDialog *dialog = openCardWait(w);
    EXPECT_EQ(child<QPushButton>(dialog, "cancelButton")->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(dialog->focusWidget(),
              child<QPushButton>(dialog, "cancelButton")); // a named button, not an unnamed element
    child<QPushButton>(dialog, "cancelButton")->click();
    tool.settle();
    EXPECT_EQ(openCardWait(w), nullptr);
    EXPECT_FALSE(w.station().busy());
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);

    child<QPushButton>(w.configPage(), "readMasterButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) != nullptr; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window's close button would be ignored";
    sim.model->clearCommandsReceived();
    w.close();
    EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); }));
    EXPECT_EQ(openCardWait(w), nullptr);
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0501")}); // back to card reading
}

TEST_F(MainWindowTest, AReaderThatComesBackDoesNotReplaceUnsavedChangesWithoutAsking)
{
    // Under a name of its own, like a USB reader's link: a terminal made
    // anew may get another number, and the reader must be found again.
    SimReader sim{QStringLiteral("comesback")};
    MainWindow &w = open();
    connectTo(sim);
    ConfigEditor *editor = child<ConfigEditor>(w.configPage(), "configEditor");
    child<QCheckBox>(editor, "hash")->click(); // a change not written anywhere
    ASSERT_TRUE(editor->model.isDirty());
    const QString port = sim.port();
    const int reads = int(sim.commands().count(QStringLiteral("0B01")));
    sim.host->unplug();
    monitor.remove(port);
    dialogs.shown.clear();
    dialogs.answers.enqueue(false); // keep the editor as it is
    sim.host->plug();
    w.station().discovery().portsChanged();
    // Connected first, then read, then asked: the question is what the test waits for.
    ASSERT_TRUE(waitUntil([&] { return !dialogs.shown.isEmpty(); }, 5000));
    tool.settle();
    EXPECT_EQ(sim.commands().count(QStringLiteral("0B01")), reads + 1); // it was still read
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Конфигурация: Считыватель подключён.")));
    EXPECT_TRUE(child<QCheckBox>(editor, "hash")->isChecked());
    EXPECT_TRUE(editor->model.isDirty());
}

TEST_F(MainWindowTest, ClosingDuringACardWaitPutsTheReaderBackToReadingBeforeThePortCloses)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    child<QPushButton>(w.configPage(), "createMastersButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) != nullptr; }));
    child<QPushButton>(openCardWait(w), "countButton3")->click();
    ASSERT_TRUE(waitUntil([&] { return sim.model->mode() == sim::ReaderModel::Mode::CreateMasters; }));
    sim.model->clearCommandsReceived();
    w.closeForTermination(); // SIGTERM: no questions
    EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); }));
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0501")});
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
    EXPECT_FALSE(w.station().session().hasPort());
}

TEST_F(MainWindowTest, TheStatusBarsPanelsSitSideBySideAndTheLinkOpensWhereItIsDrawn)
{
    MainWindow &w = open();
    ASSERT_TRUE(laidOut(&w));
    StatusBar *bar = w.statusPanels();
    // The status text takes the width the link and the last panel leave, never less than 350 pixels.
    for (int width : {w.minimumWidth(), 1200}) {
        w.resize(width, w.height());
        laidOut(&w);
        EXPECT_EQ(child<ElidedLabel>(bar, "statusText")->geometry().left(), 0);
        EXPECT_GE(child<ElidedLabel>(bar, "statusText")->width(), StatusBar::kFirstWidth);
        EXPECT_EQ(child<ElidedLabel>(bar, "statusText")->width(),
                  bar->width() - StatusBar::kMiddleWidth - StatusBar::kLastWidth)
            << width;
        EXPECT_EQ(child<QLabel>(bar, "connectionLink")->geometry().left(),
                  child<ElidedLabel>(bar, "statusText")->width());
        EXPECT_EQ(child<QLabel>(bar, "connectionLink")->width(), StatusBar::kMiddleWidth);
        EXPECT_EQ(child<QLabel>(bar, "lastPanel")->geometry().left(),
                  child<QLabel>(bar, "connectionLink")->geometry().right() + 1);
        EXPECT_EQ(child<QLabel>(bar, "lastPanel")->frameShape(), QFrame::NoFrame); // no empty box
        EXPECT_FALSE(child<ElidedLabel>(bar, "statusText")
                         ->geometry()
                         .intersects(child<QLabel>(bar, "connectionLink")->geometry()));
    }
    // A click on the link's text opens the settings.
    rejectNextDialog();
    clickStatusBar(child<QLabel>(bar, "connectionLink")->geometry().center().x());
    EXPECT_EQ(dialogCaptions, QStringList{QStringLiteral("Настройки подключения")});
}

// A master card whose configuration misses the items the reader needs (the
// LED colours, a read mode and formats) is not put into the editor: its own message, and the
// editor as it was.
TEST_F(MainWindowTest, AMasterCardWithoutTheItemsTheReaderNeedsIsRefused)
{
    SimReader sim;
    MainWindow &w = open();
    connectTo(sim);
    sim.model->addMasterCard(sim::MasterCard{QStringLiteral("04A1B2C3D4E5F6"),
                                             QByteArray::fromHex("0C0800F8E00700F8E0FF06010702026700"),
                                             QByteArray::fromHex("00"), QString(), 0, 1});
    ConfigEditor *editor = child<ConfigEditor>(w.configPage(), "configEditor");
    const ReaderConfig before = editor->model.config();
    dialogs.shown.clear();
    child<QPushButton>(w.configPage(), "readMasterButton")->click();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) != nullptr; }));
    sim.model->presentMaster();
    ASSERT_TRUE(waitUntil([&] { return openCardWait(w) == nullptr; }));
    tool.settle();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: ") + texts::kConfigurationIncomplete);
    EXPECT_EQ(editor->model.config(), before);
}
