// limra-cli's run inside the test process, with shortened timings: the
// waits that take a real reader seconds (the master card not presented), the
// progress bar on a terminal, and an end asked for during a card wait.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "cli/commandline.h"
#include "cli/configview.h"
#include "cli/console.h"
#include "cli/runner.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "platform/qtserialport.h"
#include "tests/support/fakeports.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

class RunnerTest : public ::testing::Test {
protected:
    RunnerTest()
    {
        ports.virtuals = {sim.port()};
        // After a whole upload the reader soon restarts into its new firmware
        // (not so soon that a loaded machine's pause looks like the end).
        sim.model->setLoaderIdleMs(300);
    }

    // Runs the command line until the run ends; false when it does not.
    bool runLine(const QStringList &args, bool terminal, const std::function<void(cli::Runner &)> &meanwhile = {})
    {
        const cli::ParsedCommandLine parsed = cli::parseCommandLine(args);
        EXPECT_TRUE(parsed.problem.isEmpty()) << qPrintable(parsed.problem);
        cli::Console console([this](const QByteArray &b) { out += b; }, [this](const QByteArray &b) { err += b; },
                             terminal);
        ReaderStation::Platform platform;
        platform.ports = &ports;
        platform.portFactory = [] { return std::make_unique<QtSerialPort>(); };
        platform.dataFolder = data.path();
        cli::Runner runner(parsed.options, platform, Timings().shortened(10), console);
        QSignalSpy finished(&runner, &cli::Runner::finished);
        runner.start();
        if (meanwhile)
            meanwhile(runner);
        if (!waitUntil([&] { return finished.count() > 0; }, 20000))
            return false;
        exit = finished.first().first().toInt();
        return true;
    }
    QString writeFile(ReadMode readMode)
    {
        ReaderConfig config;
        config.readMode = readMode;
        config.formats = readMode == ReadMode::Uid ? 0x0067 : 0x0010;
        const QString path = data.filePath(QStringLiteral("wanted.rcf"));
        EXPECT_TRUE(saveConfigFile(path, encodeConfig(config, ConfigPlace::File, ReaderKind::Usb)));
        return path;
    }
    QString errText() const { return QString::fromUtf8(err); }

    // Registered under a name: it restarts like a USB device.
    SimReader sim{QStringLiteral("runner%1").arg(QCoreApplication::applicationPid())};
    FakePortEnumerator ports;
    QTemporaryDir data;
    QByteArray out;
    QByteArray err;
    int exit = -1;
};

} // namespace

TEST_F(RunnerTest, AMasterCardNotPresentedInTimeFailsWithTheWindowsText)
{
    ASSERT_TRUE(runLine({QStringLiteral("write-config"), writeFile(ReadMode::PassZones)}, true));
    EXPECT_EQ(exit, cli::kFailed);
    EXPECT_TRUE(errText().contains(QStringLiteral("Поднесите мастер-карту с кодом объекта к USB-считывателю (15 s)")))
        << qPrintable(errText());
    // On a terminal the time left counts down, with the card wait's words.
    EXPECT_TRUE(errText().contains(QStringLiteral("Времени осталось: 14")));
    EXPECT_TRUE(errText().endsWith(QStringLiteral("limra-cli: Код объекта не записан в USB-считыватель.\n")))
        << qPrintable(errText());
    // The configuration is written all the same, and the earlier one kept: both are said.
    EXPECT_TRUE(errText().contains(QStringLiteral("the configuration was written into the reader, without the object "
                                                  "code; the configuration the reader held is kept in ")
                                   + data.path()))
        << qPrintable(errText());
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(sim.commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(RunnerTest, AnEndAskedForDuringACardWaitPutsTheReaderBackToCardReading)
{
    ASSERT_TRUE(runLine({QStringLiteral("write-config"), writeFile(ReadMode::ObjectCode)}, false, [this](cli::Runner &runner) {
        ASSERT_TRUE(waitUntil([this] { return sim.model->mode() == sim::ReaderModel::Mode::ObjectCode; }));
        runner.terminate();
    }));
    EXPECT_EQ(exit, cli::kInterrupted);
    EXPECT_EQ(sim.commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(RunnerTest, OnATerminalTheUpdateDrawsABarThatIsGoneAtTheEnd)
{
    const QString path = data.filePath(QStringLiteral("firmware.hfw"));
    QFile image(path);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(buildImage({forReader(30)}));
    image.close();
    ASSERT_TRUE(runLine({QStringLiteral("update"), path}, true));
    EXPECT_EQ(exit, cli::kDone) << qPrintable(errText());
    EXPECT_EQ(out, QByteArray("Обновление успешно завершено!\nВерсия микропрограммы: 1.2.0\n"));
    EXPECT_TRUE(errText().contains(QStringLiteral("\r\x1b[K[####################] 100%  30/30 blocks")))
        << qPrintable(errText());
    EXPECT_TRUE(errText().endsWith(QStringLiteral("\r\x1b[K")));
    EXPECT_FALSE(errText().contains(QStringLiteral(" of 30 blocks"))); // no plain lines on a terminal
}

TEST(ConfigView, ZonesAreShownAsRanges)
{
    struct Case {
        std::vector<int> zones;
        const char *shown;
    };
    const Case cases[] = {
        {{}, "none"},
        {{1}, "1"},
        {{1, 2, 3, 64}, "1-3, 64"},
        {{2, 4, 5, 6, 63, 64}, "2, 4-6, 63-64"},
    };
    for (const Case &c : cases) {
        std::array<bool, 64> zones{};
        for (int z : c.zones)
            zones[size_t(z - 1)] = true;
        EXPECT_EQ(cli::zoneRanges(zones), QString::fromLatin1(c.shown));
    }
}
