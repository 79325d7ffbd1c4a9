// The whole tool against a reader that floods it with random and malformed
// traffic and unplugs itself now and then: the tool stays alive and answers.
#include <gtest/gtest.h>

#include <QProcess>

#include "app/station.h"
#include "link/session.h"
#include "platform/virtualreaders.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

TEST(HostileReader, TheToolStaysAliveAndAnswers)
{
    ToolServices tool;
    MainWindow window(tool.station(), tool.services());
    window.show();

    const QString name = QStringLiteral("hostile%1").arg(QCoreApplication::applicationPid());
    tool.ports.virtuals = {virtualReadersDir() + QLatin1Char('/') + name};
    QProcess hostile;
    hostile.start(QStringLiteral(LIMRA_HOSTILEREADER),
                  {QStringLiteral("--name"), name, QStringLiteral("--seconds"), QStringLiteral("4")});
    ASSERT_TRUE(hostile.waitForStarted());

    ResponsivenessProbe probe;
    int connections = 0;
    QObject::connect(&window.station().session(), &ReaderSession::connected, [&] { ++connections; });
    waitUntil([&] { return hostile.state() == QProcess::NotRunning; }, 8000);
    EXPECT_GE(connections, 1);
    EXPECT_LT(probe.worstGapMs(), 500) << "the window did not answer for " << probe.worstGapMs() << " ms";
    window.close();
}
