// The kept configurations: the reader's configuration kept before a write,
// the last 50 per reader in their order of creation, whatever the clock or
// other files' names say; and only files that can be restored are listed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/texts.h"
#include "config/backups.h"
#include "config/configfile.h"
#include "config/readerconfig.h"
#include "config/ui/keptwindow.h"
#include "platform/files.h"
#include "tests/support/children.h"
#include "tests/support/environment.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

const QString kReader = QStringLiteral("A102-0A1B2C3D");
const ConfigItems kModeTwoItems =
    ConfigItems::parse(QByteArray::fromHex("0202100003030000400601020401010501000C0800F8E00700F8E0FF"));

class KeptTest : public ::testing::Test {
protected:
    KeptTest() { QDir().mkpath(folder()); }
    // The reader's configuration kept before a write.
    bool keep()
    {
        return bool(store.store(kReader, configFileBytes(kModeTwoItems)));
    }
    QString folder() const { return dir.filePath(QStringLiteral("configurations")); }
    // A kept file planted under any name (bytes: names need not be UTF-8).
    void plant(const QByteArray &name, const ConfigItems &items = kModeTwoItems)
    {
        const QByteArray path = QFile::encodeName(folder()) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        const QByteArray bytes = configFileBytes(items);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }
    QStringList files() const { return QDir(folder()).entryList({QStringLiteral("*.rcf")}, QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    KeptConfigurationStore store{folder()};
};

} // namespace

// A program killed while it kept a copy (here by the file size limit's
// signal in the middle of the write) leaves the copy's temporary file, which
// no later write of that name would remove: a later keep removes it once it
// is older than a minute and its writer is gone.
TEST_F(KeptTest, ACopyCutOffByAKillLeavesNoTemporaryForever)
{
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const rlimit tenBytes{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &tenBytes);
        keep(); // ends in the middle of writing
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    const QStringList left = QDir(folder()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(left.size(), 1);
    ASSERT_TRUE(left[0].startsWith(QLatin1Char('.'))) << qPrintable(left[0]);
    // A copy of a second long past: no later copy has its name.
    const QString temporary = folder() + QLatin1Char('/') + left[0].left(left[0].indexOf(QLatin1Char('_')) + 1)
                              + QStringLiteral("20200101-000000_000001.rcf.limra-a1B2c3");
    ASSERT_TRUE(QFile::rename(folder() + QLatin1Char('/') + left[0], temporary));
    ASSERT_TRUE(keep());
    EXPECT_TRUE(QFile::exists(temporary)); // not older than a minute yet: it might be a write in flight
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 120;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(temporary).constData(), times, 0), 0);
    ASSERT_TRUE(keep());
    EXPECT_FALSE(QFile::exists(temporary));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 2); // the two copies kept
}

// A clock that was ahead, or a machine that moved time zone: the other 50
// files carry later times than the copy about to be made.
TEST_F(KeptTest, TheCopyJustMadeSurvivesFiftyFilesNamedLater)
{
    for (int i = 0; i < 50; ++i)
        plant(QStringLiteral("%1_%2-120000.rcf").arg(kReader, QDate(2099, 1, 1).addDays(i).toString(QStringLiteral("yyyyMMdd"))).toLatin1());
    ASSERT_TRUE(keep());
    const QStringList after = files();
    EXPECT_EQ(after.size(), 50);
    const QStringList fresh = after.filter(QRegularExpression(QStringLiteral("^[^_]+_20[0-8]")));
    ASSERT_EQ(fresh.size(), 1) << qPrintable(after.join(QLatin1Char(' ')));
    EXPECT_FALSE(after.contains(QStringLiteral("%1_20990101-120000.rcf").arg(kReader))); // the first planted went

    // And the next copies, still made with the clock behind: each survives,
    // the previous ones too (they are the newest), the count stays at 50.
    ASSERT_TRUE(keep());
    ASSERT_TRUE(keep());
    const QStringList later = files();
    EXPECT_EQ(later.size(), 50);
    EXPECT_EQ(later.filter(QRegularExpression(QStringLiteral("^[^_]+_20[0-8]"))).size(), 3);
    EXPECT_TRUE(later.contains(fresh[0]));
}

