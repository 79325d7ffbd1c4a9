#include "cli/commandline.h"

#include <cmath>

namespace limra::cli {

namespace {

constexpr double kMaxTimeoutSeconds = 24 * 3600;

struct CommandInfo {
    Command command;
    const char *name;
};

const CommandInfo kCommands[] = {
    {Command::List, "list"},
    {Command::Version, "version"},
    {Command::ReadConfig, "read-config"},
    {Command::WriteConfig, "write-config"},
    {Command::DefaultConfig, "default-config"},
    {Command::Update, "update"},
    {Command::Watch, "watch"},
    {Command::Loaders, "loaders"},
};

Command commandOf(const QString &word)
{
    for (const CommandInfo &c : kCommands)
        if (word == QLatin1String(c.name))
            return c.command;
    return Command::None;
}

const char kSynopsis[] = "Usage: limra-cli [--port PATH | --all] [--json] [--timeout SECONDS] ";

// What a command needs besides the global options.
bool takesFile(Command c) { return c == Command::WriteConfig || c == Command::Update; }
bool takesOutput(Command c) { return c == Command::ReadConfig || c == Command::DefaultConfig; }
bool isWatch(Command c) { return c == Command::Watch; }

// The option's value: "--name VALUE" or "--name=VALUE". False when the option
// is not this one; `problem` is set when its value is missing.
bool optionValue(const QStringList &args, int &i, const QString &name, QString *value, QString *problem)
{
    const QString &arg = args[i];
    if (arg.startsWith(name + QLatin1Char('='))) {
        *value = arg.mid(name.size() + 1);
        return true;
    }
    if (arg != name)
        return false;
    if (i + 1 >= args.size()) {
        *problem = QStringLiteral("option %1 needs a value").arg(name);
        return true;
    }
    *value = args[++i];
    return true;
}

} // namespace

QString commandName(Command command)
{
    for (const CommandInfo &c : kCommands)
        if (c.command == command)
            return QString::fromLatin1(c.name);
    return QString();
}

ParsedCommandLine parseCommandLine(const QStringList &args)
{
    ParsedCommandLine out;
    Options &o = out.options;
    QString &problem = out.problem;
    QStringList operands;
    QStringList commandOptions; // given, to be checked against the command
    bool optionsEnded = false;
    for (int i = 0; i < args.size() && problem.isEmpty(); ++i) {
        const QString &arg = args[i];
        QString value;
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (o.command == Command::None && operands.isEmpty()) {
                o.command = commandOf(arg);
                if (o.command == Command::None)
                    problem = QStringLiteral("unknown command '%1'").arg(arg);
            } else {
                operands << arg;
            }
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            o.help = true;
        } else if (arg == QLatin1String("-v") || arg == QLatin1String("--version")) {
            o.version = true;
        } else if (arg == QLatin1String("--all")) {
            o.all = true;
        } else if (arg == QLatin1String("--json")) {
            o.json = true;
        } else if (arg == QLatin1String("--hex")) {
            o.hex = true;
            commandOptions << arg;
        } else if (optionValue(args, i, QStringLiteral("--port"), &value, &problem)) {
            if (problem.isEmpty() && value.trimmed().isEmpty())
                problem = QStringLiteral("option --port needs a port");
            o.port = value.trimmed();
        } else if (optionValue(args, i, QStringLiteral("--timeout"), &value, &problem)) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (problem.isEmpty() && (!ok || !(seconds > 0) || seconds > kMaxTimeoutSeconds))
                problem = QStringLiteral("--timeout takes a number of seconds above 0, not '%1'").arg(value);
            else
                o.timeoutMs = std::max(1, int(std::lround(seconds * 1000)));
        } else if (optionValue(args, i, QStringLiteral("--loader-wait"), &value, &problem)) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (problem.isEmpty() && (!ok || !(seconds > 0) || seconds > kMaxTimeoutSeconds))
                problem = QStringLiteral("--loader-wait takes a number of seconds above 0, not '%1'").arg(value);
            else
                o.loaderWaitMs = std::max(1, int(std::lround(seconds * 1000)));
        } else if (optionValue(args, i, QStringLiteral("--forget"), &value, &problem)) {
            if (problem.isEmpty() && value.trimmed().isEmpty())
                problem = QStringLiteral("option --forget needs a port or a serial number");
            o.forget = value.trimmed();
            commandOptions << QStringLiteral("--forget");
        } else if (optionValue(args, i, QStringLiteral("--count"), &value, &problem)) {
            bool ok = false;
            o.count = value.toInt(&ok);
            if (problem.isEmpty() && (!ok || o.count < 1))
                problem = QStringLiteral("--count takes a number of cards above 0, not '%1'").arg(value);
            commandOptions << QStringLiteral("--count");
        } else if (optionValue(args, i, QStringLiteral("-o"), &value, &problem)
                   || optionValue(args, i, QStringLiteral("--output"), &value, &problem)) {
            if (problem.isEmpty() && value.isEmpty())
                problem = QStringLiteral("option -o needs a file name");
            o.output = value;
            commandOptions << QStringLiteral("-o");
        } else {
            problem = QStringLiteral("unknown option '%1'").arg(arg);
        }
    }
    if (!problem.isEmpty() || o.version)
        return out;
    if (o.help)
        return out; // the command's help, or the program's
    if (o.command == Command::None) {
        problem = QStringLiteral("no command given");
        return out;
    }
    const QString name = commandName(o.command);
    for (const QString &option : commandOptions) {
        const bool fits = option == QLatin1String("-o")         ? takesOutput(o.command)
                          : option == QLatin1String("--forget") ? o.command == Command::Loaders
                                                                : isWatch(o.command);
        if (!fits) {
            problem = QStringLiteral("option %1 does not go with %2").arg(option, name);
            return out;
        }
    }
    if (!o.port.isEmpty() && o.all) {
        problem = QStringLiteral("--port and --all exclude each other");
        return out;
    }
    if (takesFile(o.command)) {
        if (operands.size() != 1) {
            problem = QStringLiteral("%1 takes one file").arg(name);
            return out;
        }
        o.file = operands.first();
    } else if (!operands.isEmpty()) {
        problem = QStringLiteral("%1 takes no argument ('%2')").arg(name, operands.first());
        return out;
    }
    if (o.everyReader() && !o.output.isEmpty() && o.command == Command::ReadConfig
        && !o.output.contains(QLatin1String("{serial}")) && !o.output.contains(QLatin1String("{port}"))) {
        problem = QStringLiteral("with --all, -o needs {serial} or {port} in the file name");
        return out;
    }
    return out;
}

