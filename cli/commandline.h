#pragma once
// The command line of limra-cli: global options, one command and its
// arguments, and the help texts.
#include <QString>
#include <QStringList>

#include "common/timings.h"

namespace limra::cli {

// Exit statuses.
enum Exit {
    kDone = 0,
    kFailed = 1, // the reader refused or failed
    kUsage = 2,
    kNotFound = 3,      // no reader found within the time limit (or its port cannot be used)
    kBadFile = 4,       // a file that cannot be read or written, or is not a valid .rcf/.hfw
    kInterrupted = 130, // ended by a signal before it was done
};

enum class Command {
    None,
    List,
    Version,
    ReadConfig,
    WriteConfig,
    DefaultConfig,
    Update,
    Watch,
    Loaders,
    Diff,
    MasterCardsCreate,
    MasterCardsClear,
};

// What stands for the reader in an output file name.
inline constexpr char kSerialField[] = "{serial}";
inline constexpr char kPortField[] = "{port}";

struct Options {
    Command command = Command::None;
    QString port;     // --port: the reader on this port
    bool all = false; // --all: every reader found
    bool json = false;
    int timeoutMs = Timings().findReaders; // --timeout: the time to find the readers
    QString output;       // -o FILE
    QString file;         // write-config FILE, diff FILE, update IMAGE, master-cards create [FILE]; "-": standard input
    int count = 0;        // watch, master-cards --count N (0: until ended)
    bool hex = false;     // watch --hex
    // --loader-wait: how long an update waits for a reader to be plugged in again.
    int loaderWaitMs = Timings().loaderWait;
    QString forget;       // loaders --forget PORT|SERIAL
    QStringList serials;  // --serial S: only these readers
    QStringList excepted; // --except S: not these readers
    QString type;         // --type usb|ble: only readers of this kind
    bool skipUnfit = false;       // update --skip-unfit: readers the image has no firmware for are left alone
    bool protectedMode = false;   // master-cards create --protected
    bool help = false;
    bool version = false;

    // Whether the command talks to readers at all.
    bool needsReader() const
    {
        return command != Command::DefaultConfig && command != Command::Loaders && command != Command::None;
    }
    // Whether readers are chosen by serial number or kind.
    bool choosing() const { return !serials.isEmpty() || !excepted.isEmpty() || !type.isEmpty(); }
    // Whether the command runs on every reader found: --all, readers chosen
    // by serial or kind, and list without --port.
    bool everyReader() const { return all || choosing() || (command == Command::List && port.isEmpty()); }
    // Whether a reader with this serial number (as the status bar shows it:
    // "A102-0A1B2C3D") and kind is one the command is for.
    bool chosen(const QString &serial, bool ble) const;
};

struct ParsedCommandLine {
    Options options;
    QString problem; // a usage error; empty when the line is right
};

ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString commandName(Command command);
// The program's help, and a command's.
QString usageText();
QString commandHelp(Command command);
QString versionText();

} // namespace limra::cli
