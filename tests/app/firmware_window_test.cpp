// The firmware update in the field, through the whole window: a station and
// its main window against the simulated reader, which restarts into its
// loader like a USB device (its port hangs up and vanishes, and the loader
// comes back under the same name 0.4 s later). Every message box the window
// would open is recorded, line errors included.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "app/ui/statusbar.h"
#include "config/ui/configpage.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "link/discovery.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "link/ui/connectiondialog.h"
#include "provisioning/ui/securecardspage.h"
#include "tests/support/children.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

namespace {

// Done: the reader is back with its new firmware and told its version.
const QString kDone = QStringLiteral("message: Обновление успешно завершено!\r\nВерсия микропрограммы: 1.2.0");
const QStringList kBack{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0A01")};
const QString kNoAnswer = QStringLiteral("error: Ошибка: Превышено время ожидания ответа.");
const QString kInLoader = QStringLiteral("Считыватель в режиме загрузчика: ");
// What the reading of the configuration after every connection tells.
const QString kConfigurationRead = QStringLiteral("message: Конфигурация считана из USB-считывателя");

// The tool's time limits, shortened where they only make the tests wait; the
// pause for the restart stays longer than the loader is away.
Timings windowTimings()
{
    Timings t = Timings().shortened(4);
    t.loaderStart = 700;
    return t;
}

class FirmwareWindowTest : public ::testing::Test {
protected:
    FirmwareWindowTest()
    {
        tool.timings = windowTimings();
        sim.host->restartDelayMs = sim::PtyHost::kDefaultRestartDelayMs;
        // After a whole upload the reader starts its new firmware soon (and
        // restarts once more, its port away for a while).
        sim.model->setLoaderIdleMs(300);
    }
    void TearDown() override
    {
        window.reset();
        tool.dropStation();
    }
    // The tool starts (again) with its data in the same folder.
    void open()
    {
        window.reset();
        tool.dropStation();
        tool.ports.virtuals = {sim.port()};
        station = &tool.station();
        window = std::make_unique<MainWindow>(*station, tool.services());
        window->show();
        window->installEventFilter(&hides);
        QObject::connect(station, &ReaderStation::runStarted, [this](ReaderOperation *run) {
            if (auto *update = qobject_cast<FirmwareUpdate *>(run)) {
                updateRun = update;
                QObject::connect(update, &FirmwareUpdate::finished, [this] { ++finishedRuns; });
            }
        });
    }
    void connectReader()
    {
        ASSERT_TRUE(waitUntil([&] { return session().isConnected() && !dialogs.shown.isEmpty(); }));
        ASSERT_TRUE(waitUntil([&] { return !station->busy() && station->link().idle(); }));
        ASSERT_EQ(dialogs.shown, QStringList{kConfigurationRead});
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
    }
    ReaderSession &session() { return station->session(); }
    FirmwarePage &page() { return *window->firmwarePage(); }
    QString status() const { return child<ElidedLabel>(window->statusPanels(), "statusText")->fullText(); }
    // The window has let the station go: the search stopped, the port closed.
    // (Closing from inside its own close the window leaves the rest to the
    // end of the event loop, which the tests do not run.)
    bool toolEnded() { return station->discovery().paused() && !session().hasPort(); }
    QString connectedStatus() const
    {
        return QStringLiteral("Устройство подключено ") + sim.port() + QStringLiteral("  (s/n: A102-0A1B2C3D)");
    }
    QString loaderStatus() const { return kInLoader + sim.port() + QStringLiteral("  (s/n: A102-0A1B2C3D)"); }
    // Which tabs can be chosen: configuration, secure cards, firmware.
    QList<bool> tabsUsable() const
    {
        QTabWidget *tabs = window->tabs();
        return {tabs->isEnabled() && tabs->isTabEnabled(tabs->indexOf(window->configPage())),
                tabs->isEnabled() && tabs->isTabEnabled(tabs->indexOf(window->securePage())),
                tabs->isEnabled() && tabs->isTabEnabled(tabs->indexOf(window->firmwarePage()))};
    }
    QString image(int blocks)
    {
        const QString path = tool.dir.filePath(QStringLiteral("image%1.hfw").arg(blocks));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(buildImage({forOther(), forReader(blocks)}));
        return path;
    }
    // Starts the update as the user does: the tab, the file, the button.
    void start(int blocks)
    {
        window->tabs()->setCurrentWidget(window->firmwarePage());
        child<QLineEdit>(page(), "imagePath")->setText(image(blocks));
        ASSERT_TRUE(child<QPushButton>(page(), "updateButton")->isEnabled());
        child<QPushButton>(page(), "updateButton")->click();
        ++runs;
    }
    QStringList run(int blocks)
    {
        dialogs.shown.clear();
        start(blocks);
        EXPECT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 15000));
        waitUntil([] { return false; }, 20);
        return dialogs.shown;
    }
    // The run waits for the reader to be plugged in again, and it is.
    void replugWhenAsked()
    {
        ASSERT_TRUE(waitUntil([&] { return updateRun && updateRun->awaitingReplug(); }, 8000));
        sim.host->unplug();
        ASSERT_TRUE(waitUntil([&] { return !session().inLoader(); }));
        ASSERT_TRUE(sim.host->plug());
    }
    static QList<QByteArray> blocksOf(const QByteArray &data)
    {
        QList<QByteArray> out;
        for (int i = 0; i + 16 <= data.size(); i += 16)
            out << data.mid(i, 16);
        return out;
    }
    // Calls `act` once the loader has taken `block` blocks.
    void atBlock(int block, std::function<void()> act)
    {
        QObject::connect(sim.model.get(), &sim::ReaderModel::output, window.get(),
                         [this, block, act, done = std::make_shared<bool>(false)] {
                             if (sim.model->mode() == sim::ReaderModel::Mode::Loader
                                 && sim.model->blocksTaken() == block && !std::exchange(*done, true))
                                 QTimer::singleShot(0, act);
                         });
    }

