#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "station/inifile.h"
#include "tests/support/otheruser.h"

using namespace limra;
using limra::testing::asOrdinaryUser;

class IniFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("settings.ini")); }
    void writeRaw(const QByteArray &text)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QTemporaryDir dir;
};

TEST_F(IniFileTest, MissingFileGivesDefaults)
{
    IniFile ini(path());
    EXPECT_EQ(ini.read(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_FALSE(ini.contains(QStringLiteral("usbreader"), QStringLiteral("viewmode")));
}

TEST_F(IniFileTest, AnyOneLineTextRoundTrips)
{
    const QStringList values = {
        QStringLiteral("UID = dec3(n32n31)-dec5(n22n21n12n11) = b4b3b2b1"),
        QStringLiteral("a,b,c"), QStringLiteral("x;y ; z"), QStringLiteral("\"quoted\""), QStringLiteral("'single'"),
        QStringLiteral("\"open"), QStringLiteral("back\\slash\\"), QStringLiteral("  lead and trail  "),
        QStringLiteral("="), QStringLiteral("[not a section]"), QStringLiteral(";starts like a comment"), QString(),
        QStringLiteral("Зона прохода 1")};
    IniFile ini(path());
    for (int i = 0; i < values.size(); ++i)
        ASSERT_TRUE(ini.write(QStringLiteral("usbreader"), QStringLiteral("k%1").arg(i), values[i]));
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(ini.read(QStringLiteral("usbreader"), QStringLiteral("k%1").arg(i), QStringLiteral("?")), values[i]) << i;
}

TEST_F(IniFileTest, ReadsWhatTheWindowsProfileFunctionsWrote)
{
    writeRaw("; a comment\r\n[other]\r\nviewmode=9\r\n[usbreader]\r\nviewmode=3\r\n"
             "template=dec(b1), x = y ; z\r\nport=\"COM5\"\r\n  tobuffer = 1  \r\n;crlf=1\r\n");
    IniFile ini(path());
    const QString s = QStringLiteral("usbreader");
    EXPECT_EQ(ini.read(s, QStringLiteral("viewmode")), QStringLiteral("3"));
    EXPECT_EQ(ini.read(s, QStringLiteral("template")), QStringLiteral("dec(b1), x = y ; z"));
    EXPECT_EQ(ini.read(s, QStringLiteral("port")), QStringLiteral("COM5"));
    EXPECT_EQ(ini.read(s, QStringLiteral("tobuffer")), QStringLiteral("1"));
    EXPECT_EQ(ini.read(s, QStringLiteral("crlf"), QStringLiteral("0")), QStringLiteral("0"));
}

TEST_F(IniFileTest, WritingKeepsOtherKeysAndSections)
{
    writeRaw("[other]\r\nkeep=yes\r\n[usbreader]\r\nviewmode=1\r\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.write(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("2")));
    ASSERT_TRUE(ini.write(QStringLiteral("usbreader"), QStringLiteral("crlf"), QStringLiteral("1")));
    EXPECT_EQ(ini.read(QStringLiteral("other"), QStringLiteral("keep")), QStringLiteral("yes"));
    EXPECT_EQ(ini.read(QStringLiteral("usbreader"), QStringLiteral("viewmode")), QStringLiteral("2"));
    EXPECT_EQ(ini.read(QStringLiteral("usbreader"), QStringLiteral("crlf")), QStringLiteral("1"));
}

TEST_F(IniFileTest, UnwritableFileIsReportedNotThrown)
{
    IniFile ini(dir.filePath(QStringLiteral("missing/folder/settings.ini")));
    EXPECT_FALSE(ini.write(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("1")));
}

TEST_F(IniFileTest, BytesThatAreNotUtf8AreKeptAndReadAsWindows1251)
{
    // A template written on Windows (Windows-1251) and a section of another
    // program in some other encoding.
    const QByteArray foreign = QByteArray("[foreign]\r\nname=\xFF\xFE\x80 bytes\r\n");
    writeRaw(foreign + QByteArray("[usbreader]\r\ntemplate=\xCA\xE0\xF0\xF2\xE0 dec(b1)\r\n"));
    IniFile ini(path());
    EXPECT_EQ(ini.read(QStringLiteral("usbreader"), QStringLiteral("template")), QStringLiteral("Карта dec(b1)"));
    ASSERT_TRUE(ini.write(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("3")));
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_TRUE(after.startsWith(foreign)) << after.toStdString();
    EXPECT_TRUE(after.contains(QByteArray("template=\xCA\xE0\xF0\xF2\xE0 dec(b1)\r\n")));
    EXPECT_TRUE(after.contains("viewmode=3\r\n"));
}

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

} // namespace

// A settings file that cannot be read in full gives the defaults, is never
// replaced by the tool's own keys, and says why.
struct UnreadableCase {
    const char *name;
    const char *reason;
};

class UnreadableSettings : public IniFileTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableSettings, AreLeftUntouchedAndSaySo)
{
    const std::string kind = GetParam().name;
    QByteArray before;
    if (kind == "over_1_MB") {
        before = "[user]\r\nmine=" + QByteArray(1100000, 'u') + "\r\n[usbreader]\r\nviewmode=2\r\n";
        writeRaw(before);
    } else if (kind == "not_readable") {
        before = "[usbreader]\r\nviewmode=2\r\n";
        writeRaw(before);
        ::chmod(QFile::encodeName(path()).constData(), 0200);
    } else { // a FIFO: reading it would block
        ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    }
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(dir.path()).constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(path()).constData(), 65534, 65534), 0);
    }
    const QString reason = QString::fromUtf8(GetParam().reason);
    EXPECT_TRUE(asOrdinaryUser([&] {
        IniFile ini(path());
        const QString problem = ini.problem();
        return ini.read(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("1")) == QLatin1String("1")
               && problem.startsWith(QStringLiteral("Не удалось прочитать файл настроек ") + path()) && problem.contains(reason)
               && !ini.write(QStringLiteral("usbreader"), QStringLiteral("viewmode"), QStringLiteral("1"))
               && !ini.write(QStringLiteral("usbreader"), {{QStringLiteral("crlf"), QStringLiteral("1")}});
    }));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(path()).constData(), &info), 0);
    if (kind == "fifo") {
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    } else {
        EXPECT_EQ(fileBytes(path()), before);
        EXPECT_EQ(info.st_mode & 07777, kind == "not_readable" ? 0200u : 0644u);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
              QStringList{QStringLiteral("settings.ini")}); // no temporary file left either
}

