// One copy per user and graphical session: the meeting point of the copies,
// a second start handing over to the first, and other local users who try
// to get there first.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/instanceguard.h"
#include "tests/support/environment.h"
#include "tests/support/filemode.h"
#include "tests/support/otheruser.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

QString privateFolder(QTemporaryDir &dir)
{
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    return dir.path();
}

} // namespace

TEST(InstanceGuardTest, ASecondStartAsksTheFirstToShowItself)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("instance-test"));
    InstanceGuard first(path);
    EXPECT_FALSE(first.anotherCopyRuns());
    ASSERT_TRUE(first.listen());
    int shown = 0;
    QObject::connect(&first, &InstanceGuard::showRequested, [&] { ++shown; });
    {
        InstanceGuard second(path);
        EXPECT_TRUE(second.anotherCopyRuns());
        EXPECT_FALSE(second.listen()) << "a second copy must not take over the meeting point";
    }
    EXPECT_TRUE(waitUntil([&] { return shown == 1; }));
    InstanceGuard third(path);
    EXPECT_TRUE(third.anotherCopyRuns());
    EXPECT_TRUE(waitUntil([&] { return shown == 2; }));
}

TEST(InstanceGuardTest, AfterTheFirstCopyEndsTheNextStartIsTheFirst)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("instance-test"));
    {
        InstanceGuard first(path);
        EXPECT_FALSE(first.anotherCopyRuns());
        ASSERT_TRUE(first.listen());
    }
    EXPECT_FALSE(QFileInfo::exists(path)) << "an orderly end removes the socket";
    // A copy killed outright leaves its socket behind, but nobody listens there.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(stale);
    ASSERT_TRUE(QFileInfo::exists(path));

    InstanceGuard next(path);
    EXPECT_FALSE(next.anotherCopyRuns());
    ASSERT_TRUE(next.listen());
    int shown = 0;
    QObject::connect(&next, &InstanceGuard::showRequested, [&] { ++shown; });
    InstanceGuard later(path);
    EXPECT_TRUE(later.anotherCopyRuns());
    EXPECT_TRUE(waitUntil([&] { return shown == 1; }));
}

TEST(InstanceGuardTest, EachGraphicalSessionHasItsOwnMeetingPoint)
{
    QTemporaryDir runtime;
    ScopedEnvironment env;
    env.set("XDG_RUNTIME_DIR", privateFolder(runtime));
    const QString folder = runtime.path() + QStringLiteral("/limra-rfid/");
    struct Case {
        const char *wayland;
        const char *display;
        const char *socket;
    };
    const Case cases[] = {
        {nullptr, ":1", "instance-_1"},
        {nullptr, ":1.0", "instance-_1"}, // another screen of the same display
        {nullptr, "localhost:10.0", "instance-localhost_10"},
        {"wayland-0", ":0", "instance-wayland-0"},
        {"/run/user/1000/wayland-1", nullptr, "instance-_run_user_1000_wayland-1"},
        {nullptr, nullptr, "instance-none"},
    };
    for (const Case &c : cases) {
        env.set("WAYLAND_DISPLAY", c.wayland ? QString::fromLatin1(c.wayland) : QString());
        env.set("DISPLAY", c.display ? QString::fromLatin1(c.display) : QString());
        EXPECT_EQ(instanceSocketPath(), folder + QLatin1String(c.socket)) << c.display << " " << c.wayland;
    }
    EXPECT_EQ(fileMode(folder), 0700);

    // A copy on display :1 does not keep one on display :2 from starting.
    env.set("WAYLAND_DISPLAY", QString());
    env.set("DISPLAY", QStringLiteral(":1"));
    InstanceGuard onFirst(instanceSocketPath());
    EXPECT_FALSE(onFirst.anotherCopyRuns());
    ASSERT_TRUE(onFirst.listen());
    env.set("DISPLAY", QStringLiteral(":2"));
    InstanceGuard onSecond(instanceSocketPath());
    EXPECT_FALSE(onSecond.anotherCopyRuns());
    env.set("DISPLAY", QStringLiteral(":1.1"));
    InstanceGuard againOnFirst(instanceSocketPath());
    EXPECT_TRUE(againOnFirst.anotherCopyRuns());
}

TEST(InstanceGuardTest, ARuntimeFolderOthersMayWriteIntoIsNotUsed)
{
    QTemporaryDir open, temporary;
    ::chmod(QFile::encodeName(open.path()).constData(), 0777);
    ScopedEnvironment env;
    env.set("XDG_RUNTIME_DIR", open.path());
    env.set("TMPDIR", temporary.path());
    env.set("DISPLAY", QStringLiteral(":5"));
    env.set("WAYLAND_DISPLAY", QString());
    const QString fallback = QStringLiteral("%1/limra-rfid-%2").arg(temporary.path()).arg(::getuid());
    EXPECT_EQ(instanceSocketPath(), fallback + QStringLiteral("/instance-_5"));
    EXPECT_EQ(fileMode(fallback), 0700);
    EXPECT_FALSE(QFileInfo::exists(open.filePath(QStringLiteral("limra-rfid"))));

    // The fallback folder made open to others (or another's) is refused too: no guard then.
    ::chmod(QFile::encodeName(fallback).constData(), 0777);
    EXPECT_TRUE(instanceSocketPath().isEmpty());
    InstanceGuard unguarded(instanceSocketPath());
    EXPECT_FALSE(unguarded.anotherCopyRuns());
}

// As root: nobody listens first at the path older versions used, and takes
// this user's fallback folder with a socket and a held lock in it; none of it
// keeps the tool from starting, and the tool does not even knock.
TEST(InstanceGuardTest, AnotherUserListeningFirstCannotStopTheTool)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    SharedTemporaryFolder temporary;
    QTemporaryDir runtime;
    ScopedEnvironment env;
    env.set("TMPDIR", temporary.path());
    env.set("DISPLAY", QStringLiteral(":7"));
    env.set("WAYLAND_DISPLAY", QString());
    const QString oldStyle = QStringLiteral("%1/limra-rfid-instance-%2").arg(temporary.path()).arg(::getuid());
    const QString squatted = QStringLiteral("%1/limra-rfid-%2").arg(temporary.path()).arg(::getuid());
    OtherUserListener nobody;
    ASSERT_TRUE(nobody.start({squatted}, {oldStyle, squatted + QStringLiteral("/instance-_7")},
                             {squatted + QStringLiteral("/instance-_7.lock")}));

    env.set("XDG_RUNTIME_DIR", privateFolder(runtime));
    {
        InstanceGuard guard(instanceSocketPath());
        EXPECT_TRUE(instanceSocketPath().startsWith(runtime.path()));
        EXPECT_FALSE(guard.anotherCopyRuns());
        EXPECT_TRUE(guard.listen());
    }
    env.set("XDG_RUNTIME_DIR", QString());
    {
        EXPECT_TRUE(instanceSocketPath().isEmpty()) << instanceSocketPath().toStdString();
        InstanceGuard guard(instanceSocketPath());
        EXPECT_FALSE(guard.anotherCopyRuns());
    }
    EXPECT_EQ(nobody.connections(), 0);
}