    // Notes how many blocks the loader had when the window was hidden.
    struct HideWatch : QObject {
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Hide && blocks)
                blocksAtHide = blocks();
            return QObject::eventFilter(watched, event);
        }
        std::function<int()> blocks;
        int blocksAtHide = -1;
    } hides;

    SimReader sim{QStringLiteral("fwwin%1").arg(QCoreApplication::applicationPid())};
    ToolServices tool;
    ScriptedDialogs &dialogs = tool.dialogs;
    ReaderStation *station = nullptr;
    std::unique_ptr<MainWindow> window;
    int runs = 0;
    int finishedRuns = 0;
    QPointer<FirmwareUpdate> updateRun; // the update run started last
};

} // namespace

// The reader hangs up and comes back as its loader, and once more as the
// reader with its new firmware: nothing of that reaches the user, the
// status-bar link does nothing while the run holds the page, and the only
// message is the success, which no notice of the reconnection covers. The
// tab stays on the firmware page.
TEST_F(FirmwareWindowTest, ARestartLikeAUsbDeviceEndsWithTheSuccessMessageAlone)
{
    open();
    connectReader();
    QStringList statuses;
    QObject thisTest; // the connection ends with the locals it reads
    QObject::connect(station, &ReaderStation::runStarted, &thisTest, [&](ReaderOperation *run) {
        auto *update = qobject_cast<FirmwareUpdate *>(run);
        if (!update)
            return;
        QObject::connect(update, &ReaderOperation::changed, &thisTest, [&, update] {
            if (update->stage() == FirmwareUpdate::Stage::Restarting) {
                // What a click on the link does, while the loader is away.
                window->openConnectionSettings();
                QTest::mouseClick(
                    window->statusPanels(), Qt::LeftButton, {},
                    QPoint(child<QLabel>(window->statusPanels(), "connectionLink")->geometry().center().x(), 5));
                statuses << status();
                // The status text is read as ever: not greyed like a disabled control.
                EXPECT_TRUE(child<ElidedLabel>(window->statusPanels(), "statusText")->isEnabled());
            }
        });
    });
    QTimer guard; // a modal dialog, had one opened, is closed and noted
    QStringList modals;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            modals << w->windowTitle();
            w->close();
        }
    });
    guard.start(50);

    EXPECT_EQ(run(60), QStringList{kDone});
    EXPECT_TRUE(modals.isEmpty()) << qPrintable(modals.join(QLatin1Char(',')));
    EXPECT_FALSE(window->connectionDialog()->isVisible());
    EXPECT_EQ(statuses, QStringList{connectedStatus()});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(60)));
    EXPECT_EQ(sim.commands(), QStringList({QStringLiteral("FF01"), QStringLiteral("0C01")}) + kBack);
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
    EXPECT_EQ(status(), connectedStatus());
    EXPECT_EQ(tabsUsable(), (QList<bool>{true, true, true}));
    EXPECT_TRUE(child<QPushButton>(page(), "versionButton")->isEnabled());
    EXPECT_TRUE(station->loaders().entries().isEmpty());
    EXPECT_EQ(window->tabs()->currentWidget(), window->firmwarePage());
    // Nothing else follows the message.
    waitUntil([] { return false; }, 3 * station->timings().scan);
    EXPECT_EQ(dialogs.shown, QStringList{kDone});
    EXPECT_EQ(window->tabs()->currentWidget(), window->firmwarePage());
}

