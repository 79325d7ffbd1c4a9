// Whole-file reads and writes at the edges: full disks, read-only folders,
// FIFOs, devices and huge files; and the virtual readers' folder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"
#include "platform/instanceguard.h"
#include "platform/qtserialport.h"
#include "platform/ui/qtdialogs.h"
#include "platform/ui/qttray.h"
#include "platform/virtualreaders.h"
#include "sim/ptyhost.h"
#include "tests/support/filemode.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/otheruser.h"
#include "tests/support/simreader.h"

using namespace limra;
using limra::testing::asOrdinaryUser;
using limra::testing::FileSizeLimit;
using limra::testing::fileMode;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(Files, AFailedWriteKeepsTheEarlierFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.rcf"));
    put(path, "earlier");
    std::optional<Expected<void, FileError>> written;
    {
        const FileSizeLimit limit(40);
        written = writeFileAtomically(path, QByteArray(100, 'x'));
    }
    ASSERT_FALSE(*written);
    EXPECT_EQ(written->error().kind, FileError::Kind::Failed);
    EXPECT_EQ(written->error().reason, QStringLiteral("файл слишком велик"));
    EXPECT_EQ(contents(path), QByteArray("earlier"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.rcf")}); // no leftovers
    const auto missing = writeFileAtomically(dir.filePath(QStringLiteral("missing/x.rcf")), "x");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().reason, QStringLiteral("нет такого файла или папки"));
}

TEST(Files, AWritableFileInAReadOnlyFolderIsWrittenInPlace)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/settings.ini");
    put(path, "old");
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    }
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    EXPECT_TRUE(asOrdinaryUser([&] { return writeFileAtomically(path, "new").has_value(); }));
    EXPECT_EQ(contents(path), QByteArray("new"));
    EXPECT_TRUE(asOrdinaryUser([&] {
        const auto written = writeFileAtomically(folder + QStringLiteral("/other.ini"), "x");
        return !written && written.error().reason == QStringLiteral("нет прав доступа");
    }));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

// The folder refuses new files, so the file would be rewritten in place: what
// it is, or who owns it, refuses that; the file and what it leads to stay.
struct InPlaceCase {
    const char *name;
    bool needsRoot;
    const char *reason;
};

class InPlaceRefusal : public ::testing::TestWithParam<InPlaceCase> {};

