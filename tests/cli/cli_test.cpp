// limra-cli as a program: run against simulated readers served on
// pseudo-terminals by this test (registered as virtual readers in a runtime
// folder of the test's own), judged by its exit status, its standard output
// (JSON parsed) and standard error, and what the readers received.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QSet>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <iostream>
#include <memory>
#include <vector>

#include "common/texts.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "config/readerconfig.h"
#include "platform/qtserialport.h"
#include "tests/support/configitems.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kNotFound = 3, kBadFile = 4;

// What one run of the program gave.
struct Outcome {
    int exit = -1;
    QString out;        // standard output as text
    QByteArray outBytes; // standard output as it came (a configuration file's bytes, say)
    QString err;

    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    // Every line of standard output as a JSON object.
    QList<QJsonObject> objects() const
    {
        QList<QJsonObject> parsed;
        for (const QString &line : lines()) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_TRUE(doc.isObject()) << qPrintable(line) << " " << qPrintable(error.errorString());
            parsed << doc.object();
        }
        return parsed;
    }
};

// The program running; the test's event loop serves the simulated readers meanwhile.
class Cli {
public:
    Cli(const QProcessEnvironment &env, const QStringList &args)
    {
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { readOutput(); });
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_run.err += QString::fromUtf8(m_process.readAllStandardError()); });
        m_process.start(QStringLiteral(LIMRA_CLI), args);
        EXPECT_TRUE(m_process.waitForStarted(5000));
    }
    ~Cli()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    // Standard error has said this.
    bool says(const QString &text, int ms = 10000)
    {
        return waitUntil([&] { return m_run.err.contains(text); }, ms);
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    // The reader of its output goes away (a pipe into head that has ended).
    void closeOutput()
    {
        m_process.closeReadChannel(QProcess::StandardOutput);
        m_process.closeReadChannel(QProcess::StandardError);
    }
    // Standard input: these bytes, then its end.
    void input(const QByteArray &bytes)
    {
        m_process.write(bytes);
        m_process.closeWriteChannel();
    }
    qint64 pid() const { return m_process.processId(); }
    // Decoded whole, so that a character cut between two reads stays one.
    void readOutput()
    {
        m_run.outBytes += m_process.readAllStandardOutput();
        m_run.out = QString::fromUtf8(m_run.outBytes);
    }
    Outcome finish(int ms = 30000)
    {
        const bool ended = waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, ms);
        EXPECT_TRUE(ended) << "still running; standard error: " << qPrintable(m_run.err);
        readOutput();
        m_run.err += QString::fromUtf8(m_process.readAllStandardError());
        if (ended)
            m_run.exit = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
        return m_run;
    }
    const Outcome &sofar() const { return m_run; }

private:
    QProcess m_process;
    Outcome m_run;
};

class CliTest : public ::testing::Test {
protected:
    CliTest()
    {
        // The simulated readers register in the runtime folder of this test.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("HOME"), home.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }

    // Simulated reader number i (sim0, sim1, ...), each with a serial number of its own.
    SimReader &reader(int i = 0)
    {
        while (int(sims.size()) <= i) {
            const int n = int(sims.size());
            sims.push_back(std::make_unique<SimReader>(QStringLiteral("sim%1").arg(n)));
            sims.back()->model->setSerial(hexToBytes(QStringLiteral("0A1B2C%1").arg(n + 10, 2, 10, QLatin1Char('0'))));
            // After a whole upload the reader restarts into its new firmware
            // within a second: limra-cli runs apart from the simulated reader,
            // and a loaded machine may hold it up for a few hundred ms.
            sims.back()->model->setLoaderIdleMs(1000);
            EXPECT_TRUE(sims.back()->plugged) << qPrintable(sims.back()->error);
        }
        return *sims[size_t(i)];
    }
    QString serialOf(int i) { return QStringLiteral("A102-") + bytesToHex(reader(i).model->serial()); }

    Outcome run(const QStringList &args, int ms = 30000)
    {
        Cli cli(env, args);
        return cli.finish(ms);
    }
    QString file(const QString &name) const { return work.filePath(name); }
    // A configuration file the window would save for this configuration.
    QString configFile(const ReaderConfig &config, const QString &name = QStringLiteral("config.rcf"))
    {
        const QString path = file(name);
        EXPECT_TRUE(saveConfigFile(path, encodeConfig(config, ConfigPlace::File, ReaderKind::Usb)));
        return path;
    }
    QString image(int blocks, const QString &name = QStringLiteral("firmware.hfw"))
    {
        const QString path = file(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(buildImage({forOther(), forReader(blocks)}));
        return path;
    }
    QString loaderList() const { return home.filePath(QStringLiteral("data/limra-rfid/loaders")); }
    QStringList keptFiles() const
    {
        return QDir(home.filePath(QStringLiteral("data/limra-rfid/configurations"))).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir runtime;
    QTemporaryDir home;
    QTemporaryDir work;
    QProcessEnvironment env;
    std::vector<std::unique_ptr<SimReader>> sims;
};

} // namespace

// ---- the command line ---------------------------------------------------------------

TEST_F(CliTest, HelpForTheProgramAndEachCommandAndTheVersionNeedNoReader)
{
    const Outcome help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exit, kDone);
    for (const char *command : {"list", "version", "read-config", "write-config", "diff", "default-config", "update",
                                "watch", "loaders", "master-cards create", "master-cards clear"})
        EXPECT_TRUE(help.out.contains(QLatin1String(command))) << command;
    const Outcome update = run({QStringLiteral("update"), QStringLiteral("--help")});
    EXPECT_EQ(update.exit, kDone);
    EXPECT_TRUE(update.out.contains(QStringLiteral("update [--skip-unfit] IMAGE")));
    EXPECT_TRUE(update.out.contains(QStringLiteral("--loader-wait SECONDS")));
    EXPECT_TRUE(update.out.contains(QStringLiteral("no firmware for this reader")));
    EXPECT_FALSE(update.out.contains(QStringLiteral("watch [")));
    const Outcome version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exit, kDone);
    EXPECT_EQ(version.out, QStringLiteral("limra-cli %1\n").arg(QStringLiteral(LIMRA_VERSION)));
}

TEST_F(CliTest, AWrongCommandLineIsAUsageErrorAndTouchesNoReader)
{
    reader(0);
    const QList<QStringList> wrong = {
        {},
        {QStringLiteral("erase")},
        {QStringLiteral("--port"), reader(0).port(), QStringLiteral("--all"), QStringLiteral("list")},
        {QStringLiteral("list"), QStringLiteral("-o"), file(QStringLiteral("x"))},
        {QStringLiteral("write-config")},
        {QStringLiteral("update"), QStringLiteral("a.hfw"), QStringLiteral("b.hfw")},
        {QStringLiteral("version"), QStringLiteral("extra")},
        {QStringLiteral("--timeout"), QStringLiteral("0"), QStringLiteral("list")},
        {QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("list")},
        {QStringLiteral("watch"), QStringLiteral("--count"), QStringLiteral("none")},
        {QStringLiteral("--hex"), QStringLiteral("version")},
        {QStringLiteral("--all"), QStringLiteral("read-config"), QStringLiteral("-o"), file(QStringLiteral("one.rcf"))},
        {QStringLiteral("--frobnicate"), QStringLiteral("list")},
        // default-config concerns no reader.
        {QStringLiteral("default-config"), QStringLiteral("-o"), file(QStringLiteral("d/{serial}.rcf"))},
        {QStringLiteral("default-config"), QStringLiteral("-o"), file(QStringLiteral("{port}.rcf"))},
        {QStringLiteral("--all"), QStringLiteral("default-config")},
        {QStringLiteral("--serial"), QStringLiteral("0A1B2C10"), QStringLiteral("default-config")},
        // Choosing readers.
        {QStringLiteral("--type"), QStringLiteral("serial"), QStringLiteral("list")},
        {QStringLiteral("--port"), reader(0).port(), QStringLiteral("--serial"), QStringLiteral("X"),
         QStringLiteral("version")},
        {QStringLiteral("update"), QStringLiteral("--skip-unfit"), QStringLiteral("a.hfw")},
        {QStringLiteral("--all"), QStringLiteral("read-config"), QStringLiteral("-o"), QStringLiteral("-")},
        // Master cards: a count of 1 to 5 to write; a second word.
        {QStringLiteral("master-cards"), QStringLiteral("create")},
        {QStringLiteral("master-cards"), QStringLiteral("create"), QStringLiteral("--count"), QStringLiteral("6")},
        {QStringLiteral("master-cards")},
        {QStringLiteral("master-cards"), QStringLiteral("erase")},
        {QStringLiteral("master-cards"), QStringLiteral("clear"), QStringLiteral("--protected")},
        {QStringLiteral("diff")},
    };
    for (const QStringList &args : wrong) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exit, kUsage) << qPrintable(args.join(QLatin1Char(' ')));
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(args.join(QLatin1Char(' ')));
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("limra-cli: "))) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("--help"))) << qPrintable(r.err);
    }
    EXPECT_TRUE(reader(0).commands().isEmpty());
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("d")))); // no file named {serial}.rcf
}

// ---- the commands on one reader -------------------------------------------------------