// The file chosen, the keyboard is on the start button; while the blocks go,
// the progress text says to keep the reader plugged in.
TEST_F(FirmwareWindowTest, AfterTheFileTheStartButtonHasTheFocusAndTheUploadSaysToKeepTheReaderPluggedIn)
{
    open();
    connectReader();
    window->tabs()->setCurrentWidget(window->firmwarePage());
    dialogs.files.enqueue(image(200));
    child<QPushButton>(page(), "browseButton")->click();
    EXPECT_EQ(child<QLineEdit>(page(), "imagePath")->text(), image(200));
    EXPECT_EQ(window->focusWidget(), child<QPushButton>(page(), "updateButton"));
    bool told = false;
    QObject thisTest; // the connection ends with the locals it reads
    // Looked at once the page has shown the stage (it is told before the test).
    QObject::connect(station, &ReaderStation::runStarted, &thisTest, [&](ReaderOperation *run) {
        if (auto *update = qobject_cast<FirmwareUpdate *>(run))
            QObject::connect(update, &FirmwareUpdate::stageChanged, &thisTest, [&](FirmwareUpdate::Stage stage) {
                if (stage == FirmwareUpdate::Stage::Uploading)
                    told |= child<QLabel>(page(), "progressText")
                                ->text()
                                .contains(QStringLiteral("Не отключайте считыватель"));
            });
    });
    child<QPushButton>(page(), "updateButton")->click();
    ++runs;
    ASSERT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 15000));
    EXPECT_TRUE(told);
    EXPECT_FALSE(child<QLabel>(page(), "progressText")->text().contains(QStringLiteral("Не отключайте считыватель")));
}

// Unplugged, the reader is gone: no error box, the search starts again.
TEST_F(FirmwareWindowTest, AnUnpluggedReaderIsGoneWithoutAnErrorBox)
{
    open();
    connectReader();
    sim.host->unplug();
    EXPECT_TRUE(waitUntil([&] { return status() == QStringLiteral("Поиск устройства..."); }));
    waitUntil([] { return false; }, 100);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << qPrintable(dialogs.shown.join(QLatin1Char('\n')));
    // Files need no reader: the configuration and firmware tabs stay, the secure cards wait.
    EXPECT_EQ(tabsUsable(), (QList<bool>{true, false, true}));
}

// The loader stops answering after block 5 and stays a loader. The window
// says so and leaves only the firmware tab; nothing framed reaches the
// loader while the tool goes on around it; once the loader answers again the
// next run sends every block from the first.
TEST_F(FirmwareWindowTest, ALoaderStuckAfterBlockNIsKnownAndFinishedByASecondRun)
{
    open();
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 5);
    EXPECT_EQ(run(30), QStringList{kNoAnswer});
    EXPECT_EQ(status(), loaderStatus());
    EXPECT_EQ(tabsUsable(), (QList<bool>{false, false, true}));
    EXPECT_EQ(window->tabs()->currentWidget(), window->firmwarePage());
    EXPECT_FALSE(child<QPushButton>(page(), "versionButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(page(), "updateButton")->isEnabled());
    EXPECT_TRUE(child<QLabel>(page(), "loaderNote")->isVisible());
    child<QPushButton>(page(), "versionButton")->click();
    waitUntil([] { return false; }, 4 * station->timings().scan);
    EXPECT_EQ(sim.model->loaderBlocks().size(), 6);
    EXPECT_EQ(sim.model->loaderPendingBytes(), 0);

    // It took part of an image: the next run asks for it to be plugged in again first.
    sim.model->clearLoaderFault(sim::LoaderFault::Stuck);
    dialogs.shown.clear();
    start(30);
    replugWhenAsked();
    EXPECT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 15000));
    EXPECT_EQ(dialogs.shown, QStringList{kDone});
    const QList<QByteArray> section = blocksOf(sectionData(forReader(30)));
    EXPECT_EQ(sim.model->loaderBlocks(), section.mid(0, 6) + section);
    EXPECT_EQ(sim.commands(), QStringList({QStringLiteral("FF01"), QStringLiteral("0C01")}) + kBack);
    EXPECT_EQ(status(), connectedStatus());
    EXPECT_EQ(tabsUsable(), (QList<bool>{true, true, true}));
    EXPECT_FALSE(child<QLabel>(page(), "loaderNote")->isVisible());
}

