// The reader core as the window and the command line use it: a station on
// the simulated reader, no widgets and no GUI application, with shortened
// timings. Every workflow runs through it and is judged by its typed result
// and the commands the reader received.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "firmware/versionquery.h"
#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"
#include "station/station.h"
#include "config/backups.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "config/readerconfig.h"
#include "config/transfer.h"
#include "display/cardlog.h"
#include "link/discovery.h"
#include "link/loaders.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "platform/qtserialport.h"
#include "provisioning/mastercards.h"
#include "provisioning/masterconfig.h"
#include "provisioning/securecards.h"
#include "tests/support/configitems.h"
#include "tests/support/fakeports.h"
#include "tests/support/headlesswaits.h"
#include "tests/support/requests.h"
#include "tests/support/simreader.h"
#include "tests/support/stationplatform.h"

using namespace limra;
using namespace limra::testing;

namespace {

class StationTest : public ::testing::Test {
protected:
    StationTest()
    {
        user.watch(station);
        ports.virtuals = {sim.port()};
    }
    // Discovery finds the reader; the configuration read that follows ends.
    void connectReader()
    {
        station.discovery().portsChanged();
        station.discovery().scanOnce();
        ASSERT_TRUE(waitUntil([this] { return station.session().isConnected() && !station.busy(); }));
        deliverPosted(); // the read's end is told from the event loop
    }
    QStringList commands() const { return sim.commands(); }
    QStringList keptFiles() const
    {
        return QDir(data.filePath(QStringLiteral("configurations"))).entryList({QStringLiteral("*.rcf")}, QDir::Files);
    }
    ConfigItems items(ReadMode readMode) const
    {
        ReaderConfig config;
        config.readMode = readMode;
        return encodeConfig(config, ConfigPlace::Reader, ReaderKind::Usb);
    }

    // Under a name of its own, like a USB reader's link: a terminal made
    // anew after an unplug may get another number.
    SimReader sim{QStringLiteral("station")};
    FakePortEnumerator ports;
    QTemporaryDir data;
    ReaderStation station{stationPlatform(ports, data.path()), Timings().shortened(10)};
    CardWaitUser user;
};

} // namespace

TEST_F(StationTest, AReaderFoundIsIdentifiedPutBackToReadingAndItsConfigurationRead)
{
    QSignalSpy reading(&station, &ReaderStation::readingAfterConnecting);
    std::optional<ConfigRead::Result> read;
    QObject::connect(&station, &ReaderStation::readingAfterConnecting, [&](ConfigRead *run) {
        QObject::connect(run, &ConfigRead::finished, [&](const ConfigRead::Result &result) { read = result; });
    });
    connectReader();
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01")}));
    EXPECT_EQ(reading.count(), 1);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->status, ReaderOperation::Status::Done);
    EXPECT_TRUE(read->items.toBytes().startsWith(sim.model->configItems()));
    EXPECT_EQ(station.session().serial(), QStringLiteral("A102-0A1B2C3D"));
}

// Each start makes a new run, whose result stays as it ended while later
// runs go on; the station deletes a run once its end has been told.
TEST_F(StationTest, EachRunIsANewObjectWhoseResultNeverChangesAndTheStationDeletesIt)
{
    connectReader();
    QPointer<ConfigRead> first = station.readConfig();
    ASSERT_TRUE(first);
    const ConfigRead::Result firstResult = endOf(first.data());
    EXPECT_EQ(firstResult.status, ReaderOperation::Status::Done);
    sim.model->refuse(0x0B, 0x01);
    ConfigRead *second = station.readConfig();
    EXPECT_NE(second, first.data());
    const ConfigRead::Result secondResult = endOf(second);
    EXPECT_EQ(secondResult.status, ReaderOperation::Status::Failed);
    EXPECT_EQ(secondResult.failure, ConfigRead::Failure::Refused);
    EXPECT_TRUE(firstResult.items.toBytes().startsWith(sim.model->configItems()));
    EXPECT_TRUE(waitUntil([&] { return first.isNull(); })) << "an ended run stays";
}

