#pragma once
// The command line of limra-cli: global options, one command and its
// arguments, and the help texts.
#include <QString>
#include <QStringList>

#include "link/timings.h"

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

enum class Command { None, List, Version, ReadConfig, WriteConfig, DefaultConfig, Update, Watch };

struct Options {
    Command command = Command::None;
    QString port;     // --port: the reader on this port
    bool all = false; // --all: every reader found
    bool json = false;
    int timeoutMs = Timings().findReaders; // --timeout: the time to find the readers
    QString output;       // -o FILE
    QString file;         // write-config FILE, update IMAGE
    int count = 0;        // watch --count N (0: until ended)
    bool hex = false;     // watch --hex
    bool help = false;
    bool version = false;

    // Whether the command talks to readers at all.
    bool needsReader() const { return command != Command::DefaultConfig && command != Command::None; }
    // Whether the command runs on every reader found: --all, and list without --port.
    bool everyReader() const { return all || (command == Command::List && port.isEmpty()); }
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