TEST_F(CliTest, ListShowsEveryReaderWithItsSerialNumberKindAndFirmware)
{
    reader(0).model->injectFault(sim::Fault::Delay, 150); // the first port answers last: the list keeps the ports' order
    reader(1).model->setReaderType(kReaderKindBle);
    const Outcome text = run({QStringLiteral("list")});
    EXPECT_EQ(text.exit, kDone) << qPrintable(text.err);
    EXPECT_EQ(text.lines(),
              (QStringList{reader(0).port() + QStringLiteral("\t") + serialOf(0) + QStringLiteral("\tUSB\t1.2.0"),
                           reader(1).port() + QStringLiteral("\tA104-") + bytesToHex(reader(1).model->serial())
                               + QStringLiteral("\tBLE\t1.2.0")}));
    const Outcome json = run({QStringLiteral("--json"), QStringLiteral("list")});
    ASSERT_EQ(json.objects().size(), 2);
    const QJsonObject first = json.objects().first();
    EXPECT_EQ(first[QStringLiteral("port")].toString(), reader(0).port());
    EXPECT_EQ(first[QStringLiteral("serial")].toString(), serialOf(0));
    EXPECT_EQ(first[QStringLiteral("reader")].toString(), QStringLiteral("USB"));
    EXPECT_EQ(first[QStringLiteral("firmware")].toString(), QStringLiteral("1.2.0"));
    EXPECT_TRUE(first[QStringLiteral("ok")].toBool());
}

TEST_F(CliTest, VersionShowsTheWindowsTexts)
{
    reader(0);
    const Outcome text = run({QStringLiteral("version")});
    EXPECT_EQ(text.exit, kDone);
    EXPECT_EQ(
        text.lines(),
        (QStringList{QStringLiteral("Версия микропрограммы: 1.2.0"), QStringLiteral("Версия загрузчика: 3.0.0.1")}));
    const Outcome json
        = run({QStringLiteral("--json"), QStringLiteral("--port"), reader(0).port(), QStringLiteral("version")});
    ASSERT_EQ(json.objects().size(), 1);
    EXPECT_EQ(json.objects()[0][QStringLiteral("firmware")].toString(), QStringLiteral("1.2.0"));
    EXPECT_EQ(json.objects()[0][QStringLiteral("loader")].toString(), QStringLiteral("3.0.0.1"));
    // Identified, put back to card reading, its configuration read (as the window does), then asked.
    EXPECT_EQ(
        reader(0).commands().mid(0, 4),
        (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01"), QStringLiteral("0A01")}));
}

TEST_F(CliTest, ReadConfigShowsTheEditorsFieldsOfTheReadModeAndSavesTheWindowsFile)
{
    ReaderConfig held;
    held.readMode = ReadMode::PassZones;
    held.formats = 0x0010;
    held.pulse = 25;
    held.zones[0] = held.zones[1] = held.zones[2] = held.zones[63] = true;
    held.wiegandType = 1;
    held.widthMode = WidthMode::User;
    held.wiegandWidth = 34;
    reader(0).model->setConfigItems(encodeConfig(held, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    reader(0).model->setObjectCodeChecksum(QByteArray::fromHex("5A3C"));

    const Outcome text = run({QStringLiteral("read-config")});
    EXPECT_EQ(text.exit, kDone) << qPrintable(text.err);
    const QStringList lines = text.lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("read mode:            3 Защищенный режим: зоны прохода")))
        << qPrintable(text.out);
    EXPECT_TRUE(lines.contains(QStringLiteral("zones:                1-3, 64")));
    EXPECT_TRUE(lines.contains(QStringLiteral("pulse:                2.5 s")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Wiegand width:        34")));
    EXPECT_TRUE(lines.contains(QStringLiteral("object code checksum: 5A3C")));
    // The pass-zone mode has no conversion; no key is ever shown.
    EXPECT_FALSE(text.out.contains(QStringLiteral("conversion")));
    EXPECT_FALSE(text.out.contains(held.blockKey));

    const Outcome json = run({QStringLiteral("--json"), QStringLiteral("read-config")});
    ASSERT_EQ(json.objects().size(), 1);
    const QJsonObject config = json.objects()[0][QStringLiteral("config")].toObject();
    EXPECT_EQ(config[QStringLiteral("readMode")].toInt(), 3);
    EXPECT_EQ(config[QStringLiteral("zones")].toArray(), (QJsonArray{1, 2, 3, 64}));
    EXPECT_DOUBLE_EQ(config[QStringLiteral("pulseSeconds")].toDouble(), 2.5);
    EXPECT_EQ(config[QStringLiteral("wiegandType")].toInt(), 1);
    EXPECT_EQ(config[QStringLiteral("formats")].toArray(),
              (QJsonArray{QStringLiteral("MifarePLUS - высокий уровень защиты")}));
    EXPECT_EQ(config[QStringLiteral("leds")].toObject()[QStringLiteral("ledr")].toString(), QStringLiteral("#F80000"));
    EXPECT_EQ(config[QStringLiteral("objectCodeChecksum")].toString(), QStringLiteral("5A3C"));

    // -o: the file the window saves, named after the reader; its folder is made.
    const Outcome saved
        = run({QStringLiteral("read-config"), QStringLiteral("-o"), file(QStringLiteral("{serial}/held.rcf"))});
    EXPECT_EQ(saved.exit, kDone) << qPrintable(saved.err);
    const QString path = file(serialOf(0) + QStringLiteral("/held.rcf"));
    const auto loaded = loadConfigFile(path);
    ASSERT_TRUE(loaded) << qPrintable(path);
    EXPECT_EQ(*loaded, encodeConfig(held, ConfigPlace::File, ReaderKind::Usb));
}

TEST_F(CliTest, DefaultConfigNeedsNoReaderAndSendsNothing)
{
    reader(0);
    const Outcome text = run({QStringLiteral("default-config")});
    EXPECT_EQ(text.exit, kDone);
    EXPECT_TRUE(text.lines().contains(QStringLiteral("read mode:            0 Обычный режим чтения только UID")));
    EXPECT_TRUE(text.lines().contains(QStringLiteral("LED idle:             #F80000")));
    const Outcome json = run({QStringLiteral("--json"), QStringLiteral("default-config")});
    ASSERT_EQ(json.objects().size(), 1);
    EXPECT_EQ(json.objects()[0][QStringLiteral("config")].toObject()[QStringLiteral("formatBits")].toString(),
              QStringLiteral("0067"));
    const Outcome saved
        = run({QStringLiteral("default-config"), QStringLiteral("-o"), file(QStringLiteral("default.rcf"))});
    EXPECT_EQ(saved.exit, kDone);
    EXPECT_TRUE(loadConfigFile(file(QStringLiteral("default.rcf"))));
    EXPECT_TRUE(reader(0).commands().isEmpty());
}

TEST_F(CliTest, WriteConfigKeepsTheReadersConfigurationFirstThenWritesTheFileAndResumesReading)
{
    const QString held = bytesToHex(reader(0).model->configItems());
    ReaderConfig wanted;
    wanted.readMode = ReadMode::BlockCode;
    wanted.formats = 0x0010;
    wanted.blockNumber = 9;
    const Outcome r = run({QStringLiteral("--json"), QStringLiteral("write-config"), configFile(wanted)});
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    const QString written = hexOf(encodeConfig(wanted, ConfigPlace::Reader, ReaderKind::Usb));
    EXPECT_EQ(reader(0).commands(),
              (QStringList{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01"),
                           QStringLiteral("0B01"), QStringLiteral("0101") + written, QStringLiteral("0501")}));
    EXPECT_EQ(bytesToHex(reader(0).model->configItems()), written);
    // The copy is where the window lists kept configurations, and holds what the reader held.
    ASSERT_EQ(keptFiles().size(), 1);
    EXPECT_TRUE(keptFiles()[0].startsWith(serialOf(0) + QLatin1Char('_')));
    ASSERT_EQ(r.objects().size(), 1);
    const QString kept = r.objects()[0][QStringLiteral("kept")].toString();
    EXPECT_TRUE(kept.endsWith(keptFiles()[0])) << qPrintable(kept);
    const auto keptItems = loadConfigFile(kept);
    ASSERT_TRUE(keptItems);
    EXPECT_TRUE(hexOf(*keptItems).startsWith(held));
    EXPECT_TRUE(r.err.contains(kept));
}

TEST_F(CliTest, WriteConfigInAProtectedModeSaysWhatToPresentAndWaitsForTheMasterCard)
{
    reader(0);
    ReaderConfig wanted;
    wanted.readMode = ReadMode::ObjectCode;
    wanted.formats = 0x0008;
    Cli cli(env, {QStringLiteral("write-config"), configFile(wanted)});
    ASSERT_TRUE(cli.says(QStringLiteral("Поднесите мастер-карту с кодом объекта к USB-считывателю")))
        << qPrintable(cli.sofar().err);
    EXPECT_TRUE(cli.sofar().out.isEmpty());
    reader(0).model->presentMaster();
    const Outcome r = cli.finish();
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    EXPECT_EQ(r.out, QStringLiteral("Выполнено\n"));
    EXPECT_EQ(reader(0).commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(CliTest, UpdateUploadsTheReadersSectionWithProgressOnStandardError)
{
    reader(0);
    const Outcome r = run({QStringLiteral("update"), image(40)});
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    // Done once the reader is back with its new firmware, which it names.
    EXPECT_EQ(r.out, QStringLiteral("Обновление успешно завершено!\nВерсия микропрограммы: 1.2.0\n"));
    EXPECT_EQ(reader(0).model->loaderData(), sectionData(forReader(40)));
    // Not a terminal: plain lines, the last with every block.
    EXPECT_EQ(r.err.count(QStringLiteral("40 of 40 blocks")), 1) << qPrintable(r.err);
    EXPECT_FALSE(r.err.contains(QLatin1Char('\r')));
}

TEST_F(CliTest, AReaderLeftInItsLoaderIsFinishedByUpdateAndOtherCommandsSaySo)
{
    SimReader &sim = reader(0);
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 5);
    const Outcome broken = run({QStringLiteral("update"), image(20)});
    EXPECT_EQ(broken.exit, kFailed);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("Ошибка: Превышено время ожидания ответа.")))
        << qPrintable(broken.err);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("5 of 20 blocks"))) << qPrintable(broken.err); // where it stopped
    ASSERT_TRUE(sim.model->loaderStuck());

    const int received = int(sim.model->loaderBlocks().size());
    const Outcome listed = run({QStringLiteral("list")});
    EXPECT_EQ(listed.exit, kDone);
    EXPECT_EQ(listed.lines(),
              QStringList{sim.port() + QStringLiteral("\t") + serialOf(0) + QStringLiteral("\tloader\t")});
    const Outcome version = run({QStringLiteral("version")});
    EXPECT_EQ(version.exit, kFailed);
    EXPECT_TRUE(version.err.contains(QStringLiteral("firmware loader"))) << qPrintable(version.err);
    EXPECT_EQ(sim.model->loaderBlocks().size(), received); // nothing framed went into the loader

    sim.model->clearLoaderFault(sim::LoaderFault::Stuck); // the loader answers again
    // It took part of an image: it is to be plugged in again first.
    Cli cli(env, {QStringLiteral("update"), image(20)});
    ASSERT_TRUE(cli.says(QStringLiteral("unplug the reader and plug it in again"))) << qPrintable(cli.sofar().err);
    EXPECT_EQ(sim.model->loaderBlocks().size(), received);
    sim.host->unplug();
    ASSERT_TRUE(sim.host->plug());
    const Outcome finished = cli.finish(15000);
    EXPECT_EQ(finished.exit, kDone) << qPrintable(finished.err);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(20)));
    EXPECT_EQ(sim.model->loaderBlocks().mid(received, 1), QList<QByteArray>{dataBlock(3, 0)}); // from the first block
    // Done means the reader is a reader again.
    const Outcome version2 = run({QStringLiteral("version")});
    EXPECT_EQ(version2.exit, kDone) << qPrintable(version2.err);
}

