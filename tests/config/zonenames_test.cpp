#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "config/zonenames.h"

using namespace limra;

class ZoneNamesTest : public ::testing::Test {
protected:
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
};

TEST_F(ZoneNamesTest, SavedNamesReadBackTrimmedAsWindows1251WithCrLf)
{
    QStringList names;
    for (int z = 1; z <= 64; ++z)
        names << standardZoneName(z);
    names[0] = QStringLiteral("  Склад №1  ");
    names[1] = QStringLiteral("Vorraum");
    const auto written = writeZoneNames(path("office.znm"), names);
    ASSERT_TRUE(written) << written.error().text.toStdString();
    QFile f(path("office.znm"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    EXPECT_TRUE(raw.startsWith("  \xD1\xEA\xEB\xE0\xE4 \xB9" "1  \r\nVorraum\r\n"));
    EXPECT_EQ(raw.count("\r\n"), 64);
    const auto read = readZoneNames(path("office.znm"));
    ASSERT_TRUE(read);
    QStringList back = *read;
    ASSERT_EQ(back.size(), 64);
    EXPECT_EQ(back[0], QStringLiteral("Склад №1"));
    EXPECT_EQ(back[63], QStringLiteral("Зона прохода 64"));
    back[0] = QStringLiteral("Склад №1");
    ASSERT_TRUE(writeZoneNames(path("office.znm"), back)); // saved over again at once
}

TEST_F(ZoneNamesTest, ShortFileAndFileList)
{
    QFile f(path("three.znm"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A\r\nB\r\nC\r\n");
    f.close();
    QFile(path("notes.txt")).open(QIODevice::WriteOnly);
    const auto names = readZoneNames(path("three.znm"));
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    EXPECT_EQ(zoneNameFiles(dir.path()), QStringList{QStringLiteral("three.znm")});
}

TEST_F(ZoneNamesTest, UnencodableNameIsRefusedAndTheEarlierFileKept)
{
    QFile f(path("keep.znm"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
    f.close();
    QStringList names(64, QStringLiteral("x"));
    names[4] = QStringLiteral("Zone 中");
    const auto refused = writeZoneNames(path("keep.znm"), names);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().kind, ZoneNamesError::Kind::Unencodable);
    EXPECT_TRUE(refused.error().text.contains(QStringLiteral("5")));
    const auto back = readZoneNames(path("keep.znm"));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, QStringList{QStringLiteral("old")});
    const auto missing = readZoneNames(path("missing.znm"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ZoneNamesError::Kind::CannotRead);
    EXPECT_FALSE(missing.error().text.isEmpty());
    const auto noFolder = writeZoneNames(path("no/such/folder.znm"), QStringList(64, QStringLiteral("x")));
    ASSERT_FALSE(noFolder);
    EXPECT_EQ(noFolder.error().kind, ZoneNamesError::Kind::CannotWrite);
}
