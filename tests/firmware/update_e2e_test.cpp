// The firmware update and the version query through the tab, against the
// simulated reader over a pseudo-terminal, with discovery running as in the
// tool and the session's line errors shown as the window shows them. The
// reader restarts into its loader like a USB device: its port hangs up and
// vanishes, and the loader comes back under the same name a little later.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "firmware/firmwareruns.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "firmware/versionquery.h"
#include "link/discovery.h"
#include "link/errors.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/portclaims.h"
#include "platform/qtserialport.h"
#include "tests/support/children.h"
#include "tests/support/fakeports.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

// Every time limit a quarter of the tool's; the loader comes back well
// inside the pause the tool gives it.
Timings testTimings()
{
    return Timings().shortened(4);
}
constexpr int kRestartMs = 200;

// Done: the reader is back with its new firmware and told its version.
const QString kDone = QStringLiteral("message: Обновление успешно завершено!\r\nВерсия микропрограммы: 1.2.0");

// Dialogs that also note where the progress stood when an error was shown:
// the bar's value and maximum, and the text under it.
struct WatchingDialogs : ScriptedDialogs {
    void message(const QString &text) override
    {
        ScriptedDialogs::message(text);
        if (page)
            progressAtMessage << QStringLiteral("%1/%2")
                                     .arg(child<QProgressBar>(page, "progress")->value())
                                     .arg(child<QProgressBar>(page, "progress")->maximum());
    }
    void error(const QString &text) override
    {
        ScriptedDialogs::error(text);
        if (page)
            progressAtError << QStringLiteral("%1/%2 %3")
                                   .arg(child<QProgressBar>(page, "progress")->value())
                                   .arg(child<QProgressBar>(page, "progress")->maximum())
                                   .arg(child<QLabel>(page, "progressText")->text());
    }
    FirmwarePage *page = nullptr;
    QStringList progressAtError;
    QStringList progressAtMessage;
};
const QString kNoAnswer = QStringLiteral("error: Ошибка: Превышено время ожидания ответа.");

// One run of the tool around a firmware tab: link, session, discovery, the
// readers left in their loader (kept in a file), the two operations and the
// tab, wired as the tool wires them.
struct Tool : FirmwareRuns {
    Tool(const QString &port, const QString &registryFile, UserDialogs &dialogs)
        : loaders(registryFile), page(*this, dialogs)
    {
        ports.virtuals = {port};
        update.location = [this](const QString &name) { return discovery.location(name); };
        QObject::connect(&session, &ReaderSession::lineErrors, [&dialogs](LineErrors errors) {
            for (const QString &m : lineErrorTexts(errors))
                dialogs.message(m);
        });
        QObject::connect(&session, &ReaderSession::loaderConnected, [this] { page.setInLoader(true); });
        QObject::connect(&session, &ReaderSession::connected, [this] { page.setInLoader(false); });
        QObject::connect(&session, &ReaderSession::disconnected, [this] { page.setInLoader(false); });
        for (ReaderOperation *op : {static_cast<ReaderOperation *>(&update), static_cast<ReaderOperation *>(&version)})
            QObject::connect(op, &ReaderOperation::changed, [this] { page.setReaderIdle(!busy()); });
        discovery.start();
    }
    bool busy() const override { return update.running() || version.running(); }
    // The tool's one update and one query, started anew for each run.
    FirmwareUpdate *updateFirmware(const QString &path, const Watch<FirmwareUpdate> &watch) override
    {
        if (busy())
            return nullptr;
        if (watch)
            watch(update);
        update.start(path);
        return &update;
    }
    FirmwareVersionQuery *queryVersion(const Watch<FirmwareVersionQuery> &watch) override
    {
        if (busy())
            return nullptr;
        if (watch)
            watch(version);
        version.start();
        return &version;
    }

    Timings timings = testTimings();
    FakePortEnumerator ports;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    LoaderRegistry loaders;
    ReaderDiscovery discovery{session, link, ports, loaders, timings};
    FirmwareUpdate update{link, session, loaders, timings};
    FirmwareVersionQuery version{link, timings};
    FirmwarePage page;
};