// An update killed in the middle leaves a loader that took part of the
// image. The next update does not send it blocks that it would append: it
// says to plug the reader in again, waits for that, and then sends every
// block from the first; the loader ends with the image exactly.
TEST_F(CliTest, AnUpdateKilledMidwayIsFinishedFromTheFirstBlockAfterAReplug)
{
    constexpr int kBlocks = 300;
    SimReader &sim = reader(0);
    sim.model->setLoaderIdleMs(600000); // half-fed, it stays a loader
    {
        Cli killed(env, {QStringLiteral("update"), image(kBlocks)});
        ASSERT_TRUE(waitUntil([&] { return sim.model->blocksTaken() >= 40; }, 20000));
        killed.signal(SIGKILL);
        killed.finish();
    }
    const qsizetype received = sim.model->loaderBlocks().size();
    sim.model->setLoaderIdleMs(1000);
    Cli again(env, {QStringLiteral("--json"), QStringLiteral("update"), image(kBlocks)});
    ASSERT_TRUE(again.says(QStringLiteral("unplug the reader and plug it in again"))) << qPrintable(again.sofar().err);
    EXPECT_TRUE(again.sofar().err.contains(QStringLiteral("waiting up to 300 s")));
    EXPECT_EQ(sim.model->loaderBlocks().size(), received); // nothing went to it meanwhile
    sim.host->unplug();
    ASSERT_TRUE(sim.host->plug());
    const Outcome r = again.finish();
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(kBlocks)));
    EXPECT_EQ(sim.model->uploadedCrc(), sectionCrc(sectionData(forReader(kBlocks))));
    ASSERT_EQ(r.objects().size(), 1);
    EXPECT_EQ(r.objects()[0][QStringLiteral("firmware")].toString(), QStringLiteral("1.2.0"));
    EXPECT_EQ(r.objects()[0][QStringLiteral("blocks")].toInt(), kBlocks);
}

// A reader that one program updates is that program's: another one keeps
// off it, also as root, also while the port is closed for the restart. Two
// configuration writes on one port take turns.
TEST_F(CliTest, TwoProgramsNeverWorkOnOneReaderAtOnce)
{
    constexpr int kBlocks = 100;
    SimReader &sim = reader(0);
    const QString picture = image(kBlocks);
    // Two updates started together: the one that holds the reader finishes
    // before the other touches it (or the other gives up, its port busy).
    {
        sim.model->clearCommandsReceived();
        Cli first(env, {QStringLiteral("--port"), sim.port(), QStringLiteral("update"), picture});
        Cli second(env, {QStringLiteral("--port"), sim.port(), QStringLiteral("update"), picture});
        const Outcome a = first.finish();
        const Outcome b = second.finish();
        const QStringList one{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01"),
                              QStringLiteral("FF01"), QStringLiteral("0C01"), QStringLiteral("FF01"),
                              QStringLiteral("0501"), QStringLiteral("0A01")};
        for (const Outcome &o : {a, b})
            EXPECT_TRUE(o.exit == kDone || (o.exit == kNotFound && o.err.contains(QStringLiteral("занят другой программой"))))
                << qPrintable(o.err);
        const int done = int(a.exit == kDone) + int(b.exit == kDone);
        EXPECT_GE(done, 1);
        EXPECT_EQ(sim.commands(), done == 2 ? one + one : one);
        EXPECT_EQ(sim.model->loaderBlocks().size(), kBlocks);
        EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(kBlocks)));
    }
    // While the first one's reader restarts into its loader (its port gone),
    // the second one does not take it either.
    {
        sim.host->restartDelayMs = 100; // back long before the first one reopens it
        Cli first(env, {QStringLiteral("--port"), sim.port(), QStringLiteral("update"), picture});
        ASSERT_TRUE(first.says(QStringLiteral("restarts into its firmware loader")));
        const Outcome other = run({QStringLiteral("--all"), QStringLiteral("--timeout"), QStringLiteral("1"),
                                   QStringLiteral("update"), picture});
        // It waited for the first one's end (or gave up): never an upload of its own in between.
        EXPECT_TRUE(other.exit == kDone || other.exit == kNotFound) << qPrintable(other.err);
        const Outcome own = first.finish();
        EXPECT_EQ(own.exit, kDone) << qPrintable(own.err) << "\nthe other one said:\n" << qPrintable(other.err);
        EXPECT_EQ(sim.model->loaderBlocks().size(), kBlocks);
        EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(kBlocks)));
        sim.host->restartDelayMs = sim::PtyHost::kDefaultRestartDelayMs;
    }
    ReaderConfig wanted;
    wanted.readMode = ReadMode::BlockCode;
    wanted.formats = 0x0010;
    const QString written = hexOf(encodeConfig(wanted, ConfigPlace::Reader, ReaderKind::Usb));
    sim.model->clearCommandsReceived();
    {
        Cli first(env, {QStringLiteral("--port"), sim.port(), QStringLiteral("write-config"), configFile(wanted)});
        Cli second(env, {QStringLiteral("--port"), sim.port(), QStringLiteral("write-config"), configFile(wanted)});
        const Outcome a = first.finish();
        const Outcome b = second.finish();
        EXPECT_EQ(a.exit, kDone) << qPrintable(a.err);
        EXPECT_EQ(b.exit, kDone) << qPrintable(b.err);
    }
    const QStringList one{QStringLiteral("FF01"), QStringLiteral("0501"), QStringLiteral("0B01"), QStringLiteral("0B01"),
                          QStringLiteral("0101") + written, QStringLiteral("0501")};
    EXPECT_EQ(sim.commands(), one + one);
}

// Programs side by side change the list of readers left in their loader
// without losing each other's changes: after six updates at once, three of
// them cut off by a stuck loader, the list holds exactly the three.
TEST_F(CliTest, UpdatesSideBySideKeepTheListOfLoadersRight)
{
    constexpr int kReaders = 6;
    QStringList stuck;
    for (int i = 0; i < kReaders; ++i)
        if (i % 2 == 0) {
            reader(i).model->injectLoaderFault(sim::LoaderFault::Stuck, 2);
            stuck << reader(i).port();
        } else {
            reader(i);
        }
    const QString picture = image(40);
    std::vector<std::unique_ptr<Cli>> runs;
    for (int i = 0; i < kReaders; ++i)
        runs.push_back(std::make_unique<Cli>(
            env, QStringList{QStringLiteral("--port"), reader(i).port(), QStringLiteral("update"), picture}));
    for (int i = 0; i < kReaders; ++i)
        EXPECT_EQ(runs[size_t(i)]->finish(60000).exit, i % 2 == 0 ? kFailed : kDone) << i;
    const Outcome listed = run({QStringLiteral("--json"), QStringLiteral("loaders")});
    QStringList marked;
    for (const QJsonObject &o : listed.objects())
        marked << o[QStringLiteral("port")].toString();
    marked.sort();
    stuck.sort();
    EXPECT_EQ(marked, stuck);
}