// The station tells one typed status at each change: what the status bar
// and limra-cli draw.
TEST_F(StationTest, TheStatusTellsTheReaderFoundAndGone)
{
    QList<StationStatus> told;
    QObject::connect(&station, &ReaderStation::statusChanged,
                     [&](const StationStatus &status) { told << status; });
    connectReader();
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.last().state, StationStatus::State::Connected);
    EXPECT_EQ(told.last().port, sim.port());
    EXPECT_EQ(told.last().serial, QStringLiteral("A102-0A1B2C3D"));
    EXPECT_FALSE(told.last().ble);
    EXPECT_EQ(station.status().state, StationStatus::State::Connected);
    sim.host->unplug();
    ASSERT_TRUE(waitUntil([&] { return told.last().state == StationStatus::State::Searching; }));
    EXPECT_TRUE(told.last().port.isEmpty());
}

TEST_F(StationTest, OneOperationRunsAtATime)
{
    connectReader();
    sim.model->injectFault(sim::Fault::Delay, 30);
    QSignalSpy busy(&station, &ReaderStation::busyChanged);
    FirmwareVersionQuery *query = station.queryVersion();
    ASSERT_TRUE(query);
    EXPECT_TRUE(station.busy());
    bool watched = false;
    EXPECT_EQ(station.readConfig([&](ConfigRead &) { watched = true; }), nullptr);
    EXPECT_FALSE(watched);
    const FirmwareVersionQuery::Result version = endOf(query);
    EXPECT_FALSE(station.busy());
    EXPECT_EQ(busy.count(), 2);
    EXPECT_EQ(version.report,
              Report::information(QStringLiteral("Версия микропрограммы: 1.2.0\r\nВерсия загрузчика: 3.0.0.1")));
    EXPECT_EQ(version.firmware, QStringLiteral("1.2.0"));
}

TEST_F(StationTest, AWriteKeepsTheReadersConfigurationThenWritesWhatTheUserSaw)
{
    connectReader();
    sim.model->clearCommandsReceived();
    const QByteArray before = sim.model->configItems();
    const ConfigItems wanted = items(ReadMode::BlockCode);
    EXPECT_EQ(endOf(station.writeConfig(wanted, false)).report, Report::message(QStringLiteral("Выполнено")));
    EXPECT_EQ(commands(), (QStringList{QStringLiteral("0B01"), QStringLiteral("0101") + hexOf(wanted), QStringLiteral("0501")}));
    ASSERT_EQ(keptFiles().size(), 1);
    EXPECT_TRUE(keptFiles()[0].startsWith(QStringLiteral("A102-0A1B2C3D_")));
    const auto kept = loadConfigFile(data.filePath(QStringLiteral("configurations/")) + keptFiles()[0]);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->toBytes().startsWith(before));
}

TEST_F(StationTest, AWriteInAProtectedModeWaitsForTheMasterCardWithTheObjectCode)
{
    connectReader();
    sim.model->clearCommandsReceived();
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(); };
    EXPECT_EQ(endOf(station.writeConfig(items(ReadMode::ObjectCode), true)).status, ReaderOperation::Status::Done);
    EXPECT_EQ(user.captions, QStringList{QStringLiteral("Чтение кода объекта")});
    EXPECT_EQ(commands().last(), QStringLiteral("0501"));

    user.onOpen = [](CardWait &) {}; // no master card this time
    const ConfigWrite::Result notTaken = endOf(station.writeConfig(items(ReadMode::ObjectCode), true));
    EXPECT_EQ(notTaken.report, Report::error(QStringLiteral("Код объекта не записан в USB-считыватель.")));
    EXPECT_EQ(notTaken.failure, ConfigWrite::Failure::ObjectCodeNotTaken);
    EXPECT_EQ(commands().last(), QStringLiteral("0501"));
}