class UpdateTest : public ::testing::Test {
protected:
    UpdateTest()
    {
        sim.host->restartDelayMs = kRestartMs;
        // After a whole upload the reader soon restarts into its new firmware
        // (not so soon that a loaded machine's pause looks like the end).
        sim.model->setLoaderIdleMs(300);
        startTool();
    }
    void startTool()
    {
        tool.reset();
        tool = std::make_unique<Tool>(sim.port(), dir.filePath(QStringLiteral("loaders")), dialogs);
        dialogs.page = &tool->page;
        QObject::connect(&tool->update, &FirmwareUpdate::progress, [this](int, int total, qint64) {
            maxima << child<QProgressBar>(tool->page, "progress")->maximum();
            if (total > 0)
                totals << total;
        });
        QObject::connect(&tool->update, &ReaderOperation::changed, [this] {
            if (tool->update.running())
                lockedWhileRunning &= !child<QPushButton>(tool->page, "updateButton")->isEnabled() &&
                                      !child<QPushButton>(tool->page, "versionButton")->isEnabled() &&
                                      !child<QLineEdit>(tool->page, "imagePath")->isEnabled() &&
                                      !child<QPushButton>(tool->page, "browseButton")->isEnabled() &&
                                      !child<QLabel>(tool->page, "loaderNote")->isVisibleTo(&tool->page);
        });
        QObject::connect(&tool->update, &ReaderOperation::ended, [this] { ++finishedRuns; });
    }
    void connectReader()
    {
        ASSERT_TRUE(waitUntil([&] { return tool->session.isConnected() && tool->link.idle(); }));
        waitUntil([] { return false; }, 50); // the reading after the connection has gone out
    }
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("image%1.hfw").arg(++files));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    // Starts the update from the tab; once it has ended, what the user was
    // told, and the commands the reader got meanwhile.
    QStringList runWith(const QString &path)
    {
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
        start(path);
        EXPECT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 8000));
        EXPECT_EQ(child<QProgressBar>(tool->page, "progress")->value(), 0);
        EXPECT_TRUE(child<QPushButton>(tool->page, "updateButton")->isEnabled());
        return dialogs.shown;
    }
    void start(const QString &path)
    {
        child<QLineEdit>(tool->page, "imagePath")->setText(path);
        child<QPushButton>(tool->page, "updateButton")->click();
        ++runs;
    }
    QStringList run(const QList<SectionSpec> &sections) { return runWith(file(buildImage(sections))); }
    QStringList commands() const { return sim.commands(); }
    // The run waits for the reader to be plugged in again, and it is.
    void replugWhenAsked()
    {
        ASSERT_TRUE(waitUntil([&] { return tool->update.awaitingReplug(); }, 8000));
        sim.host->unplug();
        ASSERT_TRUE(waitUntil([&] { return !tool->session.inLoader(); }));
        ASSERT_TRUE(sim.host->plug());
    }
    // Runs the update, plugging the reader in again when asked.
    QStringList runReplugging(const QList<SectionSpec> &sections)
    {
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
        start(file(buildImage(sections)));
        replugWhenAsked();
        EXPECT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 8000));
        return dialogs.shown;
    }
    static QList<QByteArray> blocksOf(const QByteArray &data)
    {
        QList<QByteArray> out;
        for (int i = 0; i + 16 <= data.size(); i += 16)
            out << data.mid(i, 16);
        return out;
    }

    SimReader sim{QStringLiteral("fw%1").arg(QCoreApplication::applicationPid())};
    QTemporaryDir dir;
    WatchingDialogs dialogs;
    std::unique_ptr<Tool> tool;
    int files = 0;
    int runs = 0;
    int finishedRuns = 0;
    // While a run goes on, nothing can start another, and the note about a
    // reader left in its loader is not shown.
    bool lockedWhileRunning = true;
    QList<int> maxima;
    QList<int> totals;
};