// Where the reader could not be recorded as left in its loader, no update
// starts: said on standard error, exit 4, the reader not switched.
TEST_F(CliTest, AnUpdateWhoseRecoveryCannotBeRecordedIsRefusedWithExitFour)
{
    reader(0);
    ASSERT_TRUE(QDir().mkpath(loaderList())); // a folder where the list should be
    const Outcome r = run({QStringLiteral("update"), image(20)});
    EXPECT_EQ(r.exit, kBadFile);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Обновление не начато"))) << qPrintable(r.err);
    EXPECT_FALSE(reader(0).commands().contains(QStringLiteral("0C01")));
    EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
}

// The marks name the reader by serial number and place; a reader that
// identifies itself clears its own; `loaders` lists them and --forget
// removes one.
TEST_F(CliTest, LoadersListsTheMarksAndAReaderThatIdentifiesItselfClearsItsOwn)
{
    reader(0);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(loaderList()).path()));
    QFile list(loaderList());
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    // Reader 0 marked on a port it has left; another reader's mark on a port gone.
    list.write((QStringLiteral("/dev/limra-gone-a\tusb-1.1\t02A11701\t") + serialOf(0) + QStringLiteral("\tfed\t\n"))
                   .toUtf8());
    list.write("/dev/limra-gone-b\tusb-1.2\t02A11701\tA102-0B0B0B0B\tswitching\t\n");
    list.close();
    const Outcome before = run({QStringLiteral("loaders")});
    EXPECT_EQ(before.exit, kDone);
    EXPECT_EQ(before.lines(),
              (QStringList{QStringLiteral("/dev/limra-gone-a\t") + serialOf(0) + QStringLiteral("\tusb-1.1\tfed"),
                           QStringLiteral("/dev/limra-gone-b\tA102-0B0B0B0B\tusb-1.2\tswitching")}));
    EXPECT_EQ(run({QStringLiteral("list")}).exit, kDone); // reader 0 identifies itself
    const Outcome after = run({QStringLiteral("--json"), QStringLiteral("loaders")});
    ASSERT_EQ(after.objects().size(), 1);
    EXPECT_EQ(after.objects()[0][QStringLiteral("serial")].toString(), QStringLiteral("A102-0B0B0B0B"));
    EXPECT_EQ(run({QStringLiteral("loaders"), QStringLiteral("--forget"), QStringLiteral("A102-0B0B0B0B")}).exit, kDone);
    EXPECT_TRUE(run({QStringLiteral("loaders")}).out.isEmpty());
    EXPECT_EQ(run({QStringLiteral("loaders"), QStringLiteral("--forget"), QStringLiteral("/dev/limra-gone-b")}).exit,
              kFailed);
    EXPECT_TRUE(reader(0).model->loaderBlocks().isEmpty());
}

// Every wait has a limit: a loader that answers nothing and is not plugged in
// again ends the run (and a hub run) after --loader-wait seconds.
TEST_F(CliTest, AWaitForALoaderEndsAtItsLimit)
{
    SimReader &sim = reader(0);
    reader(1);
    sim.model->injectLoaderFault(sim::LoaderFault::Stuck, 0);
    EXPECT_EQ(run({QStringLiteral("--port"), sim.port(), QStringLiteral("update"), image(20)}).exit, kFailed);
    const Outcome r = run({QStringLiteral("--all"), QStringLiteral("--loader-wait"), QStringLiteral("1"),
                           QStringLiteral("update"), image(20)},
                          20000);
    EXPECT_EQ(r.exit, kFailed) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("waiting up to 1 s"))) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Считыватель не был подключён заново за 1 с"))) << qPrintable(r.err);
    EXPECT_EQ(reader(1).model->loaderData(), sectionData(forReader(20)));
}