// A loader left by a failed run, unplugged and plugged in again, is found as
// a loader: also by the tool started again, without a command sent to it.
TEST_F(FirmwareWindowTest, ARememberedLoaderIsFoundAgainAfterReplugAndRestart)
{
    open();
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 3);
    EXPECT_EQ(run(20), QStringList{kNoAnswer});
    sim.host->unplug();
    EXPECT_TRUE(waitUntil([&] { return status() == QStringLiteral("Поиск устройства..."); }));
    ASSERT_TRUE(sim.host->plug());
    EXPECT_TRUE(waitUntil([&] { return status() == loaderStatus(); }));
    EXPECT_EQ(tabsUsable(), (QList<bool>{false, false, true}));
    EXPECT_EQ(window->tabs()->currentWidget(), window->firmwarePage());
    EXPECT_EQ(dialogs.shown, QStringList{kNoAnswer});

    dialogs.shown.clear();
    open(); // the tool is ended and started again
    EXPECT_TRUE(waitUntil([&] { return status() == loaderStatus(); }));
    EXPECT_EQ(tabsUsable(), (QList<bool>{false, false, true}));
    waitUntil([] { return false; }, 3 * station->timings().scan);
    EXPECT_EQ(sim.model->loaderBlocks().size(), 4);
    EXPECT_EQ(sim.model->loaderPendingBytes(), 0);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << qPrintable(dialogs.shown.join(QLatin1Char('\n')));

    sim.model->clearLoaderFault(sim::LoaderFault::Stuck);
    EXPECT_EQ(run(20), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(20)));
    EXPECT_EQ(status(), connectedStatus());
}

// The session ends (SIGTERM) at block 100 of 1,500: the window closes only
// after the 1,500th block.
TEST_F(FirmwareWindowTest, TerminationDuringTheUploadEndsTheToolAfterTheLastBlock)
{
    open();
    connectReader();
    hides.blocks = [this] { return sim.model->blocksTaken(); };
    atBlock(100, [this] { window->closeForTermination(); });
    dialogs.shown.clear();
    start(1500);
    ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }, 30000));
    EXPECT_EQ(hides.blocksAtHide, 1500);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(1500)));
    EXPECT_FALSE(dialogs.shown.join(QLatin1Char('\n')).contains(QStringLiteral("question")));
    EXPECT_TRUE(station->loaders().entries().isEmpty());
}

// Closing the window during the upload asks; No keeps the upload going to its
// end, Yes ends it and the reader is remembered as left in its loader.
TEST_F(FirmwareWindowTest, ClosingTheWindowDuringTheUploadAsks)
{
    open();
    connectReader();
    atBlock(50, [this] { window->close(); });
    EXPECT_EQ(run(400).value(0).section(QLatin1Char(':'), 0, 1),
              QStringLiteral("question: Обновление микропрограммы"));
    EXPECT_EQ(dialogs.shown.mid(1), QStringList{kDone});
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sim.model->blocksTaken(), 400);
    // The reader runs its new firmware and is connected again.
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
    ASSERT_TRUE(waitUntil([&] { return !station->busy() && session().isConnected(); }));

    dialogs.answers.enqueue(true);
    atBlock(50, [this] { window->close(); });
    dialogs.shown.clear();
    start(400);
    ASSERT_TRUE(waitUntil([&] { return toolEnded(); }, 10000)) << qPrintable(dialogs.shown.join(QLatin1Char('\n')));
    EXPECT_LT(sim.model->blocksTaken(), 400);
    ASSERT_EQ(station->loaders().entries().size(), 1);
    EXPECT_EQ(station->loaders().entries().value(0).port, sim.port());
}

// Ending the tool while the run waits for a loader that answers nothing does
// not wait for the user.
TEST_F(FirmwareWindowTest, TerminationWhileWaitingForASilentLoaderEndsTheTool)
{
    open();
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 0);
    EXPECT_EQ(run(10), QStringList{kNoAnswer});
    start(10);
    ASSERT_TRUE(waitUntil([&] { return updateRun && updateRun->awaitingReplug(); }));
    window->closeForTermination();
    EXPECT_TRUE(waitUntil([&] { return toolEnded(); }, 3000));
    EXPECT_EQ(station->loaders().entries().size(), 1);
}