const QStringList kIdentifyAndSwitch{QStringLiteral("FF01"), QStringLiteral("0C01")};
// What the reader back from its restart gets: identified, back to card reading, its version asked.
const QStringList kBack{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0A01")};

} // namespace

TEST_F(UpdateTest, TheMatchingSecondSectionIsUploadedInOrderThroughTheRestart)
{
    connectReader();
    EXPECT_EQ(run({forOther(), forReader(12)}), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(12)));
    EXPECT_EQ(commands(), kIdentifyAndSwitch + kBack);
    EXPECT_EQ(totals.value(0), 12);
    EXPECT_TRUE(maxima.contains(12));
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_TRUE(tool->session.hasPort());
    EXPECT_FALSE(tool->session.firmwareSwitching());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
    EXPECT_TRUE(child<QPushButton>(tool->page, "versionButton")->isEnabled());
}

TEST_F(UpdateTest, AReaderThatRestartsBeforeItAnswersTheSwitchIsUpdated)
{
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::SwitchUnanswered);
    EXPECT_EQ(run({forReader(9)}), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(9)));
}

TEST_F(UpdateTest, ImageFaultsAreToldBeforeAnythingIsSent)
{
    connectReader();
    const struct {
        QList<SectionSpec> sections;
        const char *message;
    } cases[] = {
        {{forOther(), forOther()}, "error: Не найдена прошивка для текущего устройства (02A11701)."},
        {{[] { SectionSpec s = forOther(); s.marker = QByteArray("\x00\xCD", 2); return s; }(), forReader()},
         "error: Некорректный файл микропрограммы (заголовок)."},
        {{[] { SectionSpec s = forReader(); s.crc = 0x0BAD; return s; }()}, "error: Некорректный файл микропрограммы (CRC)."},
        {{[] { SectionSpec s = forOther(); s.count = 0; return s; }(), forReader()},
         "error: Некорректный файл микропрограммы (заголовок)."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.sections), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(commands(), QStringList{QStringLiteral("FF01")});
    }
    const QByteArray image = buildImage({forReader()});
    const QString badSize = QStringLiteral("error: Некорректный файл микропрограммы.");
    const QString cannotOpen = QStringLiteral("error: Не удалось открыть файл микропрограммы.");
    EXPECT_EQ(runWith(file(image.left(144))), QStringList{badSize});
    EXPECT_EQ(runWith(file(image + 'x')), QStringList{badSize});
    EXPECT_EQ(runWith(file(QByteArray())), QStringList{badSize});
    // Nothing is sent for these.
    EXPECT_EQ(runWith(QString()), QStringList{QStringLiteral("error: Укажите файл микропрограммы.")});
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_EQ(runWith(dir.path()), QStringList{cannotOpen});
    EXPECT_EQ(runWith(dir.filePath(QStringLiteral("absent.hfw"))), QStringList{cannotOpen});
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_TRUE(sim.model->loaderBlocks().isEmpty());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
    EXPECT_TRUE(tool->session.isConnected());
}

TEST_F(UpdateTest, IdentificationFaults)
{
    connectReader();
    sim.model->refuse(0xFF, 0x01, 0x0F);
    EXPECT_EQ(run({forReader()}), QStringList{QStringLiteral("error: Ошибка: Ошибочная команда.")});
    sim.model->clearFaults();
    sim.model->setIdentityTail(QByteArray::fromHex("01")); // item FE of one byte: no identity of 8 digits
    EXPECT_EQ(run({forReader()}), QStringList{QStringLiteral("error: Не удалось получить версию устройства.")});
    EXPECT_EQ(commands(), QStringList{QStringLiteral("FF01")});
}

TEST_F(UpdateTest, ARefusedSwitchEndsTheRunAndTheReaderStaysConnected)
{
    connectReader();
    sim.model->refuse(0x0C, 0x01, 0x0C);
    EXPECT_EQ(run({forReader()}), QStringList{QStringLiteral("error: Ошибка: Ошибочные параметры комманды.")});
    EXPECT_EQ(commands(), kIdentifyAndSwitch);
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_FALSE(tool->session.firmwareSwitching());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
}

