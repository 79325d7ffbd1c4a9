// limra-rfid: the service tool for the USB card readers.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "station/settings.h"
#include "station/station.h"
#include "app/ui/mainwindow.h"
#include "common/texts.h"
#include "common/ui/focusstyle.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/instanceguard.h"
#include "platform/keyinjector.h"
#include "platform/qtserialport.h"
#include "platform/systemdevices.h"
#include "platform/ui/qtclipboard.h"
#include "platform/ui/qtdialogs.h"
#include "platform/ui/qttray.h"

namespace {

constexpr char kProgram[] = "limra-rfid";
constexpr int kUsageError = 2;

const char kUsage[] =
    "Usage: limra-rfid [OPTION]...\n"
    "Service tool for the LIMRA USB RFID card readers: card identification,\n"
    "reader configuration, master and secure cards, firmware update.\n"
    "\n"
    "  -h, --help       show this help and exit\n"
    "  -v, --version    show the version and exit\n"
    "\n"
    "Qt's own options (-platform NAME, -display NAME, -style NAME, -reverse, ...)\n"
    "are passed on. Another start in the same graphical session brings the\n"
    "running window to the front. See limra-rfid(1) for where the files live.\n";

// Qt's own options that the application object takes out of the arguments;
// the first group takes a value.
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                                           "style", "stylesheet", "session", "name", "title", "geometry",
                                           "qwindowgeometry", "qwindowtitle", "qwindowicon"};
const char *const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount", "qwindowalwaysontop"};

enum class Request { Run, Help, Version, UsageError };

struct CommandLine {
    explicit CommandLine(Request r = Request::Run) : request(r) {}
    Request request;
    std::string platform; // from -platform
    bool display = false; // -display names the X display
    std::string problem;
};

// Qt's "-name" and "--name" forms of an option, without the dashes.
std::string qtOptionName(const std::string &arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return std::string();
    return arg.substr(arg.compare(0, 2, "--") == 0 ? 2 : 1);
}

template <size_t N>
bool isOneOf(const std::string &name, const char *const (&names)[N])
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

CommandLine parseCommandLine(int argc, char **argv)
{
    CommandLine out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help")
            return CommandLine{Request::Help};
        if (arg == "-v" || arg == "--version")
            return CommandLine{Request::Version};
        const std::string name = qtOptionName(arg);
        if (isOneOf(name, kQtOptionsWithValue)) {
            if (i + 1 >= argc) {
                out.request = Request::UsageError;
                out.problem = "option '" + arg + "' needs a value";
                return out;
            }
            const std::string value = argv[++i];
            if (name == "platform")
                out.platform = value;
            out.display = out.display || name == "display";
            continue;
        }
        if (isOneOf(name, kQtFlags))
            continue;
        out.request = Request::UsageError;
        out.problem = name.empty() ? "unexpected argument '" + arg + "'" : "unknown option '" + arg + "'";
        return out;
    }
    return out;
}

