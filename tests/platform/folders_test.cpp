// Where the file dialogs for the user's own files start: the documents
// folder of the desktop's user folders, then the folder last used.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/folders.h"

using namespace limra;

namespace {

// A home of its own, with the desktop's user-folder file naming the documents folder.
class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedHome = qgetenv("HOME");
        m_savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        QDir().mkpath(home.filePath(QStringLiteral(".config")));
        QFile dirs(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n");
        rememberFileDialogChoice(home.filePath(QStringLiteral("never-made/x.znm")));
    }
    void TearDown() override
    {
        qputenv("HOME", m_savedHome);
        qputenv("XDG_CONFIG_HOME", m_savedConfig);
    }
    QTemporaryDir home;

private:
    QByteArray m_savedHome, m_savedConfig;
};

} // namespace

TEST_F(FoldersTest, TheDocumentsFolderOrTheHomeWhereThereIsNone)
{
    EXPECT_EQ(documentsFolder(), home.path()) << "no documents folder made yet";
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Документы")));
    EXPECT_EQ(documentsFolder(), home.filePath(QStringLiteral("Документы")));
    EXPECT_EQ(fileDialogFolder(), documentsFolder());
}

TEST_F(FoldersTest, DialogsStartInTheFolderLastUsedWhileItExists)
{
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Документы")));
    QTemporaryDir elsewhere;
    rememberFileDialogChoice(elsewhere.filePath(QStringLiteral("office.rcf")));
    EXPECT_EQ(fileDialogFolder(), elsewhere.path());
    rememberFileDialogChoice(QString()); // a cancelled dialog changes nothing
    EXPECT_EQ(fileDialogFolder(), elsewhere.path());
    elsewhere.remove();
    EXPECT_EQ(fileDialogFolder(), home.filePath(QStringLiteral("Документы")));
}

// A dialog opened in /proc can hang the tool reading a file that never ends:
// the system's own folders are never where a dialog starts, also through a link.
TEST_F(FoldersTest, TheSystemsOwnFoldersAreNeverRemembered)
{
    QTemporaryDir elsewhere;
    rememberFileDialogChoice(elsewhere.filePath(QStringLiteral("office.rcf")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self"), home.filePath(QStringLiteral("self"))));
    for (const QString &file : {QStringLiteral("/proc/x.rcf"), QStringLiteral("/proc/self/x.rcf"),
                                QStringLiteral("/sys/x.rcf"), QStringLiteral("/sys/kernel/x.znm"),
                                QStringLiteral("/dev/x.rcf"), QStringLiteral("/dev/shm/x.rcf"),
                                home.filePath(QStringLiteral("self/x.rcf"))}) {
        rememberFileDialogChoice(file);
        EXPECT_EQ(fileDialogFolder(), elsewhere.path()) << qPrintable(file);
    }
}