INSTANTIATE_TEST_SUITE_P(IniFile, UnreadableSettings, ::testing::Values(
    UnreadableCase{"over_1_MB", "файл больше 1 МБ"},
    UnreadableCase{"not_readable", "нет прав доступа"},
    UnreadableCase{"fifo", "это не обычный файл"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(IniFileTest, AMissingFileHasNoProblem)
{
    EXPECT_TRUE(IniFile(path()).problem().isEmpty());
    writeRaw("[usbreader]\r\n");
    EXPECT_TRUE(IniFile(path()).problem().isEmpty());
}

// Closing the window writes every key at once: the file ends exactly as after
// writing them one by one.
TEST_F(IniFileTest, ManyKeysAtOnceEndAsOneByOne)
{
    const QList<QByteArray> starts = {
        QByteArray(), // no file
        "",
        "; a comment\r\n[other]\r\nviewmode=9\r\n[usbreader]\r\nviewmode=3\r\n  tobuffer = 1  \r\n;crlf=1\r\n",
        "[usbreader]\nviewmode=1\n\n[after]\nx=1", // bare line ends, no final one, a blank line
        "[USBREADER]\r\nTemplate=\"a\"\r\n[usbreader]\r\ncrlf=0\r\n\r\n\r\n",
        "[foreign]\r\nname=\xFF\xFE\x80 bytes\r\n[usbreader]\r\ntemplate=\xCA\xE0\xF0\r\nodd\rline\r\r\n",
    };
    const IniFile::KeyValues values = {
        {QStringLiteral("viewmode"), QStringLiteral("2")}, {QStringLiteral("template"), QStringLiteral(" x = y ")},
        {QStringLiteral("port"), QStringLiteral("/dev/ttyACM0")}, {QStringLiteral("tobuffer"), QStringLiteral("0")},
        {QStringLiteral("crlf"), QStringLiteral("1")},         {QStringLiteral("viewmode"), QStringLiteral("3")}};
    for (int i = 0; i < starts.size(); ++i) {
        const QString one = dir.filePath(QStringLiteral("one%1.ini").arg(i));
        const QString all = dir.filePath(QStringLiteral("all%1.ini").arg(i));
        if (i > 0) {
            for (const QString &p : {one, all}) {
                QFile f(p);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(starts[i]);
            }
        }
        for (const auto &[key, value] : values)
            ASSERT_TRUE(IniFile(one).write(QStringLiteral("usbreader"), key, value));
        ASSERT_TRUE(IniFile(all).write(QStringLiteral("usbreader"), values));
        EXPECT_EQ(fileBytes(all), fileBytes(one)) << i;
        EXPECT_EQ(IniFile(all).read(QStringLiteral("usbreader"), QStringLiteral("viewmode")), QStringLiteral("3")) << i;
    }
}

// The settings are the user's own: new ones are the owner's only whatever the
// umask, and earlier ones readable by others are made so at the next write.
TEST_F(IniFileTest, SettingsAreTheOwnersOnly)
{
    auto modeOf = [this] {
        struct stat info {};
        return ::stat(QFile::encodeName(path()).constData(), &info) == 0 ? info.st_mode & 07777 : mode_t(0);
    };
    const mode_t saved = ::umask(0);
    IniFile ini(path());
    EXPECT_TRUE(ini.write(QStringLiteral("usbreader"), {{QStringLiteral("viewmode"), QStringLiteral("1")}}));
    EXPECT_EQ(modeOf(), mode_t(0600));
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    EXPECT_TRUE(ini.write(QStringLiteral("usbreader"), {{QStringLiteral("viewmode"), QStringLiteral("2")}}));
    EXPECT_EQ(modeOf(), mode_t(0600));
    ::umask(saved);
}
