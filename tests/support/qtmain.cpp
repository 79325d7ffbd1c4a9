// Test entry point: a Qt application object for event loops, then GoogleTest.
#ifdef LIMRA_TESTS_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    // Each test program has a runtime folder of its own inside the tests'
    // one: the ports it claims, its virtual readers and its instance sockets
    // never meet those of a test program running beside it.
    QByteArray ownRuntime;
    if (const QByteArray shared = qgetenv("XDG_RUNTIME_DIR"); !shared.isEmpty()) {
        ownRuntime = shared + "/p" + QByteArray::number(qint64(::getpid()));
        if (::mkdir(ownRuntime.constData(), 0700) == 0 || errno == EEXIST)
            qputenv("XDG_RUNTIME_DIR", ownRuntime);
        else
            ownRuntime.clear();
    }
#ifdef LIMRA_TESTS_WIDGETS
    // Offscreen, on a screen of 1280 x 1024 like the Xvfb of ./test (the
    // offscreen default of 800 x 600 cannot hold the main window).
    QTemporaryFile screens;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        QByteArray platform = "offscreen";
        if (screens.open()) {
            screens.write(R"({"screens": [{"name": "offscreen", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
                          R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            screens.close();
            platform += ":configfile=" + screens.fileName().toLocal8Bit();
        }
        qputenv("QT_QPA_PLATFORM", platform);
    }
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!ownRuntime.isEmpty())
        QDir(QString::fromLocal8Bit(ownRuntime)).removeRecursively();
    return result;
}
