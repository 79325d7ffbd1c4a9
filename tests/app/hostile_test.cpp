// The whole tool against a reader that floods it with random and malformed
// traffic and unplugs itself now and then: the tool stays alive and answers.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "app/ui/mainwindow.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "platform/virtualreaders.h"
#include "tests/support/fakeports.h"
#include "tests/support/faketray.h"
#include "tests/support/recordingkeys.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

TEST(HostileReader, TheToolStaysAliveAndAnswers)
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeClipboard clipboard;
    RecordingKeys keys;
    FakeTray tray;
    FakePortEnumerator ports;
    FakeDeviceMonitor monitor;
    Services s;
    s.dialogs = &dialogs;
    s.clipboard = &clipboard;
    s.keys = &keys;
    s.tray = &tray;
    s.ports = &ports;
    s.deviceMonitor = &monitor;
    s.portFactory = [] { return std::make_unique<QtSerialPort>(); };
    s.settingsPath = dir.filePath(QStringLiteral("settings.ini"));
    s.dataFolder = dir.path();
    MainWindow window(s);
    window.show();

    const QString name = QStringLiteral("hostile%1").arg(QCoreApplication::applicationPid());
    ports.virtuals = {virtualReadersDir() + QLatin1Char('/') + name};
    QProcess hostile;
    hostile.start(QStringLiteral(LIMRA_HOSTILEREADER),
                  {QStringLiteral("--name"), name, QStringLiteral("--seconds"), QStringLiteral("4")});
    ASSERT_TRUE(hostile.waitForStarted());

    // The window answers: a 20 ms timer is never held up for long.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    beat.start(20);
    int connections = 0;
    QObject::connect(&window.session(), &ReaderSession::connected, [&] { ++connections; });
    waitUntil([&] { return hostile.state() == QProcess::NotRunning; }, 8000);
    beat.stop();
    EXPECT_GE(connections, 1);
    EXPECT_LT(worst, 500) << "the window did not answer for " << worst << " ms";
    window.close();
}
