// Upload of a 4,096-block firmware section to the simulated reader over a
// pseudo-terminal, through the firmware tab with its progress bar and time
// estimate, as a ratio to a minimal blocking client that streams the same
// blocks to the same loader. Baseline and tool are measured alternately over
// several rounds; the median ratio is printed. A third run without the tab
// shows what the progress display costs.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "bench/benchsupport.h"
#include "firmware/image.h"
#include "firmware/firmwareruns.h"
#include "firmware/ui/firmwarepage.h"
#include "firmware/update.h"
#include "firmware/versionquery.h"
#include "link/hextext.h"
#include "link/loaders.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "tests/support/imagebuilder.h"
#include "tests/support/requests.h"
#include "tests/support/scripteddialogs.h"

using namespace limra;
using namespace limra::bench;

namespace {
constexpr int kRounds = 5;
constexpr int kBlocks = 4096;
// The simulated reader is told to come back as a loader 50 ms after the switch.
constexpr int kLoaderStartMs = 300;
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SimProcess sim;
    if (!sim.start(QStringLiteral("fwbench%1").arg(QCoreApplication::applicationPid()))) {
        std::fprintf(stderr, "simulated reader did not start\n");
        return 1;
    }
    testing::SectionSpec spec;
    spec.dataBlocks = kBlocks;
    const QByteArray image = testing::buildImage({spec});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.hfw"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(image);
    }
    const QList<QByteArray> blocks = findSection(image, spec.identity).blocks;

    ReaderLink link;
    ReaderSession session(link, [] { return std::make_unique<QtSerialPort>(); });
    testing::ScriptedDialogs dialogs;
    Timings timings;
    timings.loaderStart = kLoaderStartMs;
    LoaderRegistry loaders;
    FirmwareUpdate update(link, session, loaders, timings);
    FirmwareVersionQuery version(link, timings);
    // The tab's runs: the bench's one update and query, started at once.
    struct Runs : FirmwareRuns {
        Runs(FirmwareUpdate &u, FirmwareVersionQuery &v) : update(u), version(v) {}
        bool busy() const override { return false; }
        FirmwareUpdate *updateFirmware(const QString &path, const Watch<FirmwareUpdate> &watch) override
        {
            if (watch)
                watch(update);
            update.start(path);
            return &update;
        }
        FirmwareVersionQuery *queryVersion(const Watch<FirmwareVersionQuery> &watch) override
        {
            if (watch)
                watch(version);
            version.start();
            return &version;
        }
        FirmwareUpdate &update;
        FirmwareVersionQuery &version;
    } runs(update, version);
    FirmwarePage page(runs, dialogs);
    page.findChild<QLineEdit *>(QStringLiteral("imagePath"))->setText(path);
    FirmwareUpdate bare(link, session, loaders, timings); // no tab: nothing shows its progress

    auto connect = [&] {
        sim.say("reading\n");
        session.dropConnection();
        if (!sim.waitForLink() || !session.open(sim.link())) {
            std::fprintf(stderr, "cannot open the simulated reader\n");
            return false;
        }
        ReaderIdentity identity;
        identity.typeItem = QStringLiteral("A102");
        identity.serial = QStringLiteral("0A1B2C3D");
        session.setConnected(identity);
        return true;
    };
    // Runs an update to its end.
    auto wait = [](FirmwareUpdate &u) {
        QEventLoop loop;
        QObject::connect(&u, &ReaderOperation::ended, &loop, &QEventLoop::quit);
        if (u.running())
            loop.exec();
        QCoreApplication::processEvents();
    };

    std::vector<double> ratios, displayCosts;
    double base = 0, tool = 0, toolBare = 0;
    BlockingClient client;
    QElapsedTimer t;
    sim.say("restart 50\n");
    for (int round = 0; round < kRounds; ++round) {
        // Baseline: switch to the loader, reopen, stream the blocks.
        sim.say("reading\n");
        session.dropConnection();
        if (!client.open(sim.link()) || !client.roundTrip(hexToBytes(QStringLiteral("23050C0124")), 8)) {
            std::fprintf(stderr, "the switch to the loader failed\n");
            return 1;
        }
        client.close();
        QThread::msleep(kLoaderStartMs);
        if (!sim.waitForLink() || !client.open(sim.link())) {
            std::fprintf(stderr, "the loader did not come back\n");
            return 1;
        }
        t.start();
        for (const QByteArray &block : blocks)
            if (!client.roundTrip(block, 2)) {
                std::fprintf(stderr, "baseline upload failed\n");
                return 1;
            }
        base = double(t.nsecsElapsed()) / 1e6;
        client.close();

        // The tool through its tab.
        dialogs.shown.clear();
        if (!connect())
            return 1;
        page.findChild<QPushButton *>(QStringLiteral("updateButton"))->click();
        wait(update);
        if (!dialogs.shown.value(0).startsWith(QStringLiteral("message: Обновление успешно завершено!"))) {
            std::fprintf(stderr, "update failed: %s\n", qPrintable(dialogs.shown.value(0)));
            return 1;
        }
        tool = update.lastUploadMs();

        // The tool without anything that shows the progress.
        dialogs.shown.clear();
        if (!connect())
            return 1;
        bare.start(path);
        wait(bare);
        toolBare = bare.lastUploadMs();
        ratios.push_back(tool / base);
        displayCosts.push_back(tool / toolBare);
    }
    std::printf("upload of %d blocks, median of %d alternating rounds: ratio %.2f to the blocking client (goal <= 1.05; "
                "last round: tool %.0f ms, client %.0f ms)\n",
                kBlocks, kRounds, median(ratios), tool, base);
    std::printf("progress bar and estimate: tool with the tab / without, median %.3f\n", median(displayCosts));
    session.dropConnection();
    sim.stop();
    return 0;
}
