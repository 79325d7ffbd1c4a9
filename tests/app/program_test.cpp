// The program itself: its command line, its window's title on the X server,
// where it writes its settings (next to a portable copy, in the user's
// configuration folder when installed or run as root), one copy per
// graphical session, and the settings written when it is ended with SIGTERM.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCheckBox>

#include "station/settings.h"
#include "config/ui/configpage.h"
#include "platform/instanceguard.h"
#include "tests/support/children.h"
#include "tests/support/otheruser.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace limra;
using limra::testing::child;

namespace {

constexpr uid_t kNobody = 65534;

// The titles (_NET_WM_NAME) of the top-level windows of process `pid` on the
// X server; of those on the screen only, if asked.
QStringList windowTitlesOf(qint64 pid, bool viewableOnly = false)
{
    QStringList out;
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return out;
    // Windows of other tests come and go meanwhile: a window gone is no error.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom netPid = XInternAtom(d, "_NET_WM_PID", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char *data = nullptr;
            qint64 owner = -1;
            if (XGetWindowProperty(d, children[i], netPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                                   &data) == Success && data) {
                if (items == 1)
                    owner = qint64(*reinterpret_cast<unsigned long *>(data));
                XFree(data);
            }
            data = nullptr;
            XWindowAttributes attributes{};
            if (owner == pid && viewableOnly
                && (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable))
                owner = -1;
            if (owner == pid
                && XGetWindowProperty(d, children[i], netName, 0, 1024, False, utf8, &type, &format, &items, &after,
                                      &data) == Success && data) {
                out << QString::fromUtf8(reinterpret_cast<char *>(data), int(items));
                XFree(data);
            }
        }
        XFree(children);
    }
    XCloseDisplay(d);
    return out;
}

QString caption()
{
    return QStringLiteral("ЛИМРА Контроль доступа - RFID ") + QStringLiteral(LIMRA_VERSION);
}

void chownTree(const QString &path, uid_t uid)
{
    EXPECT_EQ(::chown(QFile::encodeName(path).constData(), uid, uid), 0);
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_EQ(::lchown(QFile::encodeName(it.next()).constData(), uid, uid), 0);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

// A copy of the program in a folder of its own (`place` below a temporary
// folder: "" for a portable copy, "usr/bin" for an installed one), run with
// its own home, configuration, data and runtime folders, as root or as an
// ordinary user (nobody, when the tests run as root).
class ProgramCopy {
public:
    ProgramCopy(const QString &place, bool ordinaryUser)
        : m_uid(ordinaryUser && ::getuid() == 0 ? kNobody : ::getuid())
    {
        const QString base = m_base.path();
        m_folder = place.isEmpty() ? base + QStringLiteral("/portable") : base + QLatin1Char('/') + place;
        for (const QString &f : {m_folder, home(), runtime()})
            QDir().mkpath(f);
        ::chmod(QFile::encodeName(runtime()).constData(), 0700);
        QFile::copy(QStringLiteral(LIMRA_PROGRAM), program());
        chownTree(base, m_uid);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.insert(QStringLiteral("HOME"), home());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home() + QStringLiteral("/.config"));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), home() + QStringLiteral("/.local/share"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
    }
    ~ProgramCopy()
    {
        for (QProcess *p : {&process, &second})
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
    }

    QString folder() const { return m_folder; }
    QString program() const { return m_folder + QStringLiteral("/limra-rfid"); }
    QString home() const { return m_base.path() + QStringLiteral("/home"); }
    QString configFolder() const { return home() + QStringLiteral("/.config/limra-rfid"); }
    QString runtime() const { return m_base.path() + QStringLiteral("/runtime"); }
    QProcessEnvironment &environment() { return m_env; }

    void start(QProcess &p, const QStringList &arguments = {})
    {
        p.setProcessEnvironment(m_env);
        const uid_t uid = m_uid;
        if (uid != ::getuid())
            p.setChildProcessModifier([uid] {
                if (::setgid(uid) != 0 || ::setuid(uid) != 0)
                    ::_exit(126);
            });
        p.start(program(), arguments);
    }
    bool startWithWindow()
    {
        start(process);
        return process.waitForStarted()
               && limra::testing::waitUntil([&] { return windowTitlesOf(process.processId()).contains(caption()); },
                                            8000);
    }
    // SIGTERM: the window closes the ordinary way.
    bool terminate()
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    }

    QProcess process;
    QProcess second;

private:
    QTemporaryDir m_base;
    uid_t m_uid;
    QString m_folder;
    QProcessEnvironment m_env;
};

bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace

// --- The command line, answered without any display --------------------------

struct CommandLineCase {
    const char *name;
    QStringList arguments;
    int exitCode;
    const char *out;   // standard output starts with this
    const char *error; // standard error contains this ("" for nothing at all)
};

class ProgramCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ProgramCommandLine, AnswersOnTheTerminalWithoutADisplay)
{
    const CommandLineCase &c = GetParam();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(LIMRA_PROGRAM), c.arguments);
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "no abort, no core dump";
    EXPECT_EQ(program.exitCode(), c.exitCode);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    if (*c.out) {
        EXPECT_TRUE(out.startsWith(QLatin1String(c.out))) << out.toStdString();
    }
    if (*c.error == 0) {
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    } else {
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    }
    if (c.exitCode == 1) { // a start without a display says so in one line
        EXPECT_EQ(error.count(QLatin1Char('\n')), 1) << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, ProgramCommandLine,
    ::testing::Values(
        CommandLineCase{"Version", {QStringLiteral("--version")}, 0, "limra-rfid " LIMRA_VERSION "\n", ""},
        CommandLineCase{"ShortVersion", {QStringLiteral("-v")}, 0, "limra-rfid " LIMRA_VERSION "\n", ""},
        CommandLineCase{"Help", {QStringLiteral("--help")}, 0, "Usage: limra-rfid [OPTION]...\n", ""},
        CommandLineCase{"ShortHelp", {QStringLiteral("-h")}, 0, "Usage: limra-rfid [OPTION]...\n", ""},
        CommandLineCase{"HelpAfterAQtOption", {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--help")},
                        0, "Usage: limra-rfid", ""},
        CommandLineCase{"UnknownOption", {QStringLiteral("--frobnicate")}, 2, "", "unknown option '--frobnicate'"},
        CommandLineCase{"UnknownShortOption", {QStringLiteral("-x")}, 2, "", "Try 'limra-rfid --help'"},
        CommandLineCase{"AFileName", {QStringLiteral("conf.rcf")}, 2, "", "unexpected argument 'conf.rcf'"},
        CommandLineCase{"QtOptionWithoutItsValue", {QStringLiteral("-style")}, 2, "", "'-style' needs a value"},
        CommandLineCase{"NoDisplay", {}, 1, "", "no graphical display"},
        CommandLineCase{"NoDisplayForX11", {QStringLiteral("-platform"), QStringLiteral("xcb")}, 1, "",
                        "no graphical display"}),
    [](const ::testing::TestParamInfo<CommandLineCase> &param) { return std::string(param.param.name); });

TEST(Program, ADisplayThatCannotBeOpenedIsOneLineAndNoCoreDump)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":64999"));
    QTemporaryDir runtime;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(LIMRA_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(error.count(QLatin1Char('\n')), 1) << error.toStdString();
    EXPECT_TRUE(error.startsWith(QLatin1String("limra-rfid: cannot open the window: "))) << error.toStdString();
}

// --- Notices nobody clicked for ------------------------------------------------------

namespace {
// The window that has the keyboard on the X server.
unsigned long inputFocus()
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    XCloseDisplay(d);
    return focus;
}
// Sends the running program a message on its one-copy socket and waits
// until it has read it and closed the connection.
bool programTookMessage(const QString &socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath);
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool took = false;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::send(fd, "noop", 4, MSG_NOSIGNAL) == 4) {
        char c;
        timeval limit{30, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        took = ::recv(fd, &c, 1, 0) == 0; // the program closed it: it has read it
    }
    ::close(fd);
    return took;
}
} // namespace