// The reader unplugged while the object-code wait counts down: the wait has
// ended by the time the write's end is told, so the one message shows over
// nothing that still counts.
TEST_F(StationTest, AReaderLostDuringTheObjectCodeWaitEndsTheWaitBeforeTheWriteIsTold)
{
    connectReader();
    CardWait *shown = nullptr;
    user.onOpen = [&](CardWait &wait) {
        shown = &wait;
        // Unplugged once the wait has counted a tick down.
        QObject::connect(&wait, &CardWait::changed, &wait, [this] { sim.host->unplug(); }, Qt::SingleShotConnection);
    };
    std::optional<bool> openWhenTold;
    int ticksAfter = 0;
    QObject thisTest; // the connections end with the locals they read
    ConfigWrite *write = station.writeConfig(items(ReadMode::ObjectCode), true, [&](ConfigWrite &run) {
        QObject::connect(&run, &ConfigWrite::finished, &thisTest, [&] {
            openWhenTold = shown && shown->isOpen();
            if (shown)
                QObject::connect(shown, &CardWait::changed, &thisTest, [&] { ++ticksAfter; });
        });
    });
    EXPECT_EQ(endOf(write).status, ReaderOperation::Status::ReaderLost);
    ASSERT_TRUE(openWhenTold.has_value());
    EXPECT_FALSE(*openWhenTold) << "the wait still counted when the write's end was told";
    ASSERT_TRUE(waitPastTimer(5 * station.timings().cardTick)); // ticks would have come by now
    EXPECT_EQ(ticksAfter, 0);
}

TEST_F(StationTest, AReaderThatLeavesDuringAWriteNeverGetsAnOldConfigurationAndNothingIsCalledDone)
{
    connectReader();
    const QString held = bytesToHex(sim.model->configItems());
    sim.model->clearCommandsReceived();
    // The reader drops the reply to the kept-copy read and goes away once it
    // has it; it comes back as soon as the tool has lost its port.
    sim.model->injectFault(sim::Fault::Silent);
    QTimer script;
    int step = 0;
    QObject::connect(&script, &QTimer::timeout, [&] {
        if (step == 0 && !commands().isEmpty()) {
            sim.host->unplug();
            step = 1;
        } else if (step == 1 && !station.session().hasPort()) {
            sim.model->clearFault(sim::Fault::Silent);
            sim.host->plug();
            station.discovery().portsChanged();
            step = 2;
            script.stop();
        }
    });
    script.start(5);
    station.discovery().start();
    const ConfigWrite::Result write = endOf(station.writeConfig(items(ReadMode::Uid), false));
    EXPECT_EQ(write.status, ReaderOperation::Status::ReaderLost);
    EXPECT_EQ(write.report, Report::error(QStringLiteral("Ошибка: Считыватель отключён.")));
    ASSERT_TRUE(waitUntil([this] { return station.session().isConnected() && !station.busy(); }));
    // No write at all: the old configuration never went back in as a new one.
    for (const QString &c : commands())
        EXPECT_FALSE(c.startsWith(QStringLiteral("0101"))) << qPrintable(c);
    EXPECT_EQ(bytesToHex(sim.model->configItems()), held);
}

TEST_F(StationTest, EndingTheProgramDuringACardWaitPutsTheReaderBackToReadingFirst)
{
    connectReader();
    sim.model->clearCommandsReceived();
    user.onOpen = [](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(3); };
    ASSERT_TRUE(station.createMasterCards(itemsOf(QStringLiteral("060100")), QString(), false));
    ASSERT_TRUE(waitUntil([this] { return commands().size() == 2; })); // writing started
    bool done = false;
    station.shutDown([&] { done = true; });
    EXPECT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
    EXPECT_EQ(station.readConfig(), nullptr); // nothing starts any more
}

TEST_F(StationTest, AReaderLostDuringACardWaitEndsItWithTheReason)
{
    connectReader();
    bool waitClosed = false;
    user.onOpen = [&](CardWait &wait) {
        QObject::connect(&wait, &CardWait::ended, [&] { waitClosed = true; });
        sim.unplugOnceClearing(&wait);
    };
    EXPECT_EQ(endOf(station.clearMasterCards()).status, ReaderOperation::Status::ReaderLost);
    EXPECT_TRUE(waitClosed);
}

