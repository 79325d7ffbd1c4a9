#include "cli/commandline.h"

#include <algorithm>
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
    {Command::Diff, "diff"},
    {Command::MasterCardsCreate, "master-cards create"},
    {Command::MasterCardsClear, "master-cards clear"},
};

// Commands of two words: the first, then the second.
constexpr char kMasterCards[] = "master-cards";
// Master cards are written 1 to 5 at a time.
constexpr int kMaxMasterCards = 5;

Command commandOf(const QString &word)
{
    for (const CommandInfo &c : kCommands)
        if (word == QLatin1String(c.name))
            return c.command;
    return Command::None;
}

const char kSynopsis[] = "Usage: limra-cli [--port PATH | --all] [--serial S] [--except S] [--type usb|ble]\n"
                         "                 [--json] [--timeout SECONDS] ";

// What a command needs besides the global options.
bool takesFile(Command c) { return c == Command::WriteConfig || c == Command::Update || c == Command::Diff; }
bool takesOutput(Command c) { return c == Command::ReadConfig || c == Command::DefaultConfig; }
// The options that go with some commands only.
bool fits(const QString &option, Command c)
{
    if (option == QLatin1String("-o"))
        return takesOutput(c);
    if (option == QLatin1String("--count"))
        return c == Command::Watch || c == Command::MasterCardsCreate || c == Command::MasterCardsClear;
    if (option == QLatin1String("--hex"))
        return c == Command::Watch;
    if (option == QLatin1String("--skip-unfit"))
        return c == Command::Update;
    if (option == QLatin1String("--protected"))
        return c == Command::MasterCardsCreate;
    if (option == QLatin1String("--forget"))
        return c == Command::Loaders;
    return true;
}

// The serial number without its reader type ("A102-"), in upper case.
QString serialDigits(const QString &serial)
{
    return serial.mid(serial.indexOf(QLatin1Char('-')) + 1).trimmed().toUpper();
}

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