// The user types into another program (card identifiers, say) while the tool
// sits behind it; a reader connects and the tool tells that it read the
// configuration. The notice shows, and the keyboard stays with the program
// the user types into.
TEST(ProgramNotices, AReadersNoticeLeavesTheKeyboardWithTheProgramInFront)
{
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X display";
    ProgramCopy copy(QString(), false);
    ASSERT_TRUE(copy.startWithWindow()) << copy.process.readAllStandardError().toStdString();
    QProcess typist;
    typist.start(QStringLiteral(LIMRA_XTYPIST), QStringList());
    ASSERT_TRUE(typist.waitForStarted());
    ASSERT_TRUE(limra::testing::waitUntil([&] { return typist.readAllStandardOutput().contains("ready"); }, 5000));
    const unsigned long typing = inputFocus();
    ASSERT_NE(typing, 0ul);

    // A reader among the program's virtual readers.
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(copy.runtime()));
    limra::testing::SimReader sim(QStringLiteral("notice"));
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    ASSERT_TRUE(sim.plugged) << qPrintable(sim.error);

    const QString notice = QStringLiteral("ЛИМРА Контроль доступа - RFID");
    EXPECT_TRUE(limra::testing::waitUntil(
        [&] { return windowTitlesOf(copy.process.processId()).contains(notice); }, 10000))
        << "no notice of the configuration read";
    // A focus change would come from the program once its notice is on the
    // screen: the notice is there, and the program's event loop has taken two
    // messages on its one-copy socket since.
    EXPECT_TRUE(limra::testing::waitUntil(
        [&] { return windowTitlesOf(copy.process.processId(), true).contains(notice); }, 10000));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(copy.runtime()));
    const QString socketPath = instanceSocketPath();
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    for (int turn = 0; turn < 2; ++turn)
        EXPECT_TRUE(programTookMessage(socketPath)) << turn;
    EXPECT_EQ(inputFocus(), typing) << "the notice took the keyboard";
    typist.kill();
    typist.waitForFinished(3000);
    EXPECT_TRUE(copy.terminate());
}

// --- Where the settings live -----------------------------------------------------

TEST(SettingsPlaceTest, InstalledRootAndReadOnlyCopiesUseTheConfigurationFolder)
{
    struct Case {
        const char *folder;
        bool writable;
        bool root;
        SettingsPlace place;
    };
    const Case cases[] = {
        {"/usr/bin", false, false, SettingsPlace::UserConfigFolder},
        {"/usr/bin", true, true, SettingsPlace::UserConfigFolder},
        {"/usr/local/bin", true, false, SettingsPlace::UserConfigFolder},
        {"/tmp/scratch/usr/bin", true, false, SettingsPlace::UserConfigFolder},
        {"/home/tech/limra", true, false, SettingsPlace::NextToProgram},
        {"/home/tech/limra", true, true, SettingsPlace::UserConfigFolder},
        {"/home/tech/usrbin", true, false, SettingsPlace::NextToProgram}, // only a folder named usr counts
        {"/media/stick/limra", false, false, SettingsPlace::UserConfigFolder},
    };
    for (const Case &c : cases)
        EXPECT_EQ(settingsPlace(QString::fromLatin1(c.folder), c.writable, c.root), c.place)
            << c.folder << " writable " << c.writable << " root " << c.root;
}

struct PlaceCase {
    const char *name;
    const char *place;  // where the copy lies below its temporary folder
    bool ordinaryUser;  // run as nobody when the tests run as root
    bool nextToProgram; // settings.ini next to the copy, else in the configuration folder
};

class ProgramPlaces : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(ProgramPlaces, ItsTitleIsItsCaptionAndSigtermWritesTheSettingsInTheirPlace)
{
    const PlaceCase &c = GetParam();
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X server";
    if (!c.ordinaryUser && ::getuid() != 0)
        GTEST_SKIP() << "a case for root";
    ProgramCopy copy(QLatin1String(c.place), c.ordinaryUser);
    ASSERT_TRUE(copy.startWithWindow()) << copy.process.readAllStandardError().toStdString();
    ASSERT_TRUE(copy.terminate()) << copy.process.readAllStandardError().toStdString();
    const QString settings = (c.nextToProgram ? copy.folder() : copy.configFolder()) + QStringLiteral("/settings.ini");
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << settings.toStdString();
    EXPECT_TRUE(file.readAll().contains("viewmode=1"));
    if (!c.nextToProgram)
        EXPECT_EQ(entriesOf(copy.folder()), QStringList{QStringLiteral("limra-rfid")})
            << "the program leaves no file next to itself";
    else
        EXPECT_FALSE(QFile::exists(copy.configFolder() + QStringLiteral("/settings.ini")));
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramPlaces,
                         ::testing::Values(PlaceCase{"PortableCopy", "", true, true},
                                           PlaceCase{"InstalledCopy", "usr/bin", true, false},
                                           PlaceCase{"InstalledCopyRunByRoot", "usr/bin", false, false},
                                           PlaceCase{"PortableCopyRunByRoot", "", false, false}),
                         [](const ::testing::TestParamInfo<PlaceCase> &param) { return std::string(param.param.name); });

// --- One copy per graphical session ------------------------------------------------