// Nothing goes to the loader; a loader that took nothing stays one, and the
// run says that the reader did not come back rather than "done".
TEST_F(UpdateTest, ASectionOfOneBlockSendsNothingAfterTheSwitch)
{
    connectReader();
    tool->timings.readerReturn = 600;
    EXPECT_EQ(run({forReader(0), forOther(8)}),
              QStringList{QStringLiteral("error: Микропрограмма передана, но считыватель не вернулся в работу за 1 с. "
                                         "Отключите считыватель и подключите его снова.")});
    EXPECT_EQ(commands(), kIdentifyAndSwitch);
    EXPECT_TRUE(sim.model->loaderBlocks().isEmpty());
    EXPECT_TRUE(tool->session.inLoader());
}

TEST_F(UpdateTest, ASectionRunningPastTheEndIsUploadedAsFar)
{
    connectReader();
    SectionSpec long_ = forReader(9);
    long_.count = 50;
    EXPECT_EQ(run({forOther(), long_}), QStringList{kDone});
    EXPECT_EQ(sim.model->blocksTaken(), 9);
}

// A loader fault ends the run at once, without a retry; the reader is then
// left in its loader, half-fed: the next run goes to the loader straight
// away, asks for the reader to be plugged in again, and then sends every
// block from the first.
TEST_F(UpdateTest, LoaderFaultsEndTheRunAndTheNextRunStartsAtTheLoader)
{
    connectReader();
    const QList<QByteArray> section = blocksOf(sectionData(forReader()));
    sim.model->rejectBlock(2, 0x07);
    EXPECT_EQ(run({forReader()}), QStringList{QStringLiteral("error: Ошибка: 07")});
    EXPECT_EQ(sim.model->loaderBlocks(), section.mid(0, 3));
    EXPECT_TRUE(tool->session.inLoader());

    sim.model->clearLoaderFaults();
    sim.model->injectLoaderFault(sim::LoaderFault::Silent, 3);
    EXPECT_EQ(runReplugging({forReader()}), QStringList{kNoAnswer});
    EXPECT_EQ(sim.model->loaderBlocks().mid(3), section.mid(0, 4));
    EXPECT_TRUE(commands().isEmpty());

    sim.model->clearLoaderFaults();
    sim.model->injectLoaderFault(sim::LoaderFault::LongReply, 0);
    EXPECT_EQ(runReplugging({forReader()}), QStringList{QStringLiteral("error: Ошибка: Некорректный ответ.")});
    EXPECT_EQ(sim.model->loaderBlocks().mid(7), section.mid(0, 1));
    EXPECT_TRUE(commands().isEmpty());

    sim.model->clearLoaderFaults();
    EXPECT_EQ(runReplugging({forReader()}), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderBlocks().mid(8), section);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader()));
    EXPECT_EQ(commands(), kBack);
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
}

TEST_F(UpdateTest, TheReopenFailsWhenTheLoaderComesBackElsewhere)
{
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::ComeBackElsewhere);
    EXPECT_EQ(run({forReader()}), QStringList{QStringLiteral("error: Ошибка переподключения")});
    EXPECT_FALSE(tool->session.isConnected());
    EXPECT_FALSE(tool->session.firmwareSwitching());
    EXPECT_TRUE(child<QPushButton>(tool->page, "updateButton")->isEnabled());
}

TEST_F(UpdateTest, AFailedRunShowsTheLastAcceptedBlockBeforeItReturnsToZero)
{
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Reject, 5); // blocks 0..4 accepted
    EXPECT_EQ(run({forReader(9)}), QStringList{QStringLiteral("error: Ошибка: 07")});
    EXPECT_EQ(dialogs.progressAtError, QStringList{QStringLiteral("5/9 Блоков передано: 5 из 9")});
    EXPECT_EQ(child<QProgressBar>(tool->page, "progress")->value(), 0);
    EXPECT_TRUE(child<QLabel>(tool->page, "progressText")->text().isEmpty());
}