bool hasEnvironment(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

// A window system the chosen platform can reach: X11 needs $DISPLAY and
// Wayland $WAYLAND_DISPLAY; other platforms (offscreen, vnc, ...) need none.
// Without a choice Qt tries Wayland in a Wayland session, else X11.
bool displayReachable(std::string platforms, bool xDisplayNamed)
{
    if (platforms.empty() && hasEnvironment("QT_QPA_PLATFORM"))
        platforms = std::getenv("QT_QPA_PLATFORM");
    const bool x11 = xDisplayNamed || hasEnvironment("DISPLAY");
    if (platforms.empty())
        return x11 || hasEnvironment("WAYLAND_DISPLAY");
    size_t start = 0;
    while (start <= platforms.size()) {
        size_t end = platforms.find(';', start);
        if (end == std::string::npos)
            end = platforms.size();
        std::string platform = platforms.substr(start, end - start);
        platform = platform.substr(0, platform.find(':')); // "xcb:option" names xcb
        if (platform == "xcb") {
            if (x11)
                return true;
        } else if (platform.compare(0, 7, "wayland") == 0) {
            if (hasEnvironment("WAYLAND_DISPLAY"))
                return true;
        } else if (!platform.empty()) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// While the application object connects to the window system, Qt's messages
// are held back: a failure ends the program with one line instead of an
// abort and a core dump; after a success the held messages go out as usual.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> g_held;
QtMessageHandler g_previousHandler = nullptr;

void holdStartMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        QString reason = g_held.empty() ? text : g_held.front().text;
        reason = reason.section(QLatin1Char('\n'), 0, 0).trimmed();
        std::fprintf(stderr, "%s: cannot open the window: %s\n", kProgram, reason.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    g_held.push_back({type, context.category ? QByteArray(context.category) : QByteArray(), text});
}

void releaseStartMessages()
{
    qInstallMessageHandler(g_previousHandler);
    for (const HeldMessage &m : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.isEmpty() ? nullptr : m.category.constData());
        qt_message_output(m.type, context, m.text);
    }
    g_held.clear();
}

} // namespace

int main(int argc, char **argv)
{
    // The command line is answered before anything of the window system is touched.
    const CommandLine commandLine = parseCommandLine(argc, argv);
    switch (commandLine.request) {
    case Request::Help:
        std::fputs(kUsage, stdout);
        return EXIT_SUCCESS;
    case Request::Version:
        std::printf("%s %s\n", kProgram, LIMRA_VERSION);
        return EXIT_SUCCESS;
    case Request::UsageError:
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, commandLine.problem.c_str(),
                     kProgram);
        return kUsageError;
    case Request::Run:
        break;
    }
    if (!displayReachable(commandLine.platform, commandLine.display)) {
        std::fprintf(stderr, "%s: no graphical display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set)\n",
                     kProgram);
        return EXIT_FAILURE;
    }

    // A second start in the same graphical session brings the running copy's window to the front.
    limra::InstanceGuard guard(limra::instanceSocketPath());
    if (guard.anotherCopyRuns()) {
        std::fprintf(stderr, "%s: already running; its window is brought to the front\n", kProgram);
        return EXIT_SUCCESS;
    }

    g_previousHandler = qInstallMessageHandler(holdStartMessages);
    QApplication app(argc, argv);
    releaseStartMessages();
    // No application display name: Qt would add it to every window title,
    // and each title is exactly its caption.
    QApplication::setApplicationName(QStringLiteral("limra-rfid"));
    QApplication::setApplicationVersion(QStringLiteral(LIMRA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("limra-rfid"));
    QApplication::setQuitOnLastWindowClosed(false); // the window may sit in the tray
    limra::installRussianTranslation();
    QApplication::setStyle(new limra::FocusStyle); // the keyboard focus clearly visible
    guard.listen();

    limra::SystemPortEnumerator ports;
    limra::SystemDeviceMonitor monitor;
    limra::QtClipboard clipboard;
    const std::unique_ptr<limra::KeyInjector> keys = limra::createSystemKeyInjector();
    limra::QtTray tray(limra::MainWindow::appIcon(), limra::texts::kAppTitle);

    limra::ReaderStation::Platform platform;
    platform.ports = &ports;
    platform.deviceMonitor = &monitor;
    platform.portFactory = [] { return std::make_unique<limra::QtSerialPort>(); };
    platform.dataFolder = limra::userDataFolder();
    limra::ReaderStation station(platform, limra::programTimings());

    limra::QtDialogs dialogs;
    limra::Services services;
    services.dialogs = &dialogs;
    services.clipboard = &clipboard;
    services.keys = keys.get();
    services.tray = &tray;
    services.settingsPath = limra::settingsFilePath();
    services.windowStatePath = limra::userStateFolder() + QStringLiteral("/window");

    limra::MainWindow window(station, services);
    dialogs.setParentWidget(&window);
    QObject::connect(&guard, &limra::InstanceGuard::showRequested, &window, &limra::MainWindow::bringToFront);
    // Logging out, kill, Ctrl+C: the window closes the ordinary way and the settings are written.
    limra::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &limra::TerminationSignals::terminationRequested, &window,
                     &limra::MainWindow::closeForTermination);
    window.show();
    return app.exec();
}
