#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/inifile.h"

using namespace limra;

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
