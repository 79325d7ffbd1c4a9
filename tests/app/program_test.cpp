// The program itself: its window's title on the X server, and the settings
// written when it is ended with SIGTERM. Runs a copy of the program in a
// folder of its own, so that its settings.ini lands there.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "tests/support/simreader.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// The titles (_NET_WM_NAME) of the top-level windows of the X server.
QStringList windowTitles()
{
    QStringList out;
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return out;
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(d, children[i], netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data)
                    == Success
                && data) {
                out << QString::fromUtf8(reinterpret_cast<char *>(data), int(items));
                XFree(data);
            }
        }
        XFree(children);
    }
    XCloseDisplay(d);
    return out;
}

} // namespace

TEST(Program, ItsTitleIsItsCaptionAndSigtermWritesTheSettings)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("limra-rfid"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LIMRA_PROGRAM), copy));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(env);
    program.start(copy, {});
    ASSERT_TRUE(program.waitForStarted());
    const QString caption = QStringLiteral("ЛИМРА Контроль доступа - RFID ") + QStringLiteral(LIMRA_VERSION);
    EXPECT_TRUE(limra::testing::waitUntil([&] { return windowTitles().contains(caption); }, 5000))
        << windowTitles().join(QStringLiteral(" | ")).toStdString() << program.readAllStandardError().toStdString();
    ASSERT_EQ(program.state(), QProcess::Running);
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    QFile settings(dir.filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("viewmode=1"));
}
