// Test entry point: a Qt application object for event loops, then GoogleTest.
#ifdef LIMRA_TESTS_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
#ifdef LIMRA_TESTS_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