// The loader stops answering after block 4 and stays a loader. The run
// fails; the reader is remembered as left in its loader, and nothing framed
// is written to it while it sits there (discovery goes on, the version query
// cannot start). The next run asks for the reader to be plugged in again,
// then sends every block from the first and the reader is connected again.
TEST_F(UpdateTest, ALoaderStuckAfterBlockNIsFinishedByTheNextRun)
{
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 4);
    EXPECT_EQ(run({forReader(9)}), QStringList{kNoAnswer});
    EXPECT_TRUE(tool->session.inLoader());
    ASSERT_EQ(tool->loaders.entries().size(), 1);
    EXPECT_EQ(tool->loaders.entries().value(0).port, sim.port());
    EXPECT_EQ(tool->loaders.entries().value(0).firmwareIdentity, QStringLiteral("02A11701"));
    EXPECT_FALSE(child<QPushButton>(tool->page, "versionButton")->isEnabled());
    EXPECT_TRUE(child<QLabel>(tool->page, "loaderNote")->isVisibleTo(&tool->page));
    child<QPushButton>(tool->page, "versionButton")->click();
    waitUntil([] { return false; }, 4 * tool->timings.scan);
    EXPECT_FALSE(tool->version.running());
    EXPECT_EQ(sim.model->loaderBlocks().size(), 5);
    EXPECT_EQ(sim.model->loaderPendingBytes(), 0);

    sim.model->clearLoaderFault(sim::LoaderFault::Stuck);
    // The run at the loader shows its total before the first block goes out.
    QStringList shownAtFirstBlock;
    QObject::connect(sim.model.get(), &sim::ReaderModel::output, &tool->page, [&] {
        if (shownAtFirstBlock.isEmpty())
            shownAtFirstBlock << QString::number(child<QProgressBar>(tool->page, "progress")->maximum())
                              << child<QLabel>(tool->page, "progressText")->text();
    });
    EXPECT_EQ(runReplugging({forReader(9)}), QStringList{kDone});
    EXPECT_EQ(shownAtFirstBlock,
              (QStringList{QStringLiteral("9"), QStringLiteral("Блоков передано: 0 из 9\nНе отключайте считыватель, пока "
                                                               "идёт обновление.")}));
    EXPECT_EQ(commands(), kBack);
    const QList<QByteArray> section = blocksOf(sectionData(forReader(9)));
    EXPECT_EQ(sim.model->loaderBlocks(), section.mid(0, 5) + section);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(9)));
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
}

// A loader that answers nothing at all: the next run finds it half-fed, says
// so and waits; the user plugs the reader in again, and the upload starts
// over by itself. The wait has a limit.
TEST_F(UpdateTest, ASilentLoaderIsWaitedForUntilItIsPluggedInAgain)
{
    connectReader();
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 0);
    EXPECT_EQ(run({forReader(10)}), QStringList{kNoAnswer});
    dialogs.shown.clear();
    sim.model->clearCommandsReceived();
    const int received = int(sim.model->loaderBlocks().size());
    start(file(buildImage({forReader(10)})));
    ASSERT_TRUE(waitUntil([&] { return tool->update.stage() == FirmwareUpdate::Stage::AwaitingReplug; }));
    EXPECT_TRUE(child<QLabel>(tool->page, "progressText")->text().contains(QStringLiteral("подключите его снова")));
    EXPECT_TRUE(child<QPushButton>(tool->page, "cancelWaitButton")->isVisibleTo(&tool->page));
    waitUntil([] { return false; }, 3 * tool->timings.loaderBlock);
    EXPECT_TRUE(tool->update.running());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(sim.model->loaderBlocks().size(), received); // nothing goes to a half-fed loader

    sim.host->unplug();
    ASSERT_TRUE(waitUntil([&] { return !tool->session.inLoader(); }));
    EXPECT_TRUE(tool->update.running());
    sim.model->clearLoaderFault(sim::LoaderFault::Stuck);
    ASSERT_TRUE(sim.host->plug());
    ASSERT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 5000));
    EXPECT_EQ(dialogs.shown, QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(10)));
    EXPECT_EQ(sim.commands(), kBack);

    // Left half-fed again, and not plugged in: the wait ends at its limit, or
    // when the user gives up.
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 0);
    connectReader();
    EXPECT_EQ(run({forReader(10)}), QStringList{kNoAnswer});
    tool->timings.loaderWait = 400;
    EXPECT_EQ(run({forReader(10)}), QStringList{QStringLiteral("error: Считыватель не был подключён заново за 1 с: "
                                                               "обновление микропрограммы не завершено, считыватель "
                                                               "остался в режиме загрузчика.")});
    tool->timings.loaderWait = 60000;
    start(file(buildImage({forReader(10)})));
    ASSERT_TRUE(waitUntil([&] { return tool->update.awaitingReplug(); }));
    child<QPushButton>(tool->page, "cancelWaitButton")->click();
    ASSERT_TRUE(waitUntil([&] { return finishedRuns == runs; }));
    EXPECT_EQ(tool->update.status(), ReaderOperation::Status::Cancelled);
    EXPECT_TRUE(tool->session.inLoader());
}

