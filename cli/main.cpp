// limra-cli: the reader tool on the command line, for one reader or every
// reader on the hub. No widgets and no display: a core application with a
// reader station per reader.
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>

#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/runner.h"
#include "platform/files.h"
#include "platform/instanceguard.h"
#include "platform/qtserialport.h"
#include "platform/systemdevices.h"

using namespace limra;

int main(int argc, char **argv)
{
    // A closed output (a pipe into head, say) never ends the program: an
    // update goes on to its end, and what is written there goes nowhere.
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const cli::ParsedCommandLine parsed = cli::parseCommandLine(arguments);
    cli::Console console;
    if (!parsed.problem.isEmpty()) {
        // Under --json a script reads the usage error as it reads every result.
        if (arguments.contains(QStringLiteral("--json")))
            console.result(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("port"), QString()},
                                          {QStringLiteral("serial"), QString()},
                                          {QStringLiteral("reader"), QString()},
                                          {QStringLiteral("ok"), false},
                                          {QStringLiteral("exit"), cli::kUsage},
                                          {QStringLiteral("error"), parsed.problem}})
                    .toJson(QJsonDocument::Compact)));
        console.message(QStringLiteral("limra-cli: ") + parsed.problem
                        + QStringLiteral("\nTry 'limra-cli --help' for more information."));
        return cli::kUsage;
    }
    if (parsed.options.version) {
        console.result(cli::versionText().trimmed());
        return cli::kDone;
    }
    if (parsed.options.help) {
        console.result(cli::commandHelp(parsed.options.command).trimmed());
        return cli::kDone;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("limra-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LIMRA_VERSION));

    SystemPortEnumerator ports;
    SystemDeviceMonitor monitor;
    ReaderStation::Platform platform;
    platform.ports = &ports;
    platform.deviceMonitor = &monitor;
    platform.portFactory = [] { return std::make_unique<QtSerialPort>(); };
    if (parsed.options.needsReader() || parsed.options.command == cli::Command::Loaders)
        platform.dataFolder = userDataFolder(); // the window's: the same kept configurations and loaders
    Timings timings = programTimings();
    timings.loaderWait = parsed.options.loaderWaitMs;
    cli::Runner runner(parsed.options, platform, timings, console);

    // Ctrl+C, kill, a closed terminal: the readers are left as they should be.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &runner, &cli::Runner::terminate);
    QObject::connect(&runner, &cli::Runner::finished, &app, [](int code) { QCoreApplication::exit(code); });
    runner.start();
    return app.exec();
}