// The reader of the output goes away in the middle of the upload (a pipe into
// head): the upload goes on to its end.
TEST_F(CliTest, AClosedOutputNeverStopsAnUpload)
{
    constexpr int kBlocks = 300;
    SimReader &sim = reader(0);
    Cli cli(env, {QStringLiteral("update"), image(kBlocks)});
    ASSERT_TRUE(cli.says(QStringLiteral(" blocks")));
    cli.closeOutput();
    const Outcome r = cli.finish();
    EXPECT_EQ(r.exit, kDone);
    EXPECT_EQ(sim.model->loaderData(), sectionData(forReader(kBlocks)));
    EXPECT_EQ(sim.model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(CliTest, WatchShowsEachCardAsTheWindowsDefaultViewOrAsJsonLines)
{
    SimReader &sim = reader(0);
    {
        Cli cli(env, {QStringLiteral("watch"), QStringLiteral("--count"), QStringLiteral("2")});
        ASSERT_TRUE(cli.says(QStringLiteral("reading cards")));
        sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3"));
        sim.model->presentCard(IdKind::Uid, QStringLiteral("0000FF"));
        const Outcome r = cli.finish();
        EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
        EXPECT_EQ(r.lines(), (QStringList{QStringLiteral("77705923"), QStringLiteral("255")}));
    }
    {
        Cli cli(env,
                {QStringLiteral("--json"), QStringLiteral("watch"), QStringLiteral("--hex"), QStringLiteral("--count"),
                 QStringLiteral("2")});
        ASSERT_TRUE(cli.says(QStringLiteral("reading cards")));
        sim.model->sendCardInfo(2, 1, 1024, 1);
        sim.model->presentCard(IdKind::Uid, QStringLiteral("04A1B2C3"));
        sim.model->presentCard(IdKind::PhoneId, QStringLiteral("0102030405060708"));
        const Outcome r = cli.finish();
        EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
        const QList<QJsonObject> cards = r.objects();
        ASSERT_EQ(cards.size(), 2);
        EXPECT_EQ(cards[0][QStringLiteral("kind")].toString(), QStringLiteral("UID"));
        EXPECT_EQ(cards[0][QStringLiteral("id")].toString(), QStringLiteral("04A1B2C3"));
        EXPECT_EQ(cards[0][QStringLiteral("hex")].toString(), QStringLiteral("04A1B2C3"));
        EXPECT_EQ(cards[0][QStringLiteral("cardType")].toString(), QStringLiteral("Mifare Classic"));
        EXPECT_EQ(cards[0][QStringLiteral("serial")].toString(), serialOf(0));
        EXPECT_TRUE(QDateTime::fromString(cards[0][QStringLiteral("time")].toString(), Qt::ISODateWithMs).isValid());
        EXPECT_EQ(cards[1][QStringLiteral("kind")].toString(), QStringLiteral("Phone ID"));
        EXPECT_FALSE(cards[1].contains(QStringLiteral("cardType")));
    }
}

TEST_F(CliTest, SigintEndsWatchCleanly)
{
    reader(0);
    Cli cli(env, {QStringLiteral("watch")});
    ASSERT_TRUE(cli.says(QStringLiteral("reading cards")));
    reader(0).model->presentCard(IdKind::Uid, QStringLiteral("0A"));
    ASSERT_TRUE(waitUntil([&] { return cli.sofar().out == QStringLiteral("10\n"); }));
    cli.signal(SIGINT);
    const Outcome r = cli.finish(5000);
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
}

// ---- exit statuses ------------------------------------------------------------------

TEST_F(CliTest, TheReadersRefusalIsExitOneWithItsOwnTextInRussian)
{
    reader(0).model->refuse(0x0A, 0x01, 0x0E);
    const Outcome r = run({QStringLiteral("version")});
    EXPECT_EQ(r.exit, kFailed);
    EXPECT_EQ(r.err, QStringLiteral("limra-cli: Ошибка: Мастер-карта не пуста.\n"));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(reader(0).commands().last(), QStringLiteral("0501")); // back to card reading
}

TEST_F(CliTest, NoReaderWithinTheTimeLimitIsExitThree)
{
    QElapsedTimer clock;
    clock.start();
    const Outcome none = run({QStringLiteral("--timeout"), QStringLiteral("0.5"), QStringLiteral("version")});
    EXPECT_EQ(none.exit, kNotFound);
    EXPECT_TRUE(none.err.contains(QStringLiteral("no reader found within 0.5 s"))) << qPrintable(none.err);
    EXPECT_LT(clock.elapsed(), 4000);
    const Outcome all = run({QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("0.3"),
                             QStringLiteral("--all"), QStringLiteral("list")});
    EXPECT_EQ(all.exit, kNotFound);
    ASSERT_EQ(all.objects().size(), 1);
    EXPECT_EQ(all.objects()[0][QStringLiteral("exit")].toInt(), kNotFound);
    // A port that opens but never answers is named with the window's words.
    reader(0).model->injectFault(sim::Fault::Silent);
    const Outcome silent = run({QStringLiteral("--timeout"), QStringLiteral("1.5"), QStringLiteral("list")});
    EXPECT_EQ(silent.exit, kNotFound);
    EXPECT_TRUE(silent.err.contains(QStringLiteral("Порт ") + reader(0).port()
                                    + QStringLiteral(" открыт, но считыватель не отвечает")))
        << qPrintable(silent.err);
}

TEST_F(CliTest, TheReaderTheWindowHoldsIsABusyPortExitThree)
{
    reader(0);
    QtSerialPort window; // the window holds the reader: ports open exclusively
    ASSERT_TRUE(window.open(reader(0).port()));
    for (const QStringList &args : {QStringList{QStringLiteral("--port"), reader(0).port(), QStringLiteral("version")},
                                    QStringList{QStringLiteral("version")}}) {
        const Outcome r = run(QStringList{QStringLiteral("--timeout"), QStringLiteral("1")} + args);
        EXPECT_EQ(r.exit, kNotFound) << qPrintable(args.join(QLatin1Char(' ')));
        EXPECT_TRUE(r.err.contains(QStringLiteral("Порт считывателя ") + reader(0).port()
                                   + QStringLiteral(" занят другой программой")))
            << qPrintable(r.err);
    }
    // Another reader beside it is found as the window would find it.
    reader(1);
    const Outcome other = run({QStringLiteral("version")});
    EXPECT_EQ(other.exit, kDone) << qPrintable(other.err);
    EXPECT_EQ(reader(1).commands().mid(0, 1), QStringList{QStringLiteral("FF01")});
    EXPECT_TRUE(reader(0).commands().isEmpty());
}

TEST_F(CliTest, AFileThatCannotBeReadOrWrittenOrIsNoValidFileIsExitFour)
{
    reader(0);
    QFile bad(file(QStringLiteral("bad.rcf")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(40, 'x'));
    bad.close();
    // A valid digest over the LED colours alone: no configuration to write.
    QFile incomplete(file(QStringLiteral("incomplete.rcf")));
    ASSERT_TRUE(incomplete.open(QIODevice::WriteOnly));
    incomplete.write(configFileBytes(itemsOf(QStringLiteral("0C0800F8E00700F8E0FF"))));
    incomplete.close();
    QFile shortImage(file(QStringLiteral("short.hfw")));
    ASSERT_TRUE(shortImage.open(QIODevice::WriteOnly));
    shortImage.write(QByteArray(144, '\0'));
    shortImage.close();
    struct Case {
        QStringList args;
        QString said;
    };
    const QList<Case> cases = {
        {{QStringLiteral("write-config"), file(QStringLiteral("missing.rcf"))},
         QStringLiteral("Не удалось открыть файл")},
        {{QStringLiteral("write-config"), file(QStringLiteral("bad.rcf"))},
         QStringLiteral("Неверный формат файла - ошибка CRC.")},
        {{QStringLiteral("write-config"), file(QStringLiteral("incomplete.rcf"))}, texts::kConfigurationIncomplete},
        {{QStringLiteral("update"), file(QStringLiteral("missing.hfw"))}, QStringLiteral("Не удалось открыть файл")},
        {{QStringLiteral("update"), file(QStringLiteral("short.hfw"))},
         QStringLiteral("Некорректный файл микропрограммы.")},
        {{QStringLiteral("read-config"), QStringLiteral("-o"), QStringLiteral("/proc/no/such.rcf")},
         QStringLiteral("Не удалось записать файл")},
    };
    for (const Case &c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.exit, kBadFile) << qPrintable(c.args.join(QLatin1Char(' ')));
        EXPECT_TRUE(r.err.contains(c.said)) << qPrintable(r.err);
    }
    // Nothing was written into the reader, nor switched to its loader.
    for (const QString &command : reader(0).commands())
        EXPECT_TRUE(command == QLatin1String("FF01") || command == QLatin1String("0501")
                    || command == QLatin1String("0B01"))
            << qPrintable(command);
}

// ---- every reader ------------------------------------------------------------------

TEST_F(CliTest, AllUpdatesThreeReadersSideBySide)
{
    constexpr int kBlocks = 150;
    // When each reader's loader took its first and its last block.
    struct Span {
        qint64 first = -1;
        qint64 last = -1;
    };
    std::vector<Span> spans(3);
    // Each upload lasts long enough (a block answered 10 ms late) that the
    // readers a loaded machine finds one after another still overlap.
    for (int i = 0; i < 3; ++i)
        reader(i).model->injectFault(sim::Fault::Delay, 10);
    QElapsedTimer clock;
    clock.start();
    // One reader alone first, for the figure; it restarts into its firmware soon after.
    const Outcome one = run({QStringLiteral("--port"), reader(0).port(), QStringLiteral("update"), image(kBlocks)});
    const qint64 oneMs = clock.elapsed();
    ASSERT_EQ(one.exit, kDone) << qPrintable(one.err);
    ASSERT_TRUE(waitUntil([this] {
        return reader(0).model->mode() == sim::ReaderModel::Mode::Reading && reader(0).host->plugged();
    }));
    clock.restart();
    for (int i = 0; i < 3; ++i) {
        sim::ReaderModel *model = reader(i).model.get();
        QObject::connect(model, &sim::ReaderModel::output, model, [model, &spans, &clock, i] {
            if (model->mode() != sim::ReaderModel::Mode::Loader)
                return;
            if (spans[size_t(i)].first < 0 && model->blocksTaken() > 0)
                spans[size_t(i)].first = clock.elapsed();
            if (model->blocksTaken() == kBlocks)
                spans[size_t(i)].last = clock.elapsed();
        });
    }
    const Outcome r
        = run({QStringLiteral("--all"), QStringLiteral("--json"), QStringLiteral("update"), image(kBlocks)}, 60000);
    const qint64 threeMs = clock.elapsed();
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    // The figure, told and not asserted: a wall-clock bound would fail on a busy machine.
    std::cout << "three readers side by side: " << threeMs << " ms, one reader: " << oneMs << " ms, ratio "
              << double(threeMs) / double(std::max<qint64>(oneMs, 1)) << std::endl;
    RecordProperty("ThreeReadersToOne", QString::number(double(threeMs) / double(std::max<qint64>(oneMs, 1)), 'f', 2)
                                            .toStdString());
    // One object a reader, then the summary.
    const QList<QJsonObject> objects = r.objects();
    ASSERT_EQ(objects.size(), 4);
    EXPECT_TRUE(objects.last()[QStringLiteral("summary")].toBool());
    EXPECT_EQ(objects.last()[QStringLiteral("done")].toInt(), 3);
    QStringList ports;
    for (const QJsonObject &o : objects.mid(0, 3)) {
        EXPECT_TRUE(o[QStringLiteral("ok")].toBool());
        EXPECT_EQ(o[QStringLiteral("blocks")].toInt(), kBlocks);
        ports << o[QStringLiteral("port")].toString();
    }
    ports.sort();
    EXPECT_EQ(ports, (QStringList{reader(0).port(), reader(1).port(), reader(2).port()}));
    EXPECT_TRUE(r.err.contains(QStringLiteral("3 readers: 3 done"))) << qPrintable(r.err);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reader(i).model->loaderData(), sectionData(forReader(kBlocks))) << i;
        ASSERT_GE(spans[size_t(i)].first, 0) << i;
        ASSERT_GE(spans[size_t(i)].last, 0) << i;
    }
    // Side by side: another upload began before the first one ended (one by
    // one, each would begin after the one before ended). Not all three: on a
    // loaded machine the last reader may be found after the first is done.
    std::vector<qint64> starts;
    qint64 firstEnd = std::numeric_limits<qint64>::max();
    for (const Span &s : spans) {
        starts.push_back(s.first);
        firstEnd = std::min(firstEnd, s.last);
    }
    std::sort(starts.begin(), starts.end());
    EXPECT_LT(starts[1], firstEnd);
}

TEST_F(CliTest, AllGivesOneResultPerReaderAndTheWorstExitStatus)
{
    reader(0);
    reader(1).model->refuse(0x0A, 0x01);
    reader(2);
    const Outcome r = run({QStringLiteral("--all"), QStringLiteral("version")});
    EXPECT_EQ(r.exit, kFailed);
    QStringList lines = r.lines();
    lines.sort();
    // Every reader has its line, the failed one with its reason.
    ASSERT_EQ(lines.size(), 3) << qPrintable(r.out);
    EXPECT_EQ(lines[0],
              reader(0).port() + QStringLiteral("\t") + serialOf(0)
                  + QStringLiteral("\tВерсия микропрограммы: 1.2.0\tВерсия загрузчика: 3.0.0.1"));
    EXPECT_TRUE(lines[1].startsWith(reader(1).port() + QStringLiteral("\t") + serialOf(1)
                                    + QStringLiteral("\tfailed: Ошибка: ")))
        << qPrintable(lines[1]);
    EXPECT_TRUE(lines[2].startsWith(reader(2).port() + QStringLiteral("\t")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("limra-cli: ") + reader(1).port() + QStringLiteral(": Ошибка: ")))
        << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("3 readers: 2 done, 1 failed")));
}

TEST_F(CliTest, SigtermDuringAnUploadLetsItFinish)
{
    constexpr int kBlocks = 400;
    reader(0);
    Cli cli(env, {QStringLiteral("update"), image(kBlocks)});
    ASSERT_TRUE(waitUntil([&] { return reader(0).model->blocksTaken() >= 20; }, 20000));
    cli.signal(SIGTERM);
    const Outcome r = cli.finish();
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    EXPECT_EQ(reader(0).model->loaderData(), sectionData(forReader(kBlocks)));
    EXPECT_TRUE(r.err.contains(QStringLiteral("goes on to its end")));
}