TEST_P(InPlaceRefusal, LeavesEverythingAsItWas)
{
    const InPlaceCase &c = GetParam();
    if (c.needsRoot && ::getuid() != 0)
        GTEST_SKIP() << "a file of another user needs root to be made";
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString folder = dir.filePath(QStringLiteral("ro"));
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QDir().mkdir(elsewhere));
    const QString path = folder + QStringLiteral("/conf.rcf");
    const QString victim = elsewhere + QStringLiteral("/victim");
    put(victim, "the user's own file");
    const std::string kind = c.name;
    if (kind == "symbolic_link") {
        ASSERT_TRUE(QFile::link(victim, path));
    } else if (kind == "hard_link") {
        ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(path).constData()), 0);
    } else { // another user's file that anyone may write
        put(path, "the user's own file");
        ::chmod(QFile::encodeName(path).constData(), 0666);
    }
    if (::getuid() == 0) { // the writer is "nobody": the victim's file is its own, "conf.rcf" is root's
        ASSERT_EQ(::chown(QFile::encodeName(victim).constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(elsewhere).constData(), 65534, 65534), 0);
    }
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    const QString reason = QString::fromUtf8(c.reason);
    EXPECT_TRUE(asOrdinaryUser([&] {
        const auto written = writeFileAtomically(path, "someone else's bytes");
        return !written && written.error().kind == FileError::Kind::Refused && written.error().reason == reason;
    }));
    EXPECT_EQ(contents(victim), QByteArray("the user's own file"));
    EXPECT_EQ(contents(path), QByteArray("the user's own file"));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Files, InPlaceRefusal, ::testing::Values(
    InPlaceCase{"symbolic_link", false, "это символическая ссылка"},
    InPlaceCase{"hard_link", false, "у файла есть другие имена (жёсткие ссылки)"},
    InPlaceCase{"another_users_file", true, "файл принадлежит другому пользователю"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(Files, InPlaceTheEarlierContentStaysUntilTheNewBytesAreWritten)
{
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString folder = dir.filePath(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/settings.ini");
    put(path, "earlier content");
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    }
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    // Writes beyond 40 bytes fail, as on a full disk.
    EXPECT_TRUE(asOrdinaryUser([&] {
        const FileSizeLimit limit(40);
        const auto written = writeFileAtomically(path, QByteArray(100, 'x'));
        return !written && written.error().reason == QStringLiteral("файл слишком велик");
    }));
    EXPECT_EQ(contents(path), QByteArray("earlier content"));
    // Shorter and longer contents replace it whole.
    for (const QByteArray &bytes : {QByteArray("short"), QByteArray(300, 'y'), QByteArray("")}) {
        EXPECT_TRUE(asOrdinaryUser([&] { return writeFileAtomically(path, bytes).has_value(); }));
        EXPECT_EQ(contents(path), bytes);
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

// What an interrupted save left goes at the next save: a temporary file of
// this code's naming, older than a minute, whose program has ended. Another
// program's save in flight (its program runs, or the file is young) stays.
TEST(Files, ATemporaryFileOfAnInterruptedSaveGoesAtTheNextSave)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.rcf"));
    put(path, "earlier");
    auto age = [&](const QString &name, int seconds) {
        const QString file = dir.filePath(name);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
    };
    // A pid no program has (beyond the system's limit), and this program's own.
    const QString gone = QStringLiteral("4194999");
    const QString running = QString::number(::getppid());
    const QStringList left{QStringLiteral(".keep.rcf.limra-a1B2c3"), QStringLiteral(".keep.rcf.limra-%1-a1B2c3").arg(gone)};
    const QStringList inFlight{QStringLiteral(".keep.rcf.limra-%1-x1Y2z3").arg(running),
                               QStringLiteral(".keep.rcf.limra-%1-q1W2e3").arg(gone)};
    for (const QString &name : left + inFlight)
        put(dir.filePath(name), "half");
    for (const QString &name : left)
        age(name, 120);
    age(inFlight[0], 120); // old, but its program runs
    age(inFlight[1], 5);   // its program is gone, but it is young
    // Files that only look alike.
    put(dir.filePath(QStringLiteral(".keep.rcf.limra-notmine")), "x");
    put(dir.filePath(QStringLiteral("keep.rcf.backup")), "x");
    put(dir.filePath(QStringLiteral(".other.rcf.limra-a1B2c3")), "x");
    age(QStringLiteral(".other.rcf.limra-a1B2c3"), 120);
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(contents(path), QByteArray("new"));
    QStringList expected = inFlight + QStringList{QStringLiteral(".keep.rcf.limra-notmine"),
                                                  QStringLiteral(".other.rcf.limra-a1B2c3"), QStringLiteral("keep.rcf"),
                                                  QStringLiteral("keep.rcf.backup")};
    expected.sort();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

TEST(Files, TheOwnerMayAlwaysReadTheNewFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    for (const auto &[before, after] : {std::pair{0200, 0600}, std::pair{0640, 0640}, std::pair{0444, 0644}}) {
        put(path, "earlier");
        ::chmod(QFile::encodeName(path).constData(), mode_t(before));
        ASSERT_TRUE(writeFileAtomically(path, "new")) << std::oct << before;
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode_t(after)) << std::oct << before;
    }
}

namespace {

// The process's umask for a scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_saved(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

// Sets a file's times `seconds` into the past.
void age(const QString &path, int seconds)
{
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

// What the tool keeps for itself (configurations with the reader's keys, the
// card log, its lists and settings) is the owner's only, whatever the umask;
// new folders on the way too.
TEST(PrivateFiles, AreTheOwnersOnlyWhateverTheUmask)
{
    for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) {
        const ScopedUmask umask(mask);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("share/limra-rfid/configurations"));
        ASSERT_TRUE(makePrivateFolder(folder)) << std::oct << mask;
        for (const char *part : {"share", "share/limra-rfid", "share/limra-rfid/configurations"})
            EXPECT_EQ(fileMode(dir.filePath(QLatin1String(part))), 0700) << part << " " << std::oct << mask;
        const QString kept = folder + QStringLiteral("/kept.rcf");
        ASSERT_TRUE(writeFileAtomically(kept, "keys", FileAccess::Private));
        EXPECT_EQ(fileMode(kept), 0600) << std::oct << mask;
        const QString log = folder + QStringLiteral("/cards.csv");
        ASSERT_TRUE(makePrivateFile(log));
        EXPECT_EQ(fileMode(log), 0600) << std::oct << mask;
    }
}

// Folders and files from before are made private at the next write; a file
// the user saves keeps ordinary permissions.
TEST(PrivateFiles, EarlierOnesAreTightenedAtTheNextWrite)
{
    const ScopedUmask umask(022);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("limra-rfid"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    const QString settings = folder + QStringLiteral("/settings.ini");
    const QString log = folder + QStringLiteral("/cards.csv");
    const QString saved = folder + QStringLiteral("/site.rcf");
    for (const QString &path : {settings, log, saved}) {
        put(path, "earlier");
        ::chmod(QFile::encodeName(path).constData(), 0644);
    }
    ASSERT_TRUE(makePrivateFolder(folder));
    EXPECT_EQ(fileMode(folder), 0700);
    ASSERT_TRUE(writeFileAtomically(settings, "new", FileAccess::Private));
    EXPECT_EQ(fileMode(settings), 0600);
    ASSERT_TRUE(makePrivateFile(log));
    EXPECT_EQ(fileMode(log), 0600);
    EXPECT_EQ(contents(log), QByteArray("earlier")); // appended to, never cut
    ASSERT_TRUE(writeFileAtomically(saved, "new"));
    EXPECT_EQ(fileMode(saved), 0644);
}

// A write killed before its rename leaves its temporary file: it goes once it
// is older than the limit and its writer is gone; one a live program holds,
// a new one and other files stay.
TEST(Files, StaleTemporariesGoOnlyWhenTheirWriterIsGone)
{
    QTemporaryDir dir;
    const QString held = dir.filePath(QStringLiteral(".20261210-101010-2.rcf.limra-b2C3d4"));
    const QString killed = dir.filePath(QStringLiteral(".20261210-101010-1.rcf.limra-a1B2c3"));
    const QString fresh = dir.filePath(QStringLiteral(".20261210-101010-3.rcf.limra-c3D4e5"));
    const QStringList others{dir.filePath(QStringLiteral("20261210-101010-1.rcf")),
                             dir.filePath(QStringLiteral(".x.rcf.limra-toolong")),
                             dir.filePath(QStringLiteral(".x.rcf.other-a1B2c3"))};
    for (const QString &path : QStringList{held, killed, fresh} + others)
        put(path, "half");
    // A program writing `held` and another killed while writing `killed`.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::vector<pid_t> writers;
    for (const QString &path : {held, killed}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
            ::flock(fd, LOCK_EX);
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        writers.push_back(pid);
    }
    ::kill(writers[1], SIGKILL);
    ::waitpid(writers[1], nullptr, 0);
    for (const QString &path : QStringList{held, killed} + others)
        age(path, 120);
    removeStaleTemporaries(dir.path(), 60 * 1000);
    EXPECT_FALSE(QFile::exists(killed));
    EXPECT_TRUE(QFile::exists(held));
    EXPECT_TRUE(QFile::exists(fresh));
    for (const QString &path : others)
        EXPECT_TRUE(QFile::exists(path)) << qPrintable(path);
    ::kill(writers[0], SIGKILL);
    ::waitpid(writers[0], nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    removeStaleTemporaries(dir.path(), 60 * 1000);
    EXPECT_FALSE(QFile::exists(held)); // its writer is gone now
}

TEST(Files, OnlyRegularFilesOfSensibleSizeAreRead)
{
    QTemporaryDir dir;
    // The kind a read failed with, or nothing when it read the file.
    auto failure = [](const Expected<QByteArray, FileError> &read) -> std::optional<FileError::Kind> {
        if (read)
            return std::nullopt;
        return read.error().kind;
    };
    EXPECT_EQ(failure(readSmallFile(QStringLiteral("/dev/zero"), 1024)), FileError::Kind::Refused);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(failure(readSmallFile(fifo, 1024)), FileError::Kind::Refused); // and it does not block
    EXPECT_EQ(failure(readSmallFile(dir.path(), 1024)), FileError::Kind::Refused);
    EXPECT_EQ(readSmallFile(dir.path(), 1024).error().reason, QStringLiteral("это не обычный файл"));
    const QString big = dir.filePath(QStringLiteral("big"));
    put(big, QByteArray(2048, 'x'));
    EXPECT_EQ(failure(readSmallFile(big, 1024)), FileError::Kind::TooLarge);
    const auto whole = readSmallFile(big, 4096);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->size(), 2048);
    const auto absent = readSmallFile(dir.filePath(QStringLiteral("absent")), 1024);
    EXPECT_EQ(failure(absent), FileError::Kind::Failed);
    EXPECT_EQ(absent.error().reason, QStringLiteral("нет такого файла или папки"));
}

TEST(Files, EveryProgramOfTheToolKeepsItsDataInOneFolder)
{
    // The command-line tool keeps the configurations it writes over where
    // the window lists them, and shares the readers left in their loader.
    QTemporaryDir data;
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QString savedName = QCoreApplication::applicationName();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QStringList folders;
    for (const QString &program : {QStringLiteral("limra-rfid"), QStringLiteral("limra-cli")}) {
        QCoreApplication::setApplicationName(program);
        folders << userDataFolder();
    }
    QCoreApplication::setApplicationName(savedName);
    if (savedData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedData);
    EXPECT_EQ(folders, QStringList(2, data.path() + QStringLiteral("/limra-rfid")));
    EXPECT_TRUE(QDir(folders[0]).exists());
}

TEST(VirtualReaders, AFolderOthersMayWriteIsRefusedAndOnlyTerminalLinksCount)
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    ASSERT_TRUE(ensureVirtualReadersDir());
    const QString dir = virtualReadersDir();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(dir).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u); // made private
    QFile::link(QStringLiteral("/dev/null"), dir + QStringLiteral("/null"));
    const QString regular = runtime.filePath(QStringLiteral("file"));
    put(regular, "x");
    QFile::link(regular, dir + QStringLiteral("/file"));
    QFile::link(QStringLiteral("/dev/tty"), dir + QStringLiteral("/tty"));
    EXPECT_EQ(virtualReaderPorts(), QStringList{dir + QStringLiteral("/tty")});

    ::chmod(QFile::encodeName(dir).constData(), 0777); // planted by someone else
    EXPECT_FALSE(virtualReadersDirTrusted());
    EXPECT_TRUE(virtualReaderPorts().isEmpty());
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    EXPECT_TRUE(virtualReadersDirTrusted());
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(FileFilters, ADescriptionNamesItsPatternOnce)
{
    EXPECT_EQ(qtFileFilter(QStringLiteral("Наименования зон прохода (*.znm)|*.znm")),
              QStringLiteral("Наименования зон прохода (*.znm)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Файл конфигурации|*.rcf")), QStringLiteral("Файл конфигурации (*.rcf)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("*.hfw|*.hfw")), QStringLiteral("*.hfw"));
}

TEST(Tray, AClickRestoresOnEveryKindOfTray)
{
    QtTray tray(QIcon(), QStringLiteral("tip"));
    int restores = 0;
    QObject::connect(&tray, &Tray::restoreRequested, [&] { ++restores; });
    tray.show(); // the icon is made when it is first shown
    auto *icon = tray.findChild<QSystemTrayIcon *>();
    ASSERT_NE(icon, nullptr);
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);     // a D-Bus tray: a single activation
    Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick); // an X tray
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(restores, 2);
}

TEST(SerialPortOpen, NoPermissionAndBusyAreToldApart)
{
    sim::ReaderModel model;
    sim::PtyHost host(&model, QString());
    ASSERT_TRUE(host.plug());
    QtSerialPort first;
    ASSERT_TRUE(first.open(host.portName()));
    QtSerialPort second;
    EXPECT_FALSE(second.open(host.portName()));
    EXPECT_EQ(second.openFailure(), OpenFailure::Busy);
    first.close();
    // An ordinary user who is not in the terminal's group may not open it.
    ::chmod(QFile::encodeName(host.portName()).constData(), 0600);
    EXPECT_TRUE(asOrdinaryUser([&] {
        QtSerialPort port;
        return !port.open(host.portName()) && port.openFailure() == OpenFailure::NoPermission;
    }));
    QtSerialPort missing;
    EXPECT_FALSE(missing.open(QStringLiteral("/dev/ttyACM250")));
    EXPECT_EQ(missing.openFailure(), OpenFailure::Missing);
}

TEST(TerminationSignalsTest, SigtermArrivesOnTheEventLoop)
{
    TerminationSignals signalsSeen;
    int requests = 0;
    QObject::connect(&signalsSeen, &TerminationSignals::terminationRequested, [&] { ++requests; });
    ::raise(SIGTERM);
    ::raise(SIGHUP);
    EXPECT_TRUE(limra::testing::waitUntil([&] { return requests == 2; }));
}

TEST(Translation, QuestionButtonsAreRussian)
{
    ASSERT_TRUE(installRussianTranslation());
    QMessageBox box(QMessageBox::Question, QStringLiteral("Конфигурация"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Нет"));
}

// A path the user names (a save dialog's, limra-cli's -o) is never replaced by
// a regular file when it is no regular file: a device or a FIFO is written
// through, a symbolic link, a folder or a socket refused.
TEST(Files, ADeviceOrFifoIsWrittenThroughAndALinkOrFolderRefusedNeverReplaced)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim"));
    put(victim, "the user's own file");
    const QString link = dir.filePath(QStringLiteral("link.rcf"));
    ASSERT_TRUE(QFile::link(victim, link));
    const QString dangling = dir.filePath(QStringLiteral("dangling.rcf"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dangling));
    const QString devLink = dir.filePath(QStringLiteral("null.rcf"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), devLink));
    const QString folder = dir.filePath(QStringLiteral("folder.rcf"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString fifo = dir.filePath(QStringLiteral("fifo.rcf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    struct Case {
        QString path;
        bool written;
        const char *reason;
        mode_t type; // what the path is afterwards
    };
    const Case cases[] = {
        {link, false, "это символическая ссылка", S_IFLNK},
        {dangling, false, "это символическая ссылка, ведущая в никуда", S_IFLNK},
        {QStringLiteral("/dev/null"), true, "", S_IFCHR},
        {devLink, true, "", S_IFLNK},
        {folder, false, "это папка", S_IFDIR},
        {fifo, false, "канал никто не читает", S_IFIFO}, // nobody reads it: refused, not waited for
    };
    for (const Case &c : cases) {
        const auto written = writeFileAtomically(c.path, "new bytes");
        EXPECT_EQ(written.has_value(), c.written) << qPrintable(c.path);
        EXPECT_EQ(written ? QString() : written.error().reason, QString::fromUtf8(c.reason)) << qPrintable(c.path);
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(c.path).constData(), &info), 0) << qPrintable(c.path);
        EXPECT_EQ(info.st_mode & S_IFMT, c.type) << qPrintable(c.path);
    }
    EXPECT_EQ(contents(victim), QByteArray("the user's own file"));

    // A FIFO someone reads gets the bytes.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(writeFileAtomically(fifo, "through the pipe"));
    char got[64] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), ssize_t(16));
    ::close(reader);
    EXPECT_EQ(QByteArray(got), QByteArray("through the pipe"));
}