// The reader is unplugged in the middle of the upload: the run ends, and the
// reader, plugged in again, is known as left in its loader, also by a tool
// started later.
TEST_F(UpdateTest, AReaderUnpluggedDuringTheUploadIsFoundAgainAsALoader)
{
    connectReader();
    bool unplugged = false;
    QObject thisTest; // the connection ends with the locals it reads
    QObject::connect(sim.model.get(), &sim::ReaderModel::output, &thisTest, [&] {
        if (sim.model->blocksTaken() == 3 && !std::exchange(unplugged, true))
            QTimer::singleShot(0, [this] { sim.host->unplug(); });
    });
    EXPECT_EQ(run({forReader(40)}),
              QStringList{QStringLiteral("error: ") + errorMessage(LinkError::portLost())});
    EXPECT_TRUE(dialogs.progressAtError.value(0).endsWith(QStringLiteral(" из 40"))) << qPrintable(dialogs.progressAtError.value(0));
    EXPECT_FALSE(tool->session.inLoader());
    sim.model->clearCommandsReceived();
    ASSERT_TRUE(sim.host->plug());
    ASSERT_TRUE(waitUntil([&] { return tool->session.inLoader(); }));

    startTool(); // the tool ends and starts again
    ASSERT_TRUE(waitUntil([&] { return tool->session.inLoader(); }));
    EXPECT_TRUE(child<QLabel>(tool->page, "loaderNote")->isVisibleTo(&tool->page));
    EXPECT_EQ(tool->session.serial(), QStringLiteral("A102-0A1B2C3D"));
    waitUntil([] { return false; }, 3 * tool->timings.scan);
    EXPECT_TRUE(sim.commands().isEmpty());
    EXPECT_EQ(run({forReader(40)}), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(40)));
}