QString usageText()
{
    return QString::fromLatin1(kSynopsis)
        + QStringLiteral("COMMAND [ARGS]\n"
                         "The LIMRA USB RFID card readers on the command line: one reader, or every\n"
                         "reader on the hub side by side. No display is needed.\n"
                         "\n"
                         "Commands:\n"
                         "  list                      readers found: port, serial number, USB, BLE or\n"
                         "                            loader, firmware version\n"
                         "  version                   the reader's firmware and loader versions\n"
                         "  read-config [-o FILE]     the reader's configuration: to FILE (.rcf), or as\n"
                         "                            text (JSON with --json)\n"
                         "  write-config FILE         writes FILE (.rcf) into the reader; the reader's\n"
                         "                            configuration is kept first\n"
                         "  default-config [-o FILE]  the factory default configuration (nothing sent)\n"
                         "  update IMAGE              firmware update from IMAGE (.hfw); finishes a\n"
                         "                            reader left in its loader\n"
                         "  watch [--count N] [--hex] card identifiers as they are read, one a line\n"
                         "  loaders [--forget PORT|SERIAL]\n"
                         "                            readers marked as left in their firmware loader;\n"
                         "                            --forget removes a mark\n"
                         "\n"
                         "Options:\n"
                         "  --port PATH        the reader on this port; without it the reader is found\n"
                         "                     as the window finds it (USB id, then virtual readers)\n"
                         "  --all              every reader found, side by side: one result per reader,\n"
                         "                     then a summary on standard error\n"
                         "  --json             results as JSON, one object a line\n"
                         "  --timeout SECONDS  the time to find the readers (default 5)\n"
                         "  --loader-wait SECONDS\n"
                         "                     update: how long to wait for a reader to be plugged in\n"
                         "                     again (default 300)\n"
                         "  -h, --help         this help; COMMAND --help: the command's own\n"
                         "  -v, --version      the version\n"
                         "\n"
                         "Results go to standard output, messages to standard error.\n"
                         "Exit status: 0 done; 1 the reader refused or failed; 2 usage; 3 no reader\n"
                         "found within the time limit (or its port is busy); 4 a file that cannot be\n"
                         "read or written, or is not a valid .rcf/.hfw; 130 ended by a signal before\n"
                         "it was done. With --all, the worst of the readers'. See limra-cli(1).\n");
}

