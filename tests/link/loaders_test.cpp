// The list of readers left in their loader, as the tool's programs share it
// in one file: what a mark holds, what clears it, and a list no program
// wrote (too large, or of an earlier version).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/loaders.h"

using namespace limra;

namespace {

using Mark = LoaderRegistry::Entry;

Mark mark(const QString &port, const QString &location, const QString &serial, Mark::State state = Mark::State::Fed)
{
    return Mark{port, location, QStringLiteral("02A11701"), serial, state, QStringLiteral("7:1.2.3")};
}

QStringList ports(const QList<Mark> &marks)
{
    QStringList out;
    for (const Mark &m : marks)
        out << m.port;
    return out;
}

class LoaderListTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("data/loaders")); }
    QTemporaryDir dir;
};

} // namespace

// Each program holds its own registry on the same file: what one writes the
// other reads, and neither's change undoes the other's.
TEST_F(LoaderListTest, ProgramsSideBySideKeepEachOthersMarks)
{
    LoaderRegistry window(path());
    LoaderRegistry cli(path());
    EXPECT_TRUE(cli.entries().isEmpty());
    ASSERT_TRUE(window.remember(mark(QStringLiteral("/dev/ttyACM0"), QStringLiteral("usb-1.1"), QStringLiteral("A102-01"))));
    ASSERT_TRUE(cli.remember(mark(QStringLiteral("/dev/ttyACM1"), QStringLiteral("usb-1.2"), QStringLiteral("A102-02"),
                                  Mark::State::Switching)));
    EXPECT_EQ(ports(window.entries()), (QStringList{QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")}));
    const std::optional<Mark> found = window.find(QString(), QStringLiteral("usb-1.2"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->state, Mark::State::Switching);
    EXPECT_EQ(found->instance, QStringLiteral("7:1.2.3"));
    window.forget(QStringLiteral("/dev/ttyACM0"), QString());
    EXPECT_EQ(ports(cli.entries()), QStringList{QStringLiteral("/dev/ttyACM1")});
}

// A reader that identifies itself as a reader clears every mark of its
// serial number (wherever it was marked), and the mark of its port or
// location; `loaders --forget` takes a port or a serial number.
TEST_F(LoaderListTest, AReaderThatIdentifiesItselfClearsItsMarks)
{
    LoaderRegistry list(path());
    ASSERT_TRUE(list.remember(mark(QStringLiteral("/dev/ttyACM0"), QStringLiteral("usb-1.1"), QStringLiteral("A102-01"))));
    ASSERT_TRUE(list.remember(mark(QStringLiteral("/dev/ttyACM1"), QStringLiteral("usb-1.2"), QStringLiteral("A102-02"))));
    ASSERT_TRUE(list.remember(mark(QStringLiteral("/dev/ttyACM2"), QStringLiteral("usb-1.3"), QStringLiteral("A102-03"))));
    ASSERT_TRUE(list.remember(mark(QStringLiteral("/dev/ttyACM3"), QStringLiteral("usb-1.4"), QStringLiteral("A102-04"))));
    list.readerIdentified(QStringLiteral("/dev/ttyACM9"), QStringLiteral("usb-2.1"), QStringLiteral("A102-01"));
    list.readerIdentified(QStringLiteral("/dev/ttyACM7"), QStringLiteral("usb-1.2"), QStringLiteral("A102-77"));
    EXPECT_EQ(ports(list.entries()), (QStringList{QStringLiteral("/dev/ttyACM2"), QStringLiteral("/dev/ttyACM3")}));
    EXPECT_EQ(list.forgetMarks(QStringLiteral("A102-03")), 1);
    EXPECT_EQ(list.forgetMarks(QStringLiteral("/dev/ttyACM3")), 1);
    EXPECT_EQ(list.forgetMarks(QStringLiteral("/dev/ttyACM3")), 0);
    EXPECT_TRUE(list.entries().isEmpty());
}

// A list larger than the tool ever writes still names its loaders (they must
// not be probed); a line of an earlier version is a loader that may have
// taken blocks.
TEST_F(LoaderListTest, ALargeListAndOneOfAnEarlierVersionKeepTheirLoaders)
{
    LoaderRegistry list(path());
    ASSERT_TRUE(list.remember(mark(QStringLiteral("/dev/ttyACM0"), QString(), QStringLiteral("A102-01"))));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("/dev/ttyACM5\tusb-1.5\t02A11701\tA102-05\n");
    for (int i = 0; i < 2000; ++i)
        file.write(QByteArray("junk line without tabs ").repeated(2) + '\n');
    file.close();
    ASSERT_GT(QFile(path()).size(), 64 * 1024);
    const std::optional<Mark> early = list.find(QStringLiteral("/dev/ttyACM5"), QString());
    ASSERT_TRUE(early.has_value());
    EXPECT_EQ(early->state, Mark::State::Fed);
    EXPECT_TRUE(early->instance.isEmpty());
    EXPECT_TRUE(list.find(QStringLiteral("/dev/ttyACM0"), QString()).has_value());
    // The next change writes the marks alone.
    list.forget(QStringLiteral("/dev/ttyACM0"), QString());
    EXPECT_EQ(ports(list.entries()), QStringList{QStringLiteral("/dev/ttyACM5")});
    EXPECT_LT(QFile(path()).size(), 1024);
}

// A mark that cannot be written says why: an update must not start then.
TEST_F(LoaderListTest, AMarkThatCannotBeWrittenSaysWhy)
{
    ASSERT_TRUE(QDir().mkpath(path())); // a folder where the list should be
    LoaderRegistry list(path());
    const auto remembered = list.remember(mark(QStringLiteral("/dev/ttyACM0"), QString(), QStringLiteral("A102-01")));
    ASSERT_FALSE(remembered);
    EXPECT_TRUE(remembered.error().text().startsWith(path())) << qPrintable(remembered.error().text());
}