TEST_F(KeptTest, EveryListedFileCanBeRestored)
{
    plant(QStringLiteral("%1_20260101-000000.rcf").arg(kReader).toLatin1());
    plant(QByteArray("A102-\xFF\xFE_20260102-000000.rcf"));       // not UTF-8
    plant(QByteArray("\xD0\x9A\xD0\xB0_20260103-000000.rcf"));    // UTF-8, but no name the tool makes
    plant(QByteArray("A102_20260104-000000.rcf.part"));
    const QList<KeptConfiguration> kept = store.kept();
    for (const KeptConfiguration &k : kept) {
        EXPECT_TRUE(readSmallFile(k.path, kMaxConfigFileSize)) << qPrintable(k.path);
    }
    ASSERT_GE(kept.size(), 1);
    EXPECT_EQ(kept.last().reader, kReader);
}

// ---- The store alone: names, order, limits.

struct NameCase {
    const char *name;
    bool parsed;
    const char *reader;
    const char *stamp;
    qint64 sequence;
};

class KeptNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(KeptNames, AreTakenApartOrRefused)
{
    const NameCase &c = GetParam();
    KeptConfiguration k;
    ASSERT_EQ(KeptConfigurationStore::parseFileName(QString::fromUtf8(c.name), &k), c.parsed);
    if (!c.parsed)
        return;
    EXPECT_EQ(k.reader, QString::fromLatin1(c.reader));
    EXPECT_EQ(k.stamp, QString::fromLatin1(c.stamp));
    EXPECT_EQ(k.sequence, c.sequence);
}

INSTANTIATE_TEST_SUITE_P(Kept, KeptNames, ::testing::Values(
    NameCase{"A102-0A1B2C3D_20261210-141516_000051.rcf", true, "A102-0A1B2C3D", "20261210-141516", 51},
    NameCase{"A102-0A1B2C3D_20261210-141516.rcf", true, "A102-0A1B2C3D", "20261210-141516", 0},     // before numbering
    NameCase{"A102-0A1B2C3D_20261210-141516-3.rcf", true, "A102-0A1B2C3D", "20261210-141516", 0},   // the third in a second
    NameCase{"r_20250101-000000_20261210-141516_7.rcf", true, "r_20250101-000000", "20261210-141516", 7},
    NameCase{"reader_20261210-141516_999999999999999.rcf", true, "reader", "20261210-141516", 999999999999999},
    NameCase{"reader_20261210-141516_1000000000000000.rcf", false, "", "", 0}, // more digits than any number made
    NameCase{"reader_20261210-141516_.rcf", false, "", "", 0},
    NameCase{"_20261210-141516_000001.rcf", false, "", "", 0},
    NameCase{"reader_2026121-141516_000001.rcf", false, "", "", 0},
    NameCase{"reader_20261210_141516.rcf", false, "", "", 0},
    NameCase{"reader_20261210-141516.rcf.part", false, "", "", 0},
    NameCase{"reader 1_20261210-141516.rcf", false, "", "", 0},
    NameCase{"Считыватель_20261210-141516.rcf", false, "", "", 0},
    NameCase{"reader_20261210-141516-.rcf", false, "", "", 0}),
    [](const auto &row) { return "case" + std::to_string(row.index); });

TEST(KeptStore, NamesMadeAreNamesRead)
{
    for (const QString &reader : {QStringLiteral("A102-0A1B2C3D"), QStringLiteral("x_1"), QString()}) {
        for (qint64 sequence : {qint64(1), qint64(123456), qint64(999999999999999)}) {
            const QString name = KeptConfigurationStore::fileName(reader, QStringLiteral("20261210-141516"), sequence);
            KeptConfiguration k;
            ASSERT_TRUE(KeptConfigurationStore::parseFileName(name, &k)) << qPrintable(name);
            EXPECT_EQ(k.reader, reader.isEmpty() ? QStringLiteral("reader") : reader);
            EXPECT_EQ(k.sequence, sequence);
        }
    }
    // A serial number with characters no file name should carry.
    KeptConfiguration k;
    ASSERT_TRUE(KeptConfigurationStore::parseFileName(
        KeptConfigurationStore::fileName(QStringLiteral("../A 1/Ж"), QStringLiteral("20261210-141516"), 1), &k));
    EXPECT_EQ(k.reader, QStringLiteral("___A_1__"));
}