// ---- where the output goes ----------------------------------------------------------

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool isLink(const QString &path) { return QFileInfo(path).isSymLink(); }

mode_t typeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

} // namespace

TEST_F(CliTest, OutputGoesToStandardOutputADeviceOrAFifoAndNeverReplacesALink)
{
    reader(0);
    const QString rcf = QStringLiteral("read-config");
    // "-" and /dev/stdout: the file's bytes on standard output, the same as a file gets.
    ASSERT_EQ(run({rcf, QStringLiteral("-o"), file(QStringLiteral("plain.rcf"))}).exit, kDone);
    const QByteArray saved = contentsOf(file(QStringLiteral("plain.rcf")));
    ASSERT_FALSE(saved.isEmpty());
    for (const QString &target : {QStringLiteral("-"), QStringLiteral("/dev/stdout")}) {
        const Outcome r = run({rcf, QStringLiteral("-o"), target});
        EXPECT_EQ(r.exit, kDone) << qPrintable(target) << qPrintable(r.err);
        EXPECT_EQ(r.outBytes, saved) << qPrintable(target);
    }
    EXPECT_TRUE(isLink(QStringLiteral("/dev/stdout")));
    // A device is written through and stays a device.
    const Outcome null = run({rcf, QStringLiteral("-o"), QStringLiteral("/dev/null")});
    EXPECT_EQ(null.exit, kDone) << qPrintable(null.err);
    EXPECT_EQ(typeOf(QStringLiteral("/dev/null")), mode_t(S_IFCHR));

    // A FIFO someone reads is written through; one nobody reads is refused at once.
    const QString fifo = file(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const Outcome unread = run({rcf, QStringLiteral("-o"), fifo});
    EXPECT_EQ(unread.exit, kBadFile);
    EXPECT_TRUE(unread.err.contains(fifo)) << qPrintable(unread.err);
    const int readEnd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(readEnd, 0);
    const Outcome read = run({rcf, QStringLiteral("-o"), fifo});
    EXPECT_EQ(read.exit, kDone) << qPrintable(read.err);
    QByteArray piped(4096, '\0');
    const ssize_t got = ::read(readEnd, piped.data(), size_t(piped.size()));
    ::close(readEnd);
    EXPECT_EQ(piped.left(int(std::max<ssize_t>(got, 0))), saved);
    EXPECT_EQ(typeOf(fifo), mode_t(S_IFIFO));

    // A symbolic link is refused: the link and what it leads to stay as they were.
    const QString victim = file(QStringLiteral("victim.txt"));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("the user's own file");
    v.close();
    const QString link = file(QStringLiteral("link.rcf"));
    ASSERT_TRUE(QFile::link(victim, link));
    for (const QStringList &args : {QStringList{rcf, QStringLiteral("-o"), link},
                                    QStringList{QStringLiteral("default-config"), QStringLiteral("-o"), link}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exit, kBadFile) << qPrintable(args.join(QLatin1Char(' ')));
        EXPECT_TRUE(r.err.contains(QStringLiteral("символическая ссылка"))) << qPrintable(r.err);
    }
    EXPECT_TRUE(isLink(link));
    EXPECT_EQ(contentsOf(victim), QByteArray("the user's own file"));
}

TEST_F(CliTest, WriteConfigReadsStandardInputForADash)
{
    reader(0);
    ReaderConfig wanted;
    wanted.readMode = ReadMode::BlockCode;
    wanted.formats = 0x0010;
    wanted.blockNumber = 12;
    const QByteArray bytes = contentsOf(configFile(wanted));
    Cli cli(env, {QStringLiteral("write-config"), QStringLiteral("-")});
    cli.input(bytes);
    const Outcome r = cli.finish();
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    EXPECT_EQ(reader(0).model->configItems(), encodeConfig(wanted, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    Cli bad(env, {QStringLiteral("write-config"), QStringLiteral("-")});
    bad.input("not a configuration");
    const Outcome refused = bad.finish();
    EXPECT_EQ(refused.exit, kBadFile);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("standard input"))) << qPrintable(refused.err);
}

// ---- choosing readers ---------------------------------------------------------------

TEST_F(CliTest, ReadersAreChosenBySerialNumberAndKind)
{
    reader(0);
    reader(1).model->setReaderType(kReaderKindBle);
    reader(2);
    const QString bleSerial = QStringLiteral("A104-") + bytesToHex(reader(1).model->serial());
    struct Case {
        QStringList choice;
        QStringList serials; // the readers asked for their version, in the ports' order
    };
    const QList<Case> cases = {
        {{QStringLiteral("--serial"), serialOf(2)}, {serialOf(2)}},
        {{QStringLiteral("--serial"), bytesToHex(reader(0).model->serial()).toLower(), QStringLiteral("--serial"),
          serialOf(2)},
         {serialOf(0), serialOf(2)}},
        {{QStringLiteral("--except"), serialOf(0)}, {bleSerial, serialOf(2)}},
        {{QStringLiteral("--type"), QStringLiteral("ble")}, {bleSerial}},
        {{QStringLiteral("--all"), QStringLiteral("--type"), QStringLiteral("usb"), QStringLiteral("--except"),
          serialOf(2)},
         {serialOf(0)}},
    };
    for (const Case &c : cases) {
        for (int i = 0; i < 3; ++i)
            reader(i).model->clearCommandsReceived();
        const Outcome r = run(QStringList{QStringLiteral("--json")} + c.choice + QStringList{QStringLiteral("version")});
        const QString line = c.choice.join(QLatin1Char(' '));
        EXPECT_EQ(r.exit, kDone) << qPrintable(line) << qPrintable(r.err);
        QStringList serials;
        for (const QJsonObject &o : r.objects())
            if (!o.contains(QStringLiteral("summary")))
                serials << o[QStringLiteral("serial")].toString();
        EXPECT_EQ(serials, c.serials) << qPrintable(line);
        for (int i = 0; i < 3; ++i) {
            const QString serial = i == 1 ? bleSerial : serialOf(i);
            EXPECT_EQ(reader(i).commands().contains(QStringLiteral("0A01")), c.serials.contains(serial))
                << qPrintable(line) << " reader " << i;
        }
    }
    // A serial number no reader has is a reader not reached, named.
    const Outcome missing
        = run({QStringLiteral("--serial"), serialOf(0), QStringLiteral("--serial"), QStringLiteral("A102-FFFFFFFF"),
               QStringLiteral("version")});
    EXPECT_EQ(missing.exit, kNotFound);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no reader with the serial number A102-FFFFFFFF found")))
        << qPrintable(missing.err);
}

TEST_F(CliTest, AReaderTheImageHasNoFirmwareForFailsAloneOrIsLeftAlone)
{
    reader(0);
    reader(1).model->setHardware(0xB2); // another model: the image has no section for it
    const QString identity = reader(1).model->deviceIdentity();
    const QString path = image(20);
    const Outcome r = run({QStringLiteral("--all"), QStringLiteral("update"), path}, 60000);
    EXPECT_EQ(r.exit, kFailed);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no firmware for this reader (%1)").arg(identity))) << qPrintable(r.err);
    EXPECT_EQ(reader(0).model->loaderData(), sectionData(forReader(20))); // the other reader is updated
    EXPECT_TRUE(reader(1).model->loaderBlocks().isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 readers: 1 done, 1 failed"))) << qPrintable(r.err);

    ASSERT_TRUE(waitUntil([this] {
        return reader(0).model->mode() == sim::ReaderModel::Mode::Reading && reader(0).host->plugged();
    }, reader(0).model->loaderIdleMs() + 5000));
    const Outcome skipped = run({QStringLiteral("--all"), QStringLiteral("update"), QStringLiteral("--skip-unfit"), path}, 60000);
    EXPECT_EQ(skipped.exit, kDone) << qPrintable(skipped.err);
    EXPECT_TRUE(skipped.err.contains(QStringLiteral("1 reader: 1 done, 1 left alone"))) << qPrintable(skipped.err);
    EXPECT_TRUE(reader(1).model->loaderBlocks().isEmpty());
}

// ---- several readers: the exit status, the summary, the order -------------------------

TEST_F(CliTest, AFailedUpdateOutranksABusyPortAndTheSummaryNamesEachInThePortsOrder)
{
    reader(0);
    reader(1).model->refuse(0x0C, 0x01); // the switch into the loader is refused
    reader(2);
    QtSerialPort window; // the window holds the first reader
    ASSERT_TRUE(window.open(reader(0).port()));
    // A busy port is known at once: the long time limit is never waited out.
    Cli cli(env, {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("120"), QStringLiteral("--all"),
                  QStringLiteral("update"), image(10)});
    const Outcome r = cli.finish(60000);
    EXPECT_EQ(r.exit, kFailed) << qPrintable(r.err);
    const QList<QJsonObject> objects = r.objects();
    ASSERT_EQ(objects.size(), 4) << qPrintable(r.out);
    // Every reader in the ports' order, the one not reached too, then the summary.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(objects[i][QStringLiteral("port")].toString(), reader(i).port()) << i;
    EXPECT_EQ(objects[0][QStringLiteral("exit")].toInt(), kNotFound);
    EXPECT_EQ(objects[1][QStringLiteral("exit")].toInt(), kFailed);
    EXPECT_EQ(objects[2][QStringLiteral("exit")].toInt(), kDone);
    const QJsonObject summary = objects[3];
    EXPECT_TRUE(summary[QStringLiteral("summary")].toBool());
    EXPECT_EQ(summary[QStringLiteral("exit")].toInt(), kFailed);
    const QJsonArray problems = summary[QStringLiteral("problems")].toArray();
    ASSERT_EQ(problems.size(), 2);
    EXPECT_EQ(problems[0].toObject()[QStringLiteral("port")].toString(), reader(0).port());
    EXPECT_TRUE(problems[0].toObject()[QStringLiteral("error")].toString().contains(QStringLiteral("занят")));
    EXPECT_EQ(problems[1].toObject()[QStringLiteral("serial")].toString(), serialOf(1));
    // On standard error each is named by serial number and port, with its reason.
    EXPECT_TRUE(r.err.contains(QStringLiteral("3 readers: 1 done, 1 failed, 1 not reached"))) << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("  %1 on %2: failed: ").arg(serialOf(1), reader(1).port())))
        << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral(" on %1: not reached: ").arg(reader(0).port()))) << qPrintable(r.err);
}

