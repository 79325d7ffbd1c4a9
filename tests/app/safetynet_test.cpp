// Beyond the reader's own behaviour: the configuration the reader held is
// kept before every write that replaces it, and every card read goes into a
// log that can be written to a CSV file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include "station/station.h"
#include "common/texts.h"
#include "app/ui/mainwindow.h"
#include "config/backups.h"
#include "config/configfile.h"
#include "config/readerconfig.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/keptwindow.h"
#include "display/cardlog.h"
#include "display/ui/cardlogwindow.h"
#include "link/discovery.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "provisioning/cardwait.h"
#include "tests/support/children.h"
#include "tests/support/simreader.h"
#include "tests/support/toolservices.h"

using namespace limra;
using namespace limra::testing;

namespace {

class SafetyNetTest : public ::testing::Test {
protected:
    SafetyNetTest()
    {
        window = std::make_unique<MainWindow>(tool.station(), tool.services());
        window->show();
        ports.virtuals = {sim.port()};
        window->station().discovery().portsChanged();
        window->station().discovery().scanOnce();
        waitUntil([this] { return window->station().session().isConnected(); });
        tool.settle(); // the configuration read that follows
    }
    ~SafetyNetTest() override
    {
        dialogs.answers.clear();
        dialogs.answers.enqueue(true); // close without keeping unsaved changes
        window->close();
    }
    QStringList keptFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("data/configurations"))).entryList({QStringLiteral("*.rcf")}, QDir::Files, QDir::Name);
    }
    ConfigPage *page() const { return window->configPage(); }
    // Clicks a button and lets what it started run to its end.
    void click(QAbstractButton *button)
    {
        button->click();
        tool.settle();
    }

    ToolServices tool;
    QTemporaryDir &dir = tool.dir;
    ScriptedDialogs &dialogs = tool.dialogs;
    FakeClipboard &clipboard = tool.clipboard;
    FakeTray &tray = tool.tray;
    FakePortEnumerator &ports = tool.ports;
    SimReader sim;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(SafetyNetTest, TheReadersConfigurationIsKeptBeforeEachKindOfWrite)
{
    ASSERT_TRUE(window->station().session().isConnected());
    const QString before = bytesToHex(sim.model->configItems());
    sim.model->clearCommandsReceived();
    click(child<QPushButton>(page(), "writeReaderButton"));
    EXPECT_EQ(sim.commands().mid(0, 2).value(0), QStringLiteral("0B01"));
    EXPECT_TRUE(sim.commands().value(1).startsWith(QStringLiteral("0101")));
    ASSERT_EQ(keptFiles().size(), 1);
    EXPECT_TRUE(keptFiles()[0].startsWith(QStringLiteral("A102-0A1B2C3D_")));
    QFile file(dir.filePath(QStringLiteral("data/configurations/")) + keptFiles()[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto items = checkConfigFile(file.readAll());
    ASSERT_TRUE(items);
    EXPECT_TRUE(bytesToHex(items->toBytes()).startsWith(before));

    child<QPushButton>(page(), "defaultConfigButton")->click(); // the factory default, then written
    click(child<QPushButton>(page(), "writeReaderButton"));
    EXPECT_EQ(keptFiles().size(), 2);

    sim.model->addMasterCard(sim::MasterCard{QStringLiteral("04FF"), QByteArray::fromHex("060102"), {}, {}, 0, 1});
    QTimer presenting; // the card comes once the reader waits for a master card
    QObject::connect(&presenting, &QTimer::timeout, [&] {
        if (sim.model->mode() == sim::ReaderModel::Mode::Reading)
            return;
        presenting.stop();
        sim.model->presentMaster(0);
    });
    presenting.start(5);
    click(child<QPushButton>(page(), "masterToReaderButton"));
    EXPECT_EQ(keptFiles().size(), 3);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
}

TEST_F(SafetyNetTest, AFailedReadAsksAndNoWritesNothing)
{
    sim.model->refuse(0x0B, 0x01);
    sim.model->clearCommandsReceived();
    dialogs.answers.enqueue(false);
    click(child<QPushButton>(page(), "writeReaderButton"));
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Сохранение конфигурации: Не удалось сохранить")));
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0B01")});
    dialogs.answers.enqueue(true);
    click(child<QPushButton>(page(), "writeReaderButton"));
    EXPECT_TRUE(sim.commands().last() == QStringLiteral("0501"));
    EXPECT_TRUE(keptFiles().isEmpty());
}

TEST_F(SafetyNetTest, TheLastFiftyPerReaderAreKeptAndOneIsRestored)
{
    const QString folder = dir.filePath(QStringLiteral("data/configurations/"));
    QDir().mkpath(folder);
    auto stamp = [](int second) { return QStringLiteral("20260101-0000%1").arg(second, 2, 10, QLatin1Char('0')); };
    // 60 older ones of this reader, and one of another reader.
    for (int i = 0; i < 60; ++i) {
        QFile f(folder + KeptConfigurationStore::fileName(QStringLiteral("A102-0A1B2C3D"), stamp(i), i + 1));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(configFileBytes(ConfigItems::parse(QByteArray::fromHex("0202100003030000400601020401010501000C0800F8E00700F8E0FF"))));
    }
    QFile other(folder + KeptConfigurationStore::fileName(QStringLiteral("A104-99"), QStringLiteral("20250101-000000"), 1));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(configFileBytes(kDefaultConfigItems));
    other.close();
    click(child<QPushButton>(page(), "writeReaderButton"));
    const QStringList files = keptFiles();
    EXPECT_EQ(files.filter(QStringLiteral("A102-0A1B2C3D_")).size(), 50);
    EXPECT_EQ(files.filter(QStringLiteral("A104-99_")).size(), 1);
    EXPECT_FALSE(files.contains(KeptConfigurationStore::fileName(QStringLiteral("A102-0A1B2C3D"), stamp(10), 11)));
    EXPECT_TRUE(files.contains(KeptConfigurationStore::fileName(QStringLiteral("A102-0A1B2C3D"), stamp(11), 12)));

    tray.chooseKeptConfigurations();
    KeptConfigurationsWindow *kept = window->keptWindow();
    ASSERT_TRUE(kept->isVisible());
    ASSERT_EQ(kept->rowCount(), 51);
    EXPECT_EQ(kept->cellText(0, 0), QStringLiteral("A102-0A1B2C3D")); // the newest first
    EXPECT_EQ(kept->cellText(1, 1), QStringLiteral("2026-01-01 00:00:59"));
    child<QTableView>(kept, "keptTable")->selectRow(1); // an older one: read mode 2
    child<QPushButton>(kept, "restoreButton")->click();
    EXPECT_EQ(child<ConfigEditor>(page(), "configEditor")->model.config().readMode, ReadMode::BlockCode);
    EXPECT_EQ(child<ConfigEditor>(page(), "configEditor")->model.config().wiegandType, 1);
    EXPECT_EQ(kept->cellText(1, 2), QStringLiteral("Защищенный режим: чтение кода из блока"));
    // In the editor now, not on the reader: the message says so.
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: ") + texts::kKeptRestored);
    child<QPushButton>(kept, "folderButton")->click();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("folder: ") + dir.filePath(QStringLiteral("data/configurations")));
}

TEST_F(SafetyNetTest, TheTabShowsUnsavedChangesAndClosingAsks)
{
    const int tab = window->tabs()->indexOf(page());
    // The tab keeps an empty icon while there is no mark, so that nothing moves.
    auto marked = [&] {
        const QImage icon = window->tabs()->tabIcon(tab).pixmap(10, 10).toImage();
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (qAlpha(icon.pixel(x, y)) > 0)
                    return true;
        return false;
    };
    EXPECT_FALSE(marked());
    child<QCheckBox>(child<ConfigEditor>(page(), "configEditor"), "hash")->click();
    EXPECT_TRUE(marked());
    dialogs.answers.enqueue(false);
    window->close();
    EXPECT_TRUE(window->isVisible()); // the user chose to stay
    EXPECT_TRUE(dialogs.shown.last().contains(QStringLiteral("не записана")));
    click(child<QPushButton>(page(), "writeReaderButton"));
    EXPECT_FALSE(marked());
}

TEST(CardLogCsv, HeaderColumnsAndQuoting)
{
    EXPECT_EQ(CardLog::csvHeader(), QByteArray("Время;Вид идентификатора;ID (как показан);ID (HEX);Тип карты\r\n"));
    CardLogEntry e{QDateTime(QDate(2026, 12, 10), QTime(9, 5, 1)), IdKind::Mir, QStringLiteral("ID \"12\"; ok, fine"),
                   QStringLiteral("0C"), QStringLiteral("SmartMX с Mifare Classic")};
    EXPECT_EQ(CardLog::csvLine(e), QStringLiteral("2026-12-10 09:05:01;MIR;\"ID \"\"12\"\"; ok, fine\";0C;SmartMX с Mifare Classic\r\n").toUtf8());
}

TEST_F(SafetyNetTest, AFloodOfReadsLosesNothingInTheFileAndTheWindowAnswers)
{
    const QString csv = dir.filePath(QStringLiteral("data/cards.csv"));
    tray.chooseCardLog();
    child<QCheckBox>(window->cardLogWindow(), "toFile")->click();
    ASSERT_TRUE(window->station().cardLog().writingFile());
    sim.model->sendCardInfo(2, 2, 1024, 1);
    ResponsivenessProbe probe;
    int sent = 0;
    QTimer flood; // 1,000 reads a second
    QObject::connect(&flood, &QTimer::timeout, [&] {
        for (int i = 0; i < 10 && sent < 2000; ++i)
            sim.model->presentCard(IdKind::Uid, QStringLiteral("04%1").arg(sent++, 6, 16, QLatin1Char('0')).toUpper());
    });
    flood.start(10);
    EXPECT_TRUE(waitUntil([&] { return window->station().cardLog().entries().size() >= 2000; }, 10000));
    flood.stop();
    // The window's table and the file follow the log in batches: waited for, not guessed.
    auto *model = child<CardLogModel>(window->cardLogWindow(), "cardLogModel");
    EXPECT_TRUE(waitUntil([&] { return model->rowCount() == 2000; }));
    auto linesInFile = [&] {
        QFile f(csv);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
    };
    EXPECT_TRUE(waitUntil([&] { return linesInFile() == 2001; }));
    EXPECT_LT(probe.worstGapMs(), 500);
    EXPECT_EQ(window->station().cardLog().entries().size(), 2000u);
    EXPECT_EQ(window->station().cardLog().entries().front().cardType, QStringLiteral("Mifare Classic"));
    EXPECT_EQ(child<CardLogModel>(window->cardLogWindow(), "cardLogModel")->rowCount(), 2000);
    EXPECT_EQ(child<CardLogModel>(window->cardLogWindow(), "cardLogModel")->rowTexts(0).value(3),
              QStringLiteral("040007CF")); // the newest first
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBF" "Время;"));
    EXPECT_EQ(lines.size(), 2002); // header, 2,000 reads, and the end of the last line
    child<QTableView>(window->cardLogWindow(), "cardLogTable")->selectRow(0);
    child<QPushButton>(window->cardLogWindow(), "copyButton")->click();
    EXPECT_TRUE(clipboard.texts.last().contains(QStringLiteral("\t040007CF\t")));
}