TEST(KeptStore, TimesAreShownAsNamedWhateverTheTimeZone)
{
    // 02:30 on that day does not exist in New York: read through the local
    // time zone it would show 03:30.
    ScopedEnvironment env;
    env.set("TZ", QStringLiteral("America/New_York"));
    ::tzset();
    KeptConfiguration k;
    ASSERT_TRUE(KeptConfigurationStore::parseFileName(QStringLiteral("r_20260308-023000_000001.rcf"), &k));
    EXPECT_EQ(k.timeText(), QStringLiteral("2026-03-08 02:30:00"));
}

TEST(KeptStore, NumbersDecideAgeWhateverTheNumbersAndTimes)
{
    QTemporaryDir dir;
    const KeptConfigurationStore store(dir.path());
    const QByteArray bytes = configFileBytes(kModeTwoItems);
    // 50 files carrying the largest number the store reads and a later time.
    for (int i = 0; i < 50; ++i) {
        QFile f(dir.filePath(KeptConfigurationStore::fileName(
            kReader, QStringLiteral("2099%1-000000").arg(1001 + i), 999999999999999 - i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    for (int round = 0; round < 3; ++round) {
        const auto path = store.store(kReader, bytes);
        ASSERT_TRUE(path) << qPrintable(path.error().text);
        EXPECT_TRUE(QFileInfo::exists(*path)) << round;
        QFile f(*path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
        EXPECT_EQ(store.kept().size(), 50) << round;
    }
    // Another reader's files are not counted, nor touched.
    ASSERT_TRUE(store.store(QStringLiteral("A104-99"), bytes));
    EXPECT_EQ(store.kept().size(), 51);
}

TEST(KeptStore, AFolderThatCannotBeMadeIsToldAndNothingIsRemoved)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const KeptConfigurationStore store(dir.filePath(QStringLiteral("file/configurations")));
    const auto kept = store.store(kReader, "x");
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.error().kind, KeepError::Kind::NoFolder);
    EXPECT_TRUE(kept.error().text.startsWith(QStringLiteral("не удалось создать папку "))) << qPrintable(kept.error().text);
    EXPECT_TRUE(store.kept().isEmpty());
}

TEST(KeptWindow, AFileIsReadOnlyWhenItsRowIsShown)
{
    QTemporaryDir dir;
    const KeptConfigurationStore store(dir.path());
    for (int i = 0; i < 3; ++i) {
        QFile f(dir.filePath(KeptConfigurationStore::fileName(kReader, QStringLiteral("2026120%1-000000").arg(i + 1), i + 1)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(configFileBytes(kModeTwoItems));
    }
    ScriptedDialogs dialogs;
    QStringList restored;
    KeptConfigurationsWindow window(store, [&](const QString &path) { restored << path; }, dialogs);
    window.refresh();
    ASSERT_EQ(window.rowCount(), 3);
    // The oldest file changes after the listing: its row shows what it holds when shown.
    QFile oldest(store.kept().last().path);
    ASSERT_TRUE(oldest.open(QIODevice::WriteOnly));
    oldest.write(configFileBytes(kDefaultConfigItems));
    oldest.close();
    EXPECT_EQ(window.cellText(2, 1), QStringLiteral("2026-12-01 00:00:00"));
    EXPECT_EQ(window.cellText(2, 2), texts::kReadModes[0]);
    EXPECT_EQ(window.cellText(0, 2), texts::kReadModes[2]);
    EXPECT_EQ(window.cellText(0, 3), texts::kWiegandTypes[1]);
    child<QTableView>(window, "keptTable")->selectRow(2);
    child<QPushButton>(window, "restoreButton")->click();
    EXPECT_EQ(restored, QStringList{store.kept().last().path});
}