TEST_F(CliTest, EveryJsonObjectHasTheSameKeys)
{
    reader(0);
    reader(1).model->refuse(0x0A, 0x01);
    const QList<QStringList> runs = {
        {QStringLiteral("--json"), QStringLiteral("--all"), QStringLiteral("version")},
        {QStringLiteral("--json"), QStringLiteral("list")},
        {QStringLiteral("--json"), QStringLiteral("erase")},
        {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("banana"), QStringLiteral("list")},
        {QStringLiteral("--json"), QStringLiteral("write-config"), file(QStringLiteral("missing.rcf"))},
        {QStringLiteral("--json"), QStringLiteral("--port"), reader(0).port(), QStringLiteral("read-config"),
         QStringLiteral("-o"), QStringLiteral("/proc/no/such.rcf")},
        {QStringLiteral("--json"), QStringLiteral("default-config")},
    };
    for (const QStringList &args : runs) {
        const Outcome r = run(args);
        const QString line = args.join(QLatin1Char(' '));
        ASSERT_FALSE(r.objects().isEmpty()) << qPrintable(line);
        for (const QJsonObject &o : r.objects()) {
            if (o.contains(QStringLiteral("summary")))
                continue;
            for (const char *key : {"port", "serial", "reader", "ok", "exit"})
                EXPECT_TRUE(o.contains(QLatin1String(key))) << qPrintable(line) << " lacks " << key;
            EXPECT_EQ(o[QStringLiteral("ok")].toBool(), o[QStringLiteral("exit")].toInt() == kDone) << qPrintable(line);
            EXPECT_EQ(o.contains(QStringLiteral("error")), !o[QStringLiteral("ok")].toBool()) << qPrintable(line);
        }
        // The last object's exit status is the program's.
        EXPECT_EQ(r.objects().last()[QStringLiteral("exit")].toInt(), r.exit) << qPrintable(line);
    }
    // A file problem names the file, and the reader it was for.
    const Outcome file = run({QStringLiteral("--json"), QStringLiteral("--port"), reader(0).port(),
                              QStringLiteral("read-config"), QStringLiteral("-o"), QStringLiteral("/proc/no/such.rcf")});
    ASSERT_EQ(file.objects().size(), 1);
    EXPECT_EQ(file.objects()[0][QStringLiteral("file")].toString(), QStringLiteral("/proc/no/such.rcf"));
    EXPECT_EQ(file.objects()[0][QStringLiteral("serial")].toString(), serialOf(0));
    EXPECT_TRUE(file.err.contains(QStringLiteral("/proc/no/such.rcf"))) << qPrintable(file.err);
    EXPECT_TRUE(file.err.contains(serialOf(0))) << qPrintable(file.err);
}

TEST_F(CliTest, APortThatIsNoTerminalIsToldAtOnce)
{
    const QString folder = file(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &port : {QStringLiteral("/etc/passwd"), QStringLiteral("/dev/null"), folder,
                                file(QStringLiteral("missing"))}) {
        Cli cli(env, {QStringLiteral("--timeout"), QStringLiteral("120"), QStringLiteral("--port"), port,
                      QStringLiteral("version")});
        const Outcome r = cli.finish(20000); // far less than the time limit: nothing was waited for
        EXPECT_EQ(r.exit, kNotFound) << qPrintable(port);
        EXPECT_TRUE(r.err.contains(port + QStringLiteral(" is no reader port: "))) << qPrintable(r.err);
    }
}

TEST_F(CliTest, TwoReadersWithOneSerialNumberWriteTwoFiles)
{
    reader(0);
    reader(1).model->setSerial(reader(0).model->serial());
    const Outcome r = run({QStringLiteral("--all"), QStringLiteral("read-config"), QStringLiteral("-o"),
                           file(QStringLiteral("b/{serial}.rcf"))});
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    const QString first = file(QStringLiteral("b/") + serialOf(0) + QStringLiteral(".rcf"));
    const QString second = file(QStringLiteral("b/") + serialOf(0) + QStringLiteral("-2.rcf"));
    EXPECT_EQ(QDir(file(QStringLiteral("b"))).entryList(QDir::Files, QDir::Name),
              (QStringList{QFileInfo(second).fileName(), QFileInfo(first).fileName()}));
    EXPECT_TRUE(r.err.contains(QStringLiteral("this reader's goes to ") + second)) << qPrintable(r.err);
    QStringList told = r.lines();
    EXPECT_EQ(told.size(), 2);
    EXPECT_NE(told.value(0).section(QLatin1Char('\t'), 2), told.value(1).section(QLatin1Char('\t'), 2));
}

TEST_F(CliTest, AllShowsOneSteadyFigureOverEveryBlock)
{
    constexpr int kBlocks = 60;
    reader(0);
    reader(1).model->injectFault(sim::Fault::Delay, 30); // one reader slower than the others: they end first
    reader(2);
    const Outcome r = run({QStringLiteral("--all"), QStringLiteral("update"), image(kBlocks)}, 90000);
    EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
    const QString total = QString::number(3 * kBlocks);
    int last = -1;
    int finals = 0;
    for (const QString &line : r.err.split(QLatin1Char('\n'))) {
        EXPECT_FALSE(line.contains(QStringLiteral(" of %1 blocks").arg(kBlocks))) << qPrintable(line); // no reader's own
        const int at = line.indexOf(QStringLiteral("3 readers: "));
        if (at < 0 || !line.contains(QStringLiteral(" blocks")))
            continue;
        const QStringList words = line.mid(at + 11).split(QLatin1Char(' '));
        ASSERT_GE(words.size(), 3) << qPrintable(line);
        EXPECT_EQ(words[2], total) << qPrintable(line); // the same whole throughout
        const int accepted = words[0].toInt();
        EXPECT_GE(accepted, last) << qPrintable(r.err); // never backwards
        last = accepted;
        if (accepted == 3 * kBlocks)
            ++finals;
    }
    EXPECT_EQ(finals, 1) << qPrintable(r.err);
}

// ---- diff, and configurations as JSON ---------------------------------------------------

