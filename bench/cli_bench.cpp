// limra-cli writing one configuration into 20 simulated readers: once with
// --all (every reader side by side, one program), against the baseline of 20
// single runs with --port one after another, as a shell loop would do it.
// Both are measured alternately over several rounds; the median ratio of the
// loop's wall time to --all's, and its range, are printed.
//
// Usage: bench_cli_all [readers] [rounds]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/benchsupport.h"
#include "config/codec.h"
#include "config/configfile.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::bench;
using limra::testing::SimReader;

namespace {

// Runs limra-cli to its end while this process's event loop serves the
// simulated readers; its wall time in milliseconds, or -1 when it failed.
double runCli(const QProcessEnvironment &env, const QStringList &args)
{
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(LIMRA_CLI), args);
    if (!cli.waitForStarted(5000))
        return -1;
    if (!limra::testing::waitUntil([&] { return cli.state() == QProcess::NotRunning; }, 120000))
        return -1;
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    return cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0 ? ms : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int readers = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    // The simulated readers and the program's data live in folders of this run.
    QTemporaryDir runtime;
    QTemporaryDir home;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("HOME"), home.path());

    std::vector<std::unique_ptr<SimReader>> sims;
    for (int i = 0; i < readers; ++i) {
        sims.push_back(std::make_unique<SimReader>(QStringLiteral("bench%1").arg(i, 2, 10, QLatin1Char('0'))));
        if (!sims.back()->plugged) {
            std::fprintf(stderr, "cannot serve a simulated reader: %s\n", qPrintable(sims.back()->error));
            return 1;
        }
        sims.back()->model->setSerial(hexToBytes(QStringLiteral("BE0C%1").arg(i, 4, 10, QLatin1Char('0'))));
    }
    ReaderConfig config;
    config.wiegandType = 1;
    const QString file = home.filePath(QStringLiteral("bench.rcf"));
    if (!saveConfigFile(file, encodeConfig(config, ConfigPlace::File, ReaderKind::Usb))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }

    auto all = [&] { return runCli(env, {QStringLiteral("--all"), QStringLiteral("write-config"), file}); };
    auto oneByOne = [&] {
        double total = 0;
        for (const auto &sim : sims) {
            const double ms
                = runCli(env, {QStringLiteral("--port"), sim->port(), QStringLiteral("write-config"), file});
            if (ms < 0)
                return -1.0;
            total += ms;
        }
        return total;
    };

    std::vector<double> ratios, allMs, loopMs;
    for (int round = 0; round < rounds; ++round) {
        double a = 0, b = 0;
        // Alternating which goes first, so that neither always meets a warm system.
        if (round % 2 == 0) {
            a = all();
            b = oneByOne();
        } else {
            b = oneByOne();
            a = all();
        }
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "round %d: a run of limra-cli failed\n", round + 1);
            return 1;
        }
        allMs.push_back(a);
        loopMs.push_back(b);
        ratios.push_back(b / a);
    }
    std::printf("configuration write into %d simulated readers, %d rounds\n", readers, rounds);
    std::printf("  %d single runs one after another / one run with --all: %.1f (range %.1f .. %.1f)\n", readers,
                median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("  (medians: --all %.0f ms, one after another %.0f ms)\n", median(allMs), median(loopMs));
    return 0;
}
