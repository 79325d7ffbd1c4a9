// limra-readersim as a program: it registers its link, serves the reader, and
// takes the link away on unplug and when it is ended.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <csignal>

#include "link/frame.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "platform/virtualreaders.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::waitUntil;

namespace {

class ReaderSimProcess : public ::testing::Test {
protected:
    void start(const QString &name)
    {
        link = virtualReadersDir() + QLatin1Char('/') + name;
        sim.start(QStringLiteral(LIMRA_READERSIM), {QStringLiteral("--quiet"), QStringLiteral("--name"), name});
        ASSERT_TRUE(sim.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(link).isSymLink(); }));
    }
    void say(const char *line)
    {
        sim.write(line);
        sim.waitForBytesWritten();
    }
    void TearDown() override
    {
        sim.kill();
        sim.waitForFinished();
    }
    // Sends a command and waits for its answer.
    static ReaderLink::Answer ask(ReaderLink &link, quint8 cmd)
    {
        std::optional<ReaderLink::Answer> got;
        link.send(payload(cmd, command::kVersion), 2000, nullptr, [&](const ReaderLink::Answer &a) { got = a; });
        waitUntil([&] { return got.has_value(); });
        return got.value_or(ReaderLink::Answer{LinkError::timedOut(), {}, {}});
    }
    QProcess sim;
    QString link;
};

} // namespace

TEST_F(ReaderSimProcess, ServesCardsAndRemovesItsLinkOnUnplugAndTerm)
{
    start(QStringLiteral("proc%1").arg(QCoreApplication::applicationPid()));
    ReaderLink readerLink;
    ReaderSession session(readerLink, [] { return std::make_unique<QtSerialPort>(); });
    ASSERT_TRUE(session.open(link));
    EXPECT_TRUE(ask(readerLink, command::Identify).ok());

    QStringList ids;
    QObject::connect(&readerLink, &ReaderLink::identifierRead,
                     [&](const QString &id, IdKind kind) { ids << id + QString::number(int(kind)); });
    say("card mir 9876\n");
    EXPECT_TRUE(waitUntil([&] { return !ids.isEmpty(); }));
    EXPECT_EQ(ids.value(0), QStringLiteral("9876") + QString::number(int(IdKind::Mir)));

    say("unplug\n");
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo(link).isSymLink(); }));
    say("plug\n");
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(link).isSymLink(); }));
    ::kill(pid_t(sim.processId()), SIGTERM);
    EXPECT_TRUE(sim.waitForFinished(3000));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// From the prompt: the restart's delay and a stuck loader, both listed by help.
TEST_F(ReaderSimProcess, ThePromptSetsTheRestartDelayAndAStuckLoader)
{
    start(QStringLiteral("procfw%1").arg(QCoreApplication::applicationPid()));
    say("help\n");
    EXPECT_TRUE(waitUntil([&] { return sim.readAllStandardOutput().contains("restart MS"); }));
    say("restart 300\nfault stuck 1\n");
    ReaderLink readerLink;
    ReaderSession session(readerLink, [] { return std::make_unique<QtSerialPort>(); });
    ASSERT_TRUE(session.open(link));
    QStringList lost;
    QObject::connect(&session, &ReaderSession::portLost, [&](const QString &port) { lost << port; });
    std::optional<ReaderLink::Answer> switched;
    readerLink.send(payload(command::SwitchToLoader, command::kVersion), 2000, nullptr,
                    [&](const ReaderLink::Answer &a) { switched = a; });
    ASSERT_TRUE(waitUntil([&] { return switched && !QFileInfo(link).isSymLink(); }));
    EXPECT_TRUE(switched->ok());
    QElapsedTimer away;
    away.start();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(link).isSymLink(); }));
    EXPECT_GE(away.elapsed(), 200);
    EXPECT_EQ(lost, QStringList{link});

    ASSERT_TRUE(session.open(link));
    // The loader says whether its next block starts an upload.
    sim.readAllStandardOutput();
    say("loader\n");
    QByteArray before;
    EXPECT_TRUE(waitUntil([&] { return (before += sim.readAllStandardOutput()).contains("fresh"); })) << before.constData();
    QList<QByteArray> answers;
    for (int i = 0; i < 2; ++i)
        readerLink.sendRaw(QByteArray(16, char('a' + i)), 300, nullptr,
                           [&](const ReaderLink::Answer &a) { answers << (a.ok() ? a.raw : QByteArray("none")); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (QList<QByteArray>{QByteArray("\x01\x00", 2), QByteArray("none")}));
    sim.readAllStandardOutput();
    say("loader\n");
    QByteArray said;
    EXPECT_TRUE(waitUntil([&] { return (said += sim.readAllStandardOutput()).contains("stuck"); }));
    EXPECT_TRUE(said.contains("blocks received: 2")) << said.constData();
    EXPECT_TRUE(said.contains("half-fed")) << said.constData();
}

// The prompt speaks hex: a refusal of one command with its code, the checksum
// reported with the configuration, and the configuration `state` shows.
TEST_F(ReaderSimProcess, ThePromptSetsFaultsAndShowsTheConfigurationInHex)
{
    start(QStringLiteral("procfault%1").arg(QCoreApplication::applicationPid()));
    ReaderLink readerLink;
    ReaderSession session(readerLink, [] { return std::make_unique<QtSerialPort>(); });
    ASSERT_TRUE(session.open(link));
    auto sayAndWait = [&](const char *lines) {
        sim.readAllStandardOutput();
        say(lines);
        say("state\n"); // answered once the lines before it were taken
        QByteArray out;
        EXPECT_TRUE(waitUntil([&] { return (out += sim.readAllStandardOutput()).contains("port: "); }));
        return out;
    };
    const QByteArray state = sayAndWait("fault refuse 0b01 0E\nchecksum 5a3c\n");
    EXPECT_TRUE(state.contains("configuration: 0202670003030000400601000401000501000C0800F8E00700F8E0FF\n"))
        << state.constData();
    EXPECT_EQ(ask(readerLink, command::ReadConfig).error, LinkError::refused(0x0E));
    EXPECT_TRUE(ask(readerLink, command::Identify).ok());

    sayAndWait("fault none\n");
    const ReaderLink::Answer read = ask(readerLink, command::ReadConfig);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.reply.item(tag::ObjectChecksum), QByteArray::fromHex("5A3C"));
}