TEST_F(StationTest, NoAutomaticReadWhileAnOperationRuns)
{
    // The user has started something when the reader identifies itself.
    station.discovery().portsChanged();
    QSignalSpy reading(&station, &ReaderStation::readingAfterConnecting);
    QObject::connect(&station.session(), &ReaderSession::connected,
                     [this] { station.sendDebugCommand(hexBytes("0A01")); });
    station.discovery().scanOnce();
    ASSERT_TRUE(waitUntil([this] { return station.session().isConnected() && !station.busy(); }));
    deliverPosted(); // a read after connecting would have started by now, and kept the station busy
    EXPECT_EQ(reading.count(), 0);
    EXPECT_EQ(commands().count(QStringLiteral("0B01")), 0);
}

TEST_F(StationTest, EveryWorkflowOfTheCoreRunsWithoutAWindow)
{
    connectReader();
    // Configuration read by the user.
    EXPECT_EQ(endOf(station.readConfig()).status, ReaderOperation::Status::Done);
    // Master cards: two written, read back, cleared.
    int presented = 0;
    user.onOpen = [](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(2); };
    user.onChange = [&](CardWait &wait) {
        auto &writing = static_cast<MasterCardWriting &>(wait);
        if (writing.page() == MasterCardWriting::Page::Progress && presented == writing.written()) {
            ++presented;
            sim.model->presentBlank();
        }
    };
    EXPECT_EQ(endOf(station.createMasterCards(items(ReadMode::Uid), QString(), false)).written, 2);
    user.onChange = [](CardWait &) {};
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(1); };
    EXPECT_EQ(itemHex(endOf(station.readMasterConfig()).items, tag::SetPlace), QStringLiteral("0102"));
    EXPECT_EQ(endOf(station.takeOverMasterConfig()).status, ReaderOperation::Status::Done);
    user.onOpen = [](CardWait &wait) { static_cast<ClearingWait &>(wait).finishByUser(); };
    EXPECT_EQ(endOf(station.clearMasterCards()).status, ReaderOperation::Status::Done);
    // Secure cards: the mode, then clearing all.
    EXPECT_EQ(endOf(station.querySecureMode()).mode, SecureMode::Normal);
    EXPECT_EQ(endOf(station.runSecureCards(SecureCardsRun::Kind::ClearAll, SecureMode::ObjectCode, {})).status,
              ReaderOperation::Status::Done);
    // The debug terminal's free command.
    EXPECT_EQ(endOf(station.sendDebugCommand(hexBytes("0A01"))).report, Report::message(QStringLiteral("Выполнено")));
    EXPECT_EQ(commands().last(), QStringLiteral("0A01"));
}