TEST_F(CliTest, DiffComparesTheReaderWithAFileItemByItemInTheEditorsWords)
{
    ReaderConfig held;
    held.readMode = ReadMode::BlockCode;
    held.formats = 0x0010;
    held.blockNumber = 4;
    reader(0).model->setConfigItems(encodeConfig(held, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    reader(1).model->setConfigItems(reader(0).model->configItems());
    const QString same = configFile(held, QStringLiteral("same.rcf"));
    ReaderConfig other = held;
    other.blockNumber = 9;
    other.wiegandType = 1;
    const QString differs = configFile(other, QStringLiteral("other.rcf"));

    const Outcome equal = run({QStringLiteral("--port"), reader(0).port(), QStringLiteral("diff"), same});
    EXPECT_EQ(equal.exit, kDone) << qPrintable(equal.err);
    EXPECT_EQ(equal.lines(), QStringList{QStringLiteral("equal")});
    const Outcome text = run({QStringLiteral("--port"), reader(0).port(), QStringLiteral("diff"), differs});
    EXPECT_EQ(text.exit, kFailed);
    EXPECT_EQ(text.lines(),
              (QStringList{QStringLiteral("Тип итерфейса Wiegand: reader Wiegand c контрольной суммой CRC, "
                                          "file Wiegand без контрольной суммы CRC"),
                           QStringLiteral("Номер блока: reader 4, file 9")}));
    // Over the hub: one line per reader.
    reader(1).model->setConfigItems(encodeConfig(other, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    const Outcome hub = run({QStringLiteral("--all"), QStringLiteral("diff"), same});
    EXPECT_EQ(hub.exit, kFailed);
    EXPECT_EQ(hub.lines(),
              (QStringList{reader(0).port() + QStringLiteral("\t") + serialOf(0) + QStringLiteral("\tequal"),
                           reader(1).port() + QStringLiteral("\t") + serialOf(1)
                               + QStringLiteral("\tdiffers: Тип итерфейса Wiegand; Номер блока")}));
    const Outcome json = run({QStringLiteral("--json"), QStringLiteral("--port"), reader(0).port(),
                              QStringLiteral("diff"), differs});
    ASSERT_EQ(json.objects().size(), 1);
    EXPECT_FALSE(json.objects()[0][QStringLiteral("equal")].toBool());
    const QJsonObject first = json.objects()[0][QStringLiteral("differences")].toArray()[1].toObject();
    EXPECT_EQ(first[QStringLiteral("item")].toString(), QStringLiteral("Номер блока"));
    EXPECT_EQ(first[QStringLiteral("reader")].toString(), QStringLiteral("4"));
    EXPECT_EQ(first[QStringLiteral("file")].toString(), QStringLiteral("9"));
    // Nothing is written by a diff.
    for (int i = 0; i < 2; ++i)
        for (const QString &command : reader(i).commands())
            EXPECT_FALSE(command.startsWith(QStringLiteral("0101"))) << qPrintable(command);
}

TEST_F(CliTest, ReadConfigsJsonIsWrittenBackAsIs)
{
    ReaderConfig site;
    site.readMode = ReadMode::PassZones;
    site.formats = 0x0010;
    site.pulse = 25;
    site.zones[4] = site.zones[9] = true;
    site.wiegandType = 1;
    site.widthMode = WidthMode::User;
    site.wiegandWidth = 26;
    site.ledColours[1] = QColor(0, 0, 248);
    reader(0).model->setConfigItems(encodeConfig(site, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    reader(1);
    const Outcome read = run({QStringLiteral("--json"), QStringLiteral("--port"), reader(0).port(),
                              QStringLiteral("read-config")});
    ASSERT_EQ(read.exit, kDone) << qPrintable(read.err);
    const QString json = file(QStringLiteral("site.json"));
    QFile f(json);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(read.out.toUtf8());
    f.close();
    const Outcome diffBefore = run({QStringLiteral("--port"), reader(1).port(), QStringLiteral("diff"), json});
    EXPECT_EQ(diffBefore.exit, kFailed);
    // A protected read mode: the master card with the object code follows the write.
    Cli cli(env, {QStringLiteral("--json"), QStringLiteral("--port"), reader(1).port(), QStringLiteral("write-config"), json});
    ASSERT_TRUE(cli.says(QStringLiteral("Поднесите мастер-карту с кодом объекта")));
    reader(1).model->presentMaster();
    const Outcome written = cli.finish();
    EXPECT_EQ(written.exit, kDone) << qPrintable(written.err);
    const DecodeResult got
        = decodeConfig(ConfigItems::parse(reader(1).model->configItems()), ReaderConfig(), {ConfigPlace::Reader, ReaderKind::Usb, true});
    ASSERT_TRUE(got);
    EXPECT_EQ(got->config.readMode, site.readMode);
    EXPECT_EQ(got->config.zones, site.zones);
    EXPECT_EQ(got->config.pulse, site.pulse);
    EXPECT_EQ(got->config.wireWidth(), 26);
    EXPECT_EQ(got->config.wiegandType, 1);
    EXPECT_EQ(got->config.ledColours[1], site.ledColours[1]);
    const Outcome diffAfter = run({QStringLiteral("--port"), reader(1).port(), QStringLiteral("diff"), json});
    EXPECT_EQ(diffAfter.exit, kDone) << qPrintable(diffAfter.out);
    // A value the editor does not take is a file problem, named.
    QFile wrong(file(QStringLiteral("wrong.json")));
    ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
    wrong.write(R"({"config":{"readMode":7}})");
    wrong.close();
    const Outcome refused = run({QStringLiteral("--port"), reader(1).port(), QStringLiteral("write-config"),
                                 file(QStringLiteral("wrong.json"))});
    EXPECT_EQ(refused.exit, kBadFile);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("\"readMode\""))) << qPrintable(refused.err);
}

// ---- master cards --------------------------------------------------------------------

TEST_F(CliTest, MasterCardsAreCreatedWithTheReadersConfigurationAndCleared)
{
    ReaderConfig held;
    held.readMode = ReadMode::ObjectCode;
    held.formats = 0x0008;
    reader(0).model->setConfigItems(encodeConfig(held, ConfigPlace::Reader, ReaderKind::Usb).toBytes());
    {
        Cli cli(env, {QStringLiteral("master-cards"), QStringLiteral("create"), QStringLiteral("--count"),
                      QStringLiteral("2")});
        ASSERT_TRUE(cli.says(QStringLiteral("Поднесите 1 из 2 карту"))) << qPrintable(cli.sofar().err);
        reader(0).model->presentBlank();
        ASSERT_TRUE(cli.says(QStringLiteral("Поднесите 2 из 2 карту"))) << qPrintable(cli.sofar().err);
        reader(0).model->presentBlank();
        const Outcome r = cli.finish();
        EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
        EXPECT_EQ(r.out, QStringLiteral("2 master cards written\n"));
        EXPECT_TRUE(r.err.contains(QStringLiteral("Мастер-карты успешно созданы")));
    }
    EXPECT_EQ(reader(0).model->masterCards().size(), 2);
    EXPECT_EQ(itemHex(ConfigItems::parse(reader(0).model->masterConfigItems()), 0x06), QStringLiteral("01")); // the reader's read mode
    EXPECT_EQ(reader(0).model->masterProtection(), QByteArray::fromHex("00"));
    EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
    // A file's configuration over the reader's, protected.
    ReaderConfig block = held;
    block.readMode = ReadMode::BlockCode;
    block.formats = 0x0010;
    {
        Cli cli(env, {QStringLiteral("master-cards"), QStringLiteral("create"), QStringLiteral("--count"),
                      QStringLiteral("1"), QStringLiteral("--protected"), configFile(block)});
        ASSERT_TRUE(cli.says(QStringLiteral("Поднесите 1 из 1 карту"))) << qPrintable(cli.sofar().err);
        reader(0).model->presentBlank();
        const Outcome r = cli.finish();
        EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Мастер-карта успешно создана")));
    }
    EXPECT_EQ(itemHex(ConfigItems::parse(reader(0).model->masterConfigItems()), 0x06), QStringLiteral("02"));
    EXPECT_EQ(reader(0).model->masterProtection(), QByteArray::fromHex("AA"));
    EXPECT_EQ(reader(0).model->masterCards().size(), 3);
    {
        Cli cli(env, {QStringLiteral("master-cards"), QStringLiteral("clear"), QStringLiteral("--count"),
                      QStringLiteral("1")});
        ASSERT_TRUE(cli.says(QStringLiteral("По очереди подносите мастер-карты к USB-считывателю")));
        reader(0).model->presentMaster(0);
        const Outcome r = cli.finish();
        EXPECT_EQ(r.exit, kDone) << qPrintable(r.err);
        EXPECT_EQ(r.out, QStringLiteral("Очищено карт: 1\n"));
    }
    EXPECT_EQ(reader(0).model->masterCards().size(), 2);
    EXPECT_EQ(reader(0).commands().last(), QStringLiteral("0501"));
    EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
}

TEST_F(CliTest, ASignalDuringAMasterCardWaitPutsTheReaderBackToCardReading)
{
    reader(0);
    struct Case {
        QStringList args;
        QString waiting; // what standard error says while the reader waits
        int exit;        // clearing has no end of its own: a signal is its end
    };
    const QList<Case> cases = {
        {{QStringLiteral("master-cards"), QStringLiteral("create"), QStringLiteral("--count"), QStringLiteral("3")},
         QStringLiteral("Поднесите 1 из 3 карту"), 130},
        {{QStringLiteral("master-cards"), QStringLiteral("clear")},
         QStringLiteral("По очереди подносите мастер-карты"), kDone},
    };
    for (const Case &c : cases) {
        for (const int number : {SIGINT, SIGTERM}) {
            Cli cli(env, c.args);
            ASSERT_TRUE(cli.says(c.waiting)) << qPrintable(cli.sofar().err);
            ASSERT_NE(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
            cli.signal(number);
            const Outcome r = cli.finish();
            EXPECT_EQ(r.exit, c.exit) << qPrintable(c.args.join(QLatin1Char(' '))) << qPrintable(r.err);
            EXPECT_EQ(reader(0).commands().last(), QStringLiteral("0501"));
            EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
        }
    }
}

// ---- a write whose object code did not come -------------------------------------------

TEST_F(CliTest, ASignalDuringTheObjectCodeWaitSaysTheConfigurationWasWrittenAndWhereTheOldIsKept)
{
    reader(0);
    ReaderConfig wanted;
    wanted.readMode = ReadMode::ObjectCode;
    wanted.formats = 0x0008;
    Cli cli(env, {QStringLiteral("--json"), QStringLiteral("write-config"), configFile(wanted)});
    ASSERT_TRUE(cli.says(QStringLiteral("Поднесите мастер-карту с кодом объекта")));
    cli.signal(SIGINT);
    const Outcome r = cli.finish();
    EXPECT_EQ(r.exit, 130) << qPrintable(r.err);
    ASSERT_EQ(keptFiles().size(), 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("the configuration was written into the reader, without the object code")))
        << qPrintable(r.err);
    EXPECT_TRUE(r.err.contains(keptFiles()[0])) << qPrintable(r.err);
    ASSERT_EQ(r.objects().size(), 1);
    EXPECT_TRUE(r.objects()[0][QStringLiteral("written")].toBool());
    EXPECT_TRUE(r.objects()[0][QStringLiteral("kept")].toString().endsWith(keptFiles()[0]));
    EXPECT_EQ(reader(0).model->mode(), sim::ReaderModel::Mode::Reading);
}