TEST(Program, ASecondStartHandsOverToTheFirstAndSaysSo)
{
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X server";
    ProgramCopy copy(QStringLiteral("usr/bin"), true);
    ASSERT_TRUE(copy.startWithWindow()) << copy.process.readAllStandardError().toStdString();
    copy.start(copy.second);
    ASSERT_TRUE(copy.second.waitForFinished(5000));
    EXPECT_EQ(copy.second.exitCode(), 0);
    EXPECT_TRUE(copy.second.readAllStandardError().contains("already running"));
    EXPECT_EQ(copy.process.state(), QProcess::Running);
    EXPECT_TRUE(copy.terminate());
}

// As root: nobody listens first where older versions met (a socket in the
// temporary folder) and takes this user's fallback runtime folder; the tool
// starts all the same and does not even knock.
TEST(Program, AnotherUserListeningFirstDoesNotStopIt)
{
    if (!haveDisplay())
        GTEST_SKIP() << "needs an X server";
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    limra::testing::SharedTemporaryFolder temporary;
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QLatin1Char(':'), QLatin1Char('_'));
    display = display.section(QLatin1Char('.'), 0, 0);
    const QString squatted = QStringLiteral("%1/limra-rfid-0").arg(temporary.path());
    limra::testing::OtherUserListener nobody;
    ASSERT_TRUE(nobody.start({squatted},
                             {temporary.path() + QStringLiteral("/limra-rfid-instance-0"),
                              squatted + QStringLiteral("/instance-") + display},
                             {squatted + QStringLiteral("/instance-") + display + QStringLiteral(".lock")}));
    ProgramCopy copy(QStringLiteral("usr/bin"), false);
    copy.environment().insert(QStringLiteral("TMPDIR"), temporary.path());
    copy.environment().remove(QStringLiteral("XDG_RUNTIME_DIR"));
    ASSERT_TRUE(copy.startWithWindow()) << copy.process.readAllStandardError().toStdString();
    EXPECT_EQ(nobody.connections(), 0);
    EXPECT_TRUE(copy.terminate());
}

// --- Typing in a Wayland session ----------------------------------------------------

struct SessionCase {
    const char *name;
    const char *sessionType;
    const char *waylandDisplay;
    const char *display;
    bool typingEnabled;
    const char *says; // the option's tooltip and accessible description contain this ("" for no tooltip)
};

class TypingOption : public ::testing::TestWithParam<SessionCase> {};

TEST_P(TypingOption, TellsHowFarTypingReachesInThisSession)
{
    const SessionCase &c = GetParam();
    const char *names[] = {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY"};
    const char *values[] = {c.sessionType, c.waylandDisplay, c.display};
    QByteArray saved[3];
    bool wasSet[3];
    for (int i = 0; i < 3; ++i) {
        wasSet[i] = qEnvironmentVariableIsSet(names[i]);
        saved[i] = qgetenv(names[i]);
        if (values[i])
            qputenv(names[i], values[i]);
        else
            qunsetenv(names[i]);
    }
    {
        limra::testing::ToolServices tool;
        MainWindow window(tool.station(), tool.services());
        window.show();
        const QCheckBox *typing = child<QCheckBox>(window.configPage(), "toKeyboard");
        // The whole tab area waits for a reader; the option itself is what counts here.
        EXPECT_EQ(typing->isEnabledTo(window.configPage()), c.typingEnabled);
        EXPECT_EQ(typing->toolTip(), typing->accessibleDescription());
        if (*c.says == 0) {
            EXPECT_TRUE(typing->toolTip().isEmpty()) << typing->toolTip().toStdString();
        } else {
            EXPECT_TRUE(typing->toolTip().contains(QString::fromUtf8(c.says))) << typing->toolTip().toStdString();
            EXPECT_TRUE(typing->toolTip().contains(child<QCheckBox>(window.configPage(), "toClipboard")->text()))
                << "names the clipboard option, which works everywhere";
        }
        window.close();
    }
    for (int i = 0; i < 3; ++i) {
        if (wasSet[i])
            qputenv(names[i], saved[i]);
        else
            qunsetenv(names[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, TypingOption,
    ::testing::Values(SessionCase{"X11", "x11", nullptr, ":0", true, ""},
                      SessionCase{"WaylandSession", "wayland", nullptr, ":0", true, "только до программ, работающих через XWayland"},
                      SessionCase{"WaylandDisplay", nullptr, "wayland-0", ":0", true, "через XWayland"},
                      SessionCase{"WaylandWithoutXWayland", "wayland", "wayland-0", nullptr, false, "Набор недоступен"},
                      SessionCase{"NoDisplayAtAll", nullptr, nullptr, nullptr, false, "Набор недоступен"}),
    [](const ::testing::TestParamInfo<SessionCase> &param) { return std::string(param.param.name); });