QString commandHelp(Command command)
{
    const QString synopsis = QString::fromLatin1(kSynopsis);
    switch (command) {
    case Command::List:
        return synopsis
            + QStringLiteral("list\n"
                             "Lists the readers found, one a line: port, serial number (as the window's\n"
                             "status bar shows it), USB or BLE (\"loader\" for a reader left in its firmware\n"
                             "loader), firmware version; fields separated by tabs. Without --port every\n"
                             "reader port is tried.\n"
                             "JSON: {\"port\", \"serial\", \"reader\", \"firmware\", \"ok\", \"exit\"}.\n");
    case Command::Version:
        return synopsis
            + QStringLiteral("version\n"
                             "Asks the reader for its firmware and loader versions and shows them as the\n"
                             "window does. JSON: {\"port\", \"serial\", \"firmware\", \"loader\", ...}.\n");
    case Command::ReadConfig:
        return synopsis
            + QStringLiteral("read-config [-o FILE]\n"
                             "Reads the reader's configuration. With -o it is saved to FILE as a\n"
                             "configuration file (.rcf), as the window saves it; without, it is shown as\n"
                             "text, or as JSON with --json: read mode, card formats, conversion, Wiegand\n"
                             "type and width, the block, bank-card key or BLE name and the pulse and zones\n"
                             "of its read mode, LED colours, and the checksums the reader reports. Keys are\n"
                             "never shown (only whether the bank-card key is the default one); the .rcf\n"
                             "file holds them.\n"
                             "In FILE, {serial} stands for the reader's serial number and {port} for the\n"
                             "port's name; with --all one of them is needed. Missing folders are made.\n");
    case Command::WriteConfig:
        return synopsis
            + QStringLiteral("write-config FILE\n"
                             "Writes the configuration file FILE (.rcf) into the reader, as the window\n"
                             "writes a file it loaded. The configuration the reader holds is kept first, in\n"
                             "the same place as the window keeps it, and the window lists it; when it\n"
                             "cannot be kept nothing is written. The reader then returns to card reading.\n"
                             "In the protected read modes (object code, pass zones) the reader then waits\n"
                             "for the master card with the object code: standard error says what to\n"
                             "present, and the command waits for it.\n");
    case Command::DefaultConfig:
        return synopsis
            + QStringLiteral("default-config [-o FILE]\n"
                             "The factory default configuration, shown as read-config shows it, or\n"
                             "saved to FILE (.rcf) with -o. Nothing is sent to a reader.\n");
    case Command::Update:
        return synopsis
            + QStringLiteral("update IMAGE\n"
                             "Updates the reader's firmware from IMAGE (.hfw). Progress and the time left go\n"
                             "to standard error: a bar on a terminal, plain lines otherwise. A reader left\n"
                             "in its loader by an update that broke off is finished, from the first block;\n"
                             "a loader that took part of an image must be unplugged and plugged in again\n"
                             "first (standard error says so; --loader-wait SECONDS, default 300, is how long\n"
                             "that is waited for). The update is done once the reader has restarted into its\n"
                             "new firmware and told its version (shown, and \"firmware\" in JSON). An update\n"
                             "whose reader could not be marked as left in its loader does not start (exit 4).\n"
                             "SIGINT and SIGTERM during the upload let it finish first: cut off, it would\n"
                             "leave the reader in its loader.\n");
    case Command::Watch:
        return synopsis
            + QStringLiteral("watch [--count N] [--hex]\n"
                             "Shows the identifier of every card held to the reader, one a line, in\n"
                             "decimal as the window's default view shows it, or in hexadecimal with --hex.\n"
                             "With --json one object a line: time, kind, identifier as shown, as HEX, and\n"
                             "the card type when the reader tells it. --count N ends after N cards (of all\n"
                             "readers with --all); SIGINT ends it cleanly.\n");
    case Command::Loaders:
        return synopsis
            + QStringLiteral("loaders [--forget PORT|SERIAL]\n"
                             "Lists the readers marked as left in their firmware loader, one a line: port,\n"
                             "serial number, USB location, and whether the loader may hold part of an image\n"
                             "(\"fed\") or took nothing (\"switching\"); \"busy\" when another program\n"
                             "updates it now. No command goes to any reader: a marked port gets firmware\n"
                             "blocks only. A reader that identifies itself as a reader clears its mark.\n"
                             "--forget removes the marks of a port or a serial number (not of a reader\n"
                             "another program updates now). JSON: {\"port\", \"serial\", \"location\",\n"
                             "\"state\", \"busy\", \"ok\", \"exit\"}.\n");
    case Command::None: break;
    }
    return usageText();
}

QString versionText() { return QStringLiteral("limra-cli %1\n").arg(QStringLiteral(LIMRA_VERSION)); }

} // namespace limra::cli