bool Options::chosen(const QString &serial, bool ble) const
{
    if (!type.isEmpty() && (type == QLatin1String("ble")) != ble)
        return false;
    auto matches = [&serial](const QString &given) {
        return given.compare(serial, Qt::CaseInsensitive) == 0 || serialDigits(given) == serialDigits(serial);
    };
    if (!serials.isEmpty() && std::none_of(serials.begin(), serials.end(), matches))
        return false;
    return std::none_of(excepted.begin(), excepted.end(), matches);
}

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
    bool twoWords = false; // "master-cards" given, its second word awaited
    for (int i = 0; i < args.size() && problem.isEmpty(); ++i) {
        const QString &arg = args[i];
        QString value;
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (o.command == Command::None && operands.isEmpty() && !twoWords) {
                twoWords = arg == QLatin1String(kMasterCards);
                o.command = commandOf(arg);
                if (o.command == Command::None && !twoWords)
                    problem = QStringLiteral("unknown command '%1'").arg(arg);
            } else if (twoWords && o.command == Command::None) {
                o.command = commandOf(QLatin1String(kMasterCards) + QLatin1Char(' ') + arg);
                if (o.command == Command::None)
                    problem = QStringLiteral("master-cards takes create or clear, not '%1'").arg(arg);
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
        } else if (arg == QLatin1String("--skip-unfit")) {
            o.skipUnfit = true;
            commandOptions << arg;
        } else if (arg == QLatin1String("--protected")) {
            o.protectedMode = true;
            commandOptions << arg;
        } else if (optionValue(args, i, QStringLiteral("--serial"), &value, &problem)
                   || optionValue(args, i, QStringLiteral("--except"), &value, &problem)) {
            const bool except = arg.startsWith(QLatin1String("--except"));
            if (problem.isEmpty() && value.trimmed().isEmpty())
                problem = QStringLiteral("option %1 needs a serial number").arg(except ? "--except" : "--serial");
            (except ? o.excepted : o.serials) << value.trimmed();
        } else if (optionValue(args, i, QStringLiteral("--type"), &value, &problem)) {
            o.type = value.trimmed().toLower();
            if (problem.isEmpty() && o.type != QLatin1String("usb") && o.type != QLatin1String("ble"))
                problem = QStringLiteral("--type takes usb or ble, not '%1'").arg(value);
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
            if (problem.isEmpty() && (!ok || o.count < 1)) {
                problem = QStringLiteral("--count takes a number of cards above 0, not '%1'").arg(value);
                o.count = 0;
            }
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
        problem = twoWords ? QStringLiteral("master-cards takes create or clear") : QStringLiteral("no command given");
        return out;
    }
    const QString name = commandName(o.command);
    for (const QString &option : commandOptions) {
        if (!fits(option, o.command)) {
            problem = QStringLiteral("option %1 does not go with %2").arg(option, name);
            return out;
        }
    }
    if (!o.port.isEmpty() && (o.all || o.choosing())) {
        problem = o.all ? QStringLiteral("--port and --all exclude each other")
                        : QStringLiteral("--port and --serial, --except or --type exclude each other");
        return out;
    }
    if (o.command == Command::DefaultConfig) {
        if (o.all || o.choosing()) {
            problem = QStringLiteral("default-config concerns no reader: --all, --serial, --except and --type "
                                     "do not go with it");
            return out;
        }
        if (!o.port.isEmpty()) {
            problem = QStringLiteral("default-config concerns no reader: --port does not go with it");
            return out;
        }
        if (o.output.contains(QLatin1String(kSerialField)) || o.output.contains(QLatin1String(kPortField))) {
            problem = QStringLiteral("%1 and %2 in the file name need a reader; default-config has none")
                          .arg(QLatin1String(kSerialField), QLatin1String(kPortField));
            return out;
        }
    }
    if (o.command == Command::MasterCardsCreate && (o.count < 1 || o.count > kMaxMasterCards)) {
        problem = o.count == 0 ? QStringLiteral("master-cards create needs --count N (1 to 5)")
                               : QStringLiteral("master-cards create writes 1 to 5 cards, not %1").arg(o.count);
        return out;
    }
    if (o.skipUnfit && !o.everyReader()) {
        problem = QStringLiteral("--skip-unfit goes with --all (or --serial, --except, --type)");
        return out;
    }
    if (o.command == Command::MasterCardsCreate) {
        if (operands.size() > 1) {
            problem = QStringLiteral("%1 takes at most one file").arg(name);
            return out;
        }
        o.file = operands.value(0);
    } else if (takesFile(o.command)) {
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
        && !o.output.contains(QLatin1String(kSerialField)) && !o.output.contains(QLatin1String(kPortField))) {
        problem = o.output == QLatin1String("-")
            ? QStringLiteral("with --all, -o - is not one file: leave -o out, or name files with {serial} or {port}")
            : QStringLiteral("with --all, -o needs {serial} or {port} in the file name");
        return out;
    }
    if (o.command == Command::Update && o.file == QLatin1String("-")) {
        problem = QStringLiteral("update reads its image from a file, not from standard input");
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
                         "  read-config [-o FILE]     the reader's configuration: to FILE (.rcf; - for\n"
                         "                            standard output), or as text (JSON with --json)\n"
                         "  write-config FILE         writes FILE (.rcf, or read-config's JSON; - for\n"
                         "                            standard input) into the reader; the reader's\n"
                         "                            configuration is kept first\n"
                         "  diff FILE                 the reader's configuration against FILE, item by\n"
                         "                            item; exit status 0 when equal, 1 when not\n"
                         "  default-config [-o FILE]  the factory default configuration (nothing sent)\n"
                         "  update [--skip-unfit] IMAGE\n"
                         "                            firmware update from IMAGE (.hfw); finishes a\n"
                         "                            reader left in its loader\n"
                         "  watch [--count N] [--hex] card identifiers as they are read, one a line\n"
                         "  loaders [--forget PORT|SERIAL]\n"
                         "                            readers marked as left in their firmware loader;\n"
                         "                            --forget removes a mark\n"
                         "  master-cards create --count N [--protected] [FILE]\n"
                         "                            writes N (1 to 5) master cards with the reader's\n"
                         "                            configuration, or FILE's\n"
                         "  master-cards clear [--count N]\n"
                         "                            clears the master cards presented\n"
                         "\n"
                         "Options:\n"
                         "  --port PATH        the reader on this port; without it the reader is found\n"
                         "                     as the window finds it (USB id, then virtual readers)\n"
                         "  --all              every reader found, side by side: one result per reader,\n"
                         "                     in the order of the ports, then a summary on standard error\n"
                         "  --serial S         only the reader with serial number S (A102-0A1B2C3D, or\n"
                         "                     0A1B2C3D); repeatable; chooses from what --all finds\n"
                         "  --except S         every reader found but S; repeatable\n"
                         "  --type usb|ble     only USB or only BLE readers\n"
                         "  --json             results as JSON, one object a line\n"
                         "  --timeout SECONDS  the time to find the readers (default 5)\n"
                         "  --loader-wait SECONDS\n"
                         "                     update: how long to wait for a reader to be plugged in\n"
                         "                     again (default 300)\n"
                         "  -h, --help         this help; COMMAND --help: the command's own\n"
                         "  -v, --version      the version\n"
                         "\n"
                         "Results go to standard output, messages to standard error.\n"
                         "Exit status: 0 done; 1 the reader refused or failed (diff: differs); 2 usage;\n"
                         "3 no reader found within the time limit (or its port cannot be used); 4 a file\n"
                         "that cannot be read or written, or is not a valid .rcf/.hfw; 130 ended by a\n"
                         "signal before it was done. With several readers the gravest: 130, then 1,\n"
                         "then 4, then 3. See limra-cli(1).\n");
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
                             "port's name; with --all one of them is needed. Missing folders are made. Two\n"
                             "readers whose names come out the same get files of their own (-2, -3 before\n"
                             "the extension), and standard error says so. FILE - is standard output; a\n"
                             "device or a FIFO (/dev/stdout too) is written through, a symbolic link to a\n"
                             "file is refused (exit 4).\n");
    case Command::WriteConfig:
        return synopsis
            + QStringLiteral("write-config FILE\n"
                             "Writes the configuration file FILE (.rcf) into the reader, as the window\n"
                             "writes a file it loaded. The configuration the reader holds is kept first, in\n"
                             "the same place as the window keeps it, and the window lists it; when it\n"
                             "cannot be kept nothing is written. The reader then returns to card reading.\n"
                             "In the protected read modes (object code, pass zones) the reader then waits\n"
                             "for the master card with the object code: standard error says what to\n"
                             "present, and the command waits for it. When it does not come, the\n"
                             "configuration stays written without the object code: the command says so\n"
                             "and where the earlier configuration is kept (exit status 1).\n"
                             "FILE may be the JSON that read-config --json shows (one object): its items\n"
                             "go over the reader's configuration; keys are not in it, the reader's stay.\n"
                             "FILE - reads standard input.\n");
    case Command::Diff:
        return synopsis
            + QStringLiteral("diff FILE\n"
                             "Compares the reader's configuration with FILE (.rcf, or read-config's JSON),\n"
                             "as write-config would write it, item by item in the editor's words: one line\n"
                             "per item that differs, the reader's value, then the file's (keys are only\n"
                             "said to differ). With --all one line per reader. Exit status 0 when equal,\n"
                             "1 when not. JSON: {\"equal\", \"differences\": [{\"item\", \"reader\", \"file\"}]}.\n");
    case Command::MasterCardsCreate:
    case Command::MasterCardsClear:
        return synopsis
            + QStringLiteral("master-cards create --count N [--protected] [FILE]\n"
                             "       master-cards clear [--count N]\n"
                             "create: the reader writes N master cards (1 to 5) with its own configuration,\n"
                             "or with FILE's (.rcf or read-config's JSON) laid over it; standard error says\n"
                             "which card to present and the seconds left. --protected: the protected read\n"
                             "mode of the readers given these cards can be removed only with them.\n"
                             "clear: the reader clears every master card presented, until N are cleared\n"
                             "or Ctrl+C.\n"
                             "The reader goes back to card reading at every end, also on a signal.\n");
    case Command::DefaultConfig:
        return synopsis
            + QStringLiteral("default-config [-o FILE]\n"
                             "The factory default configuration, shown as read-config shows it, or\n"
                             "saved to FILE (.rcf) with -o. Nothing is sent to a reader.\n");
    case Command::Update:
        return synopsis
            + QStringLiteral("update [--skip-unfit] IMAGE\n"
                             "Updates the reader's firmware from IMAGE (.hfw). Progress and the time left go\n"
                             "to standard error: a bar on a terminal, plain lines otherwise. A reader left\n"
                             "in its loader by an update that broke off is finished, from the first block;\n"
                             "a loader that took part of an image must be unplugged and plugged in again\n"
                             "first (standard error says so; --loader-wait SECONDS, default 300, is how long\n"
                             "that is waited for). The update is done once the reader has restarted into its\n"
                             "new firmware and told its version (shown, and \"firmware\" in JSON). An update\n"
                             "whose reader could not be marked as left in its loader does not start (exit 4).\n"
                             "SIGINT and SIGTERM during the upload let it finish first: cut off, it would\n"
                             "leave the reader in its loader. A reader the image has no firmware for fails\n"
                             "(\"no firmware for this reader\"); with several readers --skip-unfit leaves\n"
                             "such readers alone. With several readers the progress is one figure over all\n"
                             "their blocks.\n");
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