// The tool ends (as if killed) while the update runs, and starts again. A
// loader that may hold part of an image and was not restarted since is not
// trusted to start at the first block: the run asks for the reader to be
// plugged in again and sends nothing before. A loader known to start afresh
// (the tool ended before any block went, or the reader was plugged in again
// since) is finished at once. Either way the loader ends with the image
// exactly.
TEST_F(UpdateTest, ALoaderLeftHalfFedIsPluggedInAgainBeforeEveryBlockGoesFromTheFirst)
{
    const struct {
        const char *when;
        int endAtBlock;    // -1: in the restart's pause, before any block
        bool replugged;    // plugged in again before the tool starts again
        bool asksToReplug;
    } cases[] = {
        {"during the upload", 7, false, true},
        {"during the upload, then plugged in again", 7, true, false},
        {"in the restart's pause", -1, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.when);
        // A loader left half-fed stays so (idle, it would start a partial firmware).
        sim.model->setLoaderIdleMs(60000);
        sim.model->injectFault(sim::Fault::Delay, 20); // slow enough to be cut off in the middle
        connectReader();
        start(file(buildImage({forReader(30)})));
        if (c.endAtBlock < 0)
            ASSERT_TRUE(waitUntil([&] { return tool->update.stage() == FirmwareUpdate::Stage::Restarting; }));
        else
            ASSERT_TRUE(waitUntil([&] {
                return sim.model->mode() == sim::ReaderModel::Mode::Loader && sim.model->blocksTaken() >= c.endAtBlock;
            }));
        startTool(); // the tool ends and starts again
        --runs;      // the run it cut off never ends
        if (c.replugged) {
            sim.host->unplug();
            ASSERT_TRUE(sim.host->plug());
        }
        ASSERT_TRUE(waitUntil([&] { return tool->session.inLoader(); }));

        sim.model->setLoaderIdleMs(300);
        sim.model->injectFault(sim::Fault::Delay, 0);
        ASSERT_LT(sim.model->blocksTaken(), 30);
        bool asked = false;
        QObject thisRun; // the connection ends with the locals it reads
        QObject::connect(&tool->update, &ReaderOperation::changed, &thisRun,
                         [&] { asked |= tool->update.awaitingReplug(); });
        const qsizetype sentBefore = sim.model->loaderBlocks().size();
        dialogs.shown.clear();
        start(file(buildImage({forReader(30)})));
        if (c.asksToReplug) {
            ASSERT_TRUE(waitUntil([&] { return tool->update.awaitingReplug(); }));
            EXPECT_EQ(sim.model->loaderBlocks().size(), sentBefore); // nothing went to the half-fed loader
            replugWhenAsked();
        }
        ASSERT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 8000));
        EXPECT_EQ(asked, c.asksToReplug);
        EXPECT_EQ(dialogs.shown, QStringList{kDone});
        EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(30)));
        EXPECT_EQ(sim.model->uploadedCrc(), sectionCrc(sectionData(forReader(30))));
        EXPECT_TRUE(tool->loaders.entries().isEmpty());
    }
}

// Done means: the reader has restarted into its new firmware, identified
// itself and told its version, which the message shows; until then nothing
// but the blocks went to the loader. The bar stands full when the message
// appears.
TEST_F(UpdateTest, TheUpdateIsDoneOnceTheReaderIsBackAndHasToldItsNewVersion)
{
    connectReader();
    QObject::connect(sim.model.get(), &sim::ReaderModel::switchedToLoader, [this] {
        sim.model->setFirmwareItems(QByteArray::fromHex("100302010A" "120401000003"));
    });
    bool endedAtTheLoader = true;
    QObject::connect(&tool->update, &ReaderOperation::ended,
                     [&] { endedAtTheLoader = sim.model->mode() == sim::ReaderModel::Mode::Loader; });
    EXPECT_EQ(run({forReader(9)}),
              QStringList{QStringLiteral("message: Обновление успешно завершено!\r\nВерсия микропрограммы: 2.1.10")});
    EXPECT_FALSE(endedAtTheLoader);
    EXPECT_EQ(tool->update.version(), QStringLiteral("2.1.10"));
    EXPECT_EQ(sim.model->loaderBlocks().size(), 9);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(9)));
    EXPECT_EQ(commands(), kIdentifyAndSwitch + kBack);
    EXPECT_EQ(dialogs.progressAtMessage, QStringList{QStringLiteral("9/9")});
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_TRUE(tool->loaders.entries().isEmpty());
}

// A USB device can take seconds to come back: the loader's port is tried
// again after the pause, for a while, before the reopening fails.
TEST_F(UpdateTest, ALoaderThatComesBackLateIsWaitedFor)
{
    connectReader();
    sim.host->restartDelayMs = tool->timings.loaderStart + 1000;
    ASSERT_LT(sim.host->restartDelayMs, tool->timings.loaderStart + tool->timings.loaderReopen);
    EXPECT_EQ(run({forReader(9)}), QStringList{kDone});
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(9)));
}