TEST_F(StationTest, EndingTheProgramWhileTheStartOfACardOperationIsOnItsWayStillPutsTheReaderBack)
{
    connectReader();
    sim.model->clearCommandsReceived();
    sim.model->injectFault(sim::Fault::Delay, 50); // the reader takes the start, its answer is late
    user.onOpen = [](CardWait &wait) { static_cast<MasterCardWriting &>(wait).chooseCount(1); };
    ASSERT_TRUE(station.createMasterCards(itemsOf(QStringLiteral("060100")), QString(), false));
    ASSERT_TRUE(waitUntil([this] { return commands().size() == 2; })); // the start has reached the reader
    bool done = false;
    station.shutDown([&] { done = true; });
    EXPECT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(StationTest, AReaderInItsLoaderGetsNoCommandAndOneThatReadsCardsIsAReaderAgain)
{
    ASSERT_TRUE((station.loaders().remember(
        {sim.port(), QString(), sim.model->deviceIdentity(), QStringLiteral("A102-0A1B2C3D")})));
    station.discovery().portsChanged();
    station.discovery().scanOnce();
    ASSERT_TRUE(waitUntil([this] { return station.session().inLoader(); }));
    EXPECT_EQ(station.status().state, StationStatus::State::InLoader);
    EXPECT_EQ(station.status().port, sim.port());
    EXPECT_EQ(station.status().serial, QStringLiteral("A102-0A1B2C3D"));
    EXPECT_EQ(station.queryVersion(), nullptr);
    EXPECT_EQ(station.sendDebugCommand(hexBytes("0A01")), nullptr);
    EXPECT_TRUE(commands().isEmpty());
    // The reader restarted with its firmware after all: it reports a card.
    sim.model->presentCard(IdKind::Uid, QStringLiteral("0102"));
    ASSERT_TRUE(waitUntil([this] { return station.session().isConnected() && !station.busy(); }));
    EXPECT_FALSE(station.loaders().find(sim.port(), QString()).has_value());
    EXPECT_EQ(commands().mid(0, 2), (QStringList{QStringLiteral("FF01"), QStringLiteral("0501")}));
}

TEST(StationsOfOneProgram, ShareTheReadersLeftInTheirLoader)
{
    // The command line runs a station per reader: a reader one of them left
    // in its loader is known to all of them at once, never written over.
    SimReader sim;
    FakePortEnumerator ports;
    ports.virtuals = {sim.port()};
    LoaderRegistry shared; // in memory: only the stations' own object can tell them
    ReaderStation::Platform platform = stationPlatform(ports, QString());
    platform.loaders = &shared;
    ReaderStation first(platform, Timings().shortened(10));
    ReaderStation second(platform, Timings().shortened(10));
    EXPECT_EQ(&first.loaders(), &shared);
    ASSERT_TRUE(
        (first.loaders().remember({sim.port(), QString(), QStringLiteral("02A11701"), QStringLiteral("A102-0A1B2C3D")})));
    second.discovery().portsChanged();
    second.discovery().scanOnce();
    ASSERT_TRUE(waitUntil([&] { return second.session().inLoader(); }));
    EXPECT_EQ(second.session().serial(), QStringLiteral("A102-0A1B2C3D"));
    EXPECT_TRUE(sim.commands().isEmpty()); // nothing framed went into the loader
}

// What the tool makes on its own holds the reader's keys, the cards read and
// the readers' serial numbers: the owner's only (files 0600, folders 0700)
// whatever the umask, and a data folder from before is tightened.
TEST(StationFiles, AreTheOwnersOnlyWhateverTheUmask)
{
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("limra-rfid"));
    ASSERT_TRUE(QDir().mkpath(data));
    ASSERT_EQ(::chmod(QFile::encodeName(data).constData(), 0755), 0);
    const mode_t savedMask = ::umask(0);
    {
        SimReader sim;
        FakePortEnumerator ports;
        ports.virtuals = {sim.port()};
        ReaderStation station{stationPlatform(ports, data), Timings().shortened(10)};
        station.discovery().portsChanged();
        station.discovery().scanOnce();
        ASSERT_TRUE(waitUntil([&] { return station.session().isConnected() && !station.busy(); }));
        // The reader's configuration is kept first.
        ASSERT_EQ(endOf(station.writeConfig(ConfigItems::parse(sim.model->configItems()), false)).status, ReaderOperation::Status::Done);
        ASSERT_TRUE((station.loaders().remember(LoaderRegistry::Entry{QStringLiteral("/dev/ttyACM9"), QString(),
                                                                      QStringLiteral("01020304"), QStringLiteral("0A1B2C3D")})));
        ASSERT_TRUE(station.cardLog().startFile(data + QStringLiteral("/cards.csv")));
        station.cardLog().addRead(QStringLiteral("04A1B2C3D4E5F6"), QStringLiteral("04A1B2C3D4E5F6"), IdKind::Uid);
        station.cardLog().stopFile();
    }
    ::umask(savedMask);
    auto modeOf = [](const QString &path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : mode_t(0);
    };
    const QString kept = data + QStringLiteral("/configurations");
    const QStringList copies = QDir(kept).entryList({QStringLiteral("*.rcf")}, QDir::Files);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(modeOf(data), mode_t(0700));
    EXPECT_EQ(modeOf(kept), mode_t(0700));
    EXPECT_EQ(modeOf(kept + QLatin1Char('/') + copies[0]), mode_t(0600));
    EXPECT_EQ(modeOf(data + QStringLiteral("/loaders")), mode_t(0600));
    EXPECT_EQ(modeOf(data + QStringLiteral("/cards.csv")), mode_t(0600));
}
