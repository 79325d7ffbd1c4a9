// limra-readersim as a program: it registers its link, serves the reader, and
// takes the link away on unplug and when it is ended.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <csignal>

#include "link/errors.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "platform/virtualreaders.h"
#include "tests/support/requests.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::await;
using limra::testing::hexBytes;
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
    EXPECT_TRUE(await(readerLink, hexBytes("FF01"), 2000).ok());

    QStringList seen;
    QObject::connect(&readerLink, &ReaderLink::identifierRead,
                     [&](const QString &id, IdKind kind) { seen << id + QString::number(int(kind)); });
    say("card mir 9876\n");
    EXPECT_TRUE(waitUntil([&] { return !seen.isEmpty(); }));
    EXPECT_EQ(seen.value(0), QStringLiteral("9876") + QString::number(int(IdKind::Mir)));

    say("unplug\n");
    EXPECT_TRUE(waitUntil([&] { return !QFileInfo(link).isSymLink(); }));
    say("plug\n");
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(link).isSymLink(); }));
    ::kill(pid_t(sim.processId()), SIGTERM);
    EXPECT_TRUE(sim.waitForFinished(3000));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}