// Where the mark of a reader left in its loader cannot be written, nothing
// is done that could leave it there: the reader is not switched.
TEST_F(UpdateTest, AnUpdateWhoseRecoveryCannotBeRecordedDoesNotStart)
{
    connectReader();
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("loaders")))); // a folder where the list should be
    const QStringList shown = run({forReader(9)});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("error: Обновление не начато: не удалось записать"))) << qPrintable(shown[0]);
    EXPECT_EQ(commands(), QStringList{QStringLiteral("FF01")});
    EXPECT_TRUE(sim.model->loaderBlocks().isEmpty());
    EXPECT_TRUE(tool->session.isConnected());
    EXPECT_EQ(tool->update.failure(), FirmwareUpdate::Failure::CannotRecord);
}

// A port marked as a loader where a reader runs its firmware (another reader
// plugged in there, or the loader finished elsewhere): once it answers as a
// reader (a card it reports, or the identification asked of a loader that
// answers no block) its mark goes and it is updated as any reader.
TEST_F(UpdateTest, AMarkedPortThatAnswersAsAReaderIsUpdatedAsAReader)
{
    for (const bool fed : {true, false}) {
        SCOPED_TRACE(fed ? "marked as fed: a card tells" : "marked as switching: the identification tells");
        connectReader();
        ASSERT_TRUE((tool->loaders.remember({sim.port(), QString(), sim.model->deviceIdentity(),
                                             QStringLiteral("A102-0A1B2C3D"),
                                             fed ? LoaderRegistry::Entry::State::Fed : LoaderRegistry::Entry::State::Switching,
                                             portInstance(sim.port())})));
        startTool();
        ASSERT_TRUE(waitUntil([&] { return tool->session.inLoader(); }));
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
        start(file(buildImage({forReader(9)})));
        if (fed) {
            ASSERT_TRUE(waitUntil([&] { return tool->update.awaitingReplug(); }));
            sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3"));
        }
        ASSERT_TRUE(waitUntil([&] { return finishedRuns == runs; }, 8000));
        EXPECT_EQ(dialogs.shown, QStringList{kDone});
        EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(9)));
        EXPECT_EQ(commands(), kIdentifyAndSwitch + kBack);
        EXPECT_TRUE(tool->loaders.entries().isEmpty());
    }
}

TEST_F(UpdateTest, VersionQuery)
{
    connectReader();
    const struct {
        QString items;
        QString shown; // empty: nothing shown
    } cases[] = {
        {QStringLiteral("1003010200120401000003"),
         QStringLiteral("information: : Версия микропрограммы: 1.2.0\r\nВерсия загрузчика: 3.0.0.1")},
        {QStringLiteral("100301020A12021234"),
         QStringLiteral("information: : Версия микропрограммы: 1.2.10\r\nВерсия загрузчика: 1234")},
        {QStringLiteral("1003000000"), QStringLiteral("information: : Версия микропрограммы: 0.0.0\r\nВерсия загрузчика: ")},
        {QStringLiteral("10020102"), QString()},
    };
    for (const auto &c : cases) {
        sim.model->setFirmwareItems(hexToBytes(c.items));
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
        child<QPushButton>(tool->page, "versionButton")->click();
        ASSERT_TRUE(waitUntil([&] { return !tool->version.running(); }));
        waitUntil([] { return false; }, 20);
        EXPECT_EQ(dialogs.shown, c.shown.isEmpty() ? QStringList() : QStringList{c.shown});
        EXPECT_EQ(commands(), QStringList{QStringLiteral("0A01")});
    }
    for (const bool silent : {false, true}) {
        sim.model->clearFaults();
        if (silent)
            sim.model->injectFault(sim::Fault::Silent);
        else
            sim.model->refuse(0x0A, 0x01);
        dialogs.shown.clear();
        sim.model->clearCommandsReceived();
        child<QPushButton>(tool->page, "versionButton")->click();
        ASSERT_TRUE(waitUntil([&] { return !tool->version.running(); }, 3000));
        waitUntil([] { return false; }, 20);
        EXPECT_EQ(dialogs.shown, QStringList{silent ? QStringLiteral("error: Ошибка: Превышено время ожидания ответа.")
                                                    : QStringLiteral("error: Ошибка: Ошибочная команда.")});
        EXPECT_EQ(commands(), (QStringList{QStringLiteral("0A01"), QStringLiteral("0501")}));
    }
}
