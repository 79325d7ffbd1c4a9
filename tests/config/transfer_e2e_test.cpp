// Configuration transfer against the simulated reader over a pseudo-terminal,
// and configuration files.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <unistd.h>

#include "station/station.h"
#include "common/texts.h"
#include "config/configfile.h"
#include "config/editormodel.h"
#include "config/readerconfig.h"
#include "tests/support/configitems.h"
#include "config/transfer.h"
#include "config/ui/configeditor.h"
#include "config/ui/configpage.h"
#include "config/ui/transfercontroller.h"
#include "link/discovery.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "platform/qtserialport.h"
#include "provisioning/cardwait.h"
#include "tests/support/children.h"
#include "tests/support/fakeports.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/headlesswaits.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"
#include "tests/support/stationplatform.h"

using namespace limra;
using namespace limra::testing;

namespace {

// The configuration page's transfers as the user meets them: a station
// connected to the simulated reader, the page, and scripted dialogs.
class TransferTest : public ::testing::Test {
protected:
    TransferTest()
    {
        station.session().open(sim.port());
        station.session().setConnected(ReaderIdentity{});
        editor.startUp();
        user.watch(station);
    }
    QStringList commands() const { return sim.commands(); }
    void chooseReadMode(ReadMode mode) { editor.userSetReadMode(mode); }
    // Lets what the user started run to its end.
    void settle()
    {
        EXPECT_TRUE(waitUntil([this] { return !station.busy(); }, 10000));
        deliverPosted(); // its end is told from the event loop
    }

    SimReader sim;
    FakePortEnumerator ports;
    QTemporaryDir data;
    ReaderStation station{stationPlatform(ports, data.path()), Timings().shortened(10)};
    ScriptedDialogs dialogs;
    CardWaitUser user;
    EditorModel editor;
    ConfigPage page{editor, dialogs};
    ConfigTransferController transfer{page, editor, station, dialogs};
};

} // namespace

TEST_F(TransferTest, WriteInModesZeroAndTwoSendsTheConfigurationThenReset)
{
    for (ReadMode mode : {ReadMode::Uid, ReadMode::BlockCode}) {
        sim.model->clearCommandsReceived();
        chooseReadMode(mode);
        transfer.writeToReader();
        settle();
        // The reader's own configuration is kept first.
        ASSERT_EQ(commands().size(), 3) << int(mode);
        EXPECT_EQ(commands()[0], QStringLiteral("0B01"));
        EXPECT_TRUE(commands()[1].startsWith(mode == ReadMode::Uid ? QStringLiteral("01010202E70103030000400601000B10")
                                                       : QStringLiteral("01010202100003030000400601020802010009010"
                                                                        "00A01080B10")))
            << qPrintable(commands()[1]);
        EXPECT_TRUE(commands()[1].endsWith(QStringLiteral("0401000501000C081F04E00700F800FC")));
        EXPECT_EQ(commands()[2], QStringLiteral("0501"));
        EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
    }
}

// Assistive technology toggles a check box through its toggle action, with no
// click: the write sends what the box shows.
TEST_F(TransferTest, AByteOrderToggledWithoutAClickIsWhatTheWriteSends)
{
    child<ConfigEditor>(page, "configEditor")->sync();
    QAccessibleInterface *box =
        QAccessible::queryAccessibleInterface(child<QCheckBox>(child<ConfigEditor>(page, "configEditor"), "reversed"));
    ASSERT_TRUE(box && box->actionInterface());
    box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(child<QCheckBox>(child<ConfigEditor>(page, "configEditor"), "reversed")->isChecked());
    transfer.writeToReader();
    settle();
    ASSERT_EQ(commands().size(), 3);
    EXPECT_TRUE(commands()[1].startsWith(QStringLiteral("01010202E7010303010040"))) << qPrintable(commands()[1]);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
}

// The reader leaves and comes back while the question about the editor's
// unsaved changes is open; the read after the return is refused, or still
// on its way when the user answers "Да". The answer puts no empty or partial
// configuration into the editor: the editor stays as the user left it, or
// later gets the newest complete read, and a write sends one of these.
struct ReturnDuringTheQuestion {
    const char *name;
    bool refused; // the read after the return is refused; else it comes late
};

class ReaderReturnsDuringTheQuestion : public TransferTest,
                                       public ::testing::WithParamInterface<ReturnDuringTheQuestion> {};

TEST_P(ReaderReturnsDuringTheQuestion, NoEmptyConfigurationReachesTheEditorOrTheReader)
{
    QObject::connect(&station, &ReaderStation::readingAfterConnecting, &transfer,
                     &ConfigTransferController::readingAfterConnecting);
    editor.markClean();
    editor.userSetReversed(true); // a change not written anywhere
    editor.setBlocknum(77);
    ASSERT_TRUE(editor.isDirty());
    const ReaderConfig users = editor.config();
    dialogs.answers << true << true; // "Да" to the question, and to the one the late read asks
    dialogs.whileAsking = [this] {
        if (GetParam().refused)
            sim.model->refuse(0x0B, 0x01);
        Q_EMIT station.discovery().identified(); // the reader is back: its configuration is read again
        if (GetParam().refused) {
            EXPECT_TRUE(waitUntil([this] { return !station.busy(); }, 10000));
        }
    };
    Q_EMIT station.discovery().identified();
    settle();
    ASSERT_FALSE(dialogs.whileAsking); // the question was asked
    sim.model->clearFault(sim::Fault::Refuse);
    const QStringList shown = dialogs.shown;
    if (GetParam().refused) {
        EXPECT_EQ(editor.config(), users);
        EXPECT_TRUE(editor.isDirty());
        EXPECT_FALSE(shown.contains(QStringLiteral("message: Конфигурация считана из USB-считывателя")));
    } else {
        // The late read asked again and, answered "Да", put the reader's in.
        EXPECT_EQ(shown.count(QStringLiteral("message: Конфигурация считана из USB-считывателя")), 1);
        EXPECT_FALSE(editor.isDirty());
    }
    EXPECT_FALSE(shown.contains(QStringLiteral("error: ") + texts::kConfigurationIncomplete));

    sim.model->clearCommandsReceived();
    transfer.writeToReader();
    settle();
    ASSERT_EQ(commands().size(), 3);
    const ConfigItems written = itemsOf(commands()[1].mid(4));
    const ConfigItems held = ConfigItems::parse(limra::sim::ReaderModel::defaultConfigItems());
    if (GetParam().refused) {
        EXPECT_EQ(itemHex(written, 0x03), QStringLiteral("010040")); // the user's reversed byte order
        EXPECT_EQ(itemHex(written, 0x02), QStringLiteral("E701"));
    } else {
        EXPECT_EQ(written.value(0x02), held.value(0x02));
        EXPECT_EQ(written.value(0x05), held.value(0x05));
    }
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
}

INSTANTIATE_TEST_SUITE_P(Reads, ReaderReturnsDuringTheQuestion,
                         ::testing::Values(ReturnDuringTheQuestion{"refused", true},
                                           ReturnDuringTheQuestion{"late", false}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(TransferTest, ProtectedModesAskThenWaitForTheMasterCard)
{
    chooseReadMode(ReadMode::PassZones);
    dialogs.answers.enqueue(false);
    transfer.writeToReader();
    settle();
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("question: Конфигурация: Для записи конфигурации")));

    chooseReadMode(ReadMode::ObjectCode);
    dialogs.answers.enqueue(true);
    user.onOpen = [this](CardWait &) { sim.model->presentMaster(); };
    transfer.writeToReader();
    settle();
    EXPECT_EQ(user.captions, QStringList{QStringLiteral("Чтение кода объекта")});
    EXPECT_EQ(commands().size(), 3);
    EXPECT_EQ(commands().value(2), QStringLiteral("0501"));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
}

TEST_F(TransferTest, TimedOutWriteStillResetsTheReaderFirst)
{
    sim.model->injectFault(sim::Fault::Silent);
    dialogs.answers.enqueue(true); // the reader's configuration could not be kept: write anyway
    transfer.writeToReader();
    settle();
    EXPECT_EQ(commands().size(), 3);
    EXPECT_EQ(commands().value(2), QStringLiteral("0501"));
    EXPECT_TRUE(dialogs.shown.value(0).startsWith(QStringLiteral("question: Сохранение конфигурации: Не удалось сохранить")));
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Превышено время ожидания ответа."));
}

TEST_F(TransferTest, WrittenConfigurationReadsBack)
{
    chooseReadMode(ReadMode::BlockCode);
    editor.setBlocknum(77);
    editor.userSetBlockKey(QStringLiteral("ABCDEF"));
    transfer.writeToReader();
    settle();
    EditorModel before = editor;
    editor.startUp();
    dialogs.answers.enqueue(true); // the editor's defaults, saved nowhere, are replaced
    transfer.readFromReader();
    settle();
    EXPECT_EQ(editor.config().readMode, ReadMode::BlockCode);
    EXPECT_EQ(editor.config().blockNumber, 77);
    EXPECT_EQ(editor.config().blockKey, before.config().blockKey);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Конфигурация считана из USB-считывателя"));
    EXPECT_EQ(commands().last(), QStringLiteral("0B01")); // a read sends no "0501"
}

TEST_F(TransferTest, ChecksumBoxesDependOnWhoReadAndTheMode)
{
    sim.model->setObjectCodeChecksum(QByteArray::fromHex("5A3C"));
    transfer.readingAfterConnecting(station.readConfig());
    settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Конфигурация считана из USB-считывателя"));
    const int shown = dialogs.shown.size();
    transfer.readFromReader();
    settle(); // read mode 0: nothing at all
    EXPECT_EQ(dialogs.shown.size(), shown);

    sim.model->setObjectCodeChecksum({});
    sim.model->setBlockKeyChecksum(QByteArray::fromHex("77AA"));
    sim.model->setConfigItems(QByteArray::fromHex("020210000303000040060102" "040100050100"));
    transfer.readFromReader();
    settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("input: Конфигурация считана из USB-считывателя: "
                                                   "Контрольная сумма кода доступа к блоку: 77AA"));
}

TEST_F(TransferTest, ShortOrRefusedReadsChangeNothing)
{
    sim.model->setConfigItems(QByteArray::fromHex("0601000401000501")); // with 14 and 0D: 28 digits
    chooseReadMode(ReadMode::BlockCode);
    transfer.readFromReader();
    settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Не удалось считать конфигурацию."));
    EXPECT_EQ(editor.config().readMode, ReadMode::BlockCode);
    sim.model->injectFault(sim::Fault::StatusCode, 0x0F);
    transfer.readFromReader();
    settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Ошибка: Ошибочная команда."));
    EXPECT_EQ(commands().size(), 2);
}

// A reply long enough to be a configuration that misses the items the reader
// needs is refused with its own message; the editor stays as it was.
TEST_F(TransferTest, AReaderConfigurationWithoutTheItemsTheReaderNeedsIsRefused)
{
    sim.model->setConfigItems(QByteArray::fromHex("0C0800F8E00700F8E0FF" "06010702026700"));
    editor.markClean();
    editor.userSetReversed(true);
    const ReaderConfig before = editor.config();
    dialogs.answers.enqueue(true); // replace the unsaved edit: yes
    transfer.readFromReader();
    settle();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: ") + texts::kConfigurationIncomplete);
    EXPECT_EQ(editor.config(), before);
    EXPECT_TRUE(editor.isDirty());
}

TEST_F(TransferTest, DefaultConfigurationSendsNothing)
{
    chooseReadMode(ReadMode::PassZones);
    transfer.showDefault();
    EXPECT_TRUE(commands().isEmpty());
    EXPECT_EQ(editor.config().readMode, ReadMode::Uid);
    EXPECT_EQ(editor.record().formats, 0x0067);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Показана конфигурация по умолчанию"));
}

// ---- files -------------------------------------------------------------------

class FileTest : public TransferTest {
protected:
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QByteArray read(const QString &p) const
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString &p, const QByteArray &bytes) const
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString load(const QByteArray &bytes)
    {
        write(path("in.rcf"), bytes);
        dialogs.files.enqueue(path("in.rcf"));
        transfer.loadFromFile();
        return dialogs.shown.last();
    }
    QTemporaryDir dir;
};

TEST_F(FileTest, SaveThenLoadReproducesTheEditor)
{
    chooseReadMode(ReadMode::PassZones);
    std::array<bool, 64> zones{};
    zones[5] = zones[63] = true;
    editor.userSetZones(zones);
    editor.setPulse(125);
    editor.setColour(2, QColor(16, 52, 80));
    dialogs.files.enqueue(path("a.rcf"));
    transfer.saveToFile();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
    const ReaderConfig saved = editor.record();
    editor.startUp();
    dialogs.files.enqueue(path("a.rcf"));
    dialogs.answers.enqueue(true); // the editor's defaults, saved nowhere, are replaced
    transfer.loadFromFile();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("message: Конфигурация считана из файла"));
    const ReaderConfig loaded = editor.record();
    EXPECT_EQ(loaded.readMode, ReadMode::PassZones);
    EXPECT_EQ(loaded.zones, saved.zones);
    EXPECT_EQ(loaded.pulse, 125);
    for (size_t i = 0; i < 4; ++i) // the file keeps what the colour code keeps
        EXPECT_EQ(loaded.ledColours[i], reducedColour(saved.ledColours[i])) << i;
}

// Each way of putting another configuration into the editor asks once before
// it replaces changes that are saved nowhere, with the reconnection's words;
// "Нет" leaves the editor and the reader as they were, and with nothing
// unsaved nothing is asked.
TEST_F(FileTest, UnsavedChangesAreReplacedOnlyAfterOneQuestion)
{
    write(path("other.rcf"), configFileBytes(itemsOf(QStringLiteral("0202E701" "0303000040" "060102" "040100" "050100"))));
    const QString unsaved = QStringLiteral("question: Конфигурация: Конфигурация в редакторе изменена и не записана "
                                           "ни в USB-считыватель, ни в файл. Заменить её ");
    struct Row {
        const char *name;
        QString by;
        std::function<void()> replace;
        QString told; // after "Да"
    };
    const Row rows[] = {
        {"default", QStringLiteral("конфигурацией по умолчанию?"), [this] { transfer.showDefault(); },
         QStringLiteral("message: Показана конфигурация по умолчанию")},
        {"reader", QStringLiteral("конфигурацией считывателя?"), [this] { transfer.readFromReader(); },
         QStringLiteral("message: Конфигурация считана из USB-считывателя")},
        {"file", QStringLiteral("конфигурацией из файла?"),
         [this] {
             dialogs.files.enqueue(path("other.rcf"));
             transfer.loadFromFile();
         },
         QStringLiteral("message: Конфигурация считана из файла")},
        {"kept", QStringLiteral("сохранённой конфигурацией?"), [this] { transfer.restoreKept(path("other.rcf")); },
         QStringLiteral("message: ") + texts::kKeptRestored},
    };
    for (const Row &row : rows) {
        editor.markClean();
        chooseReadMode(ReadMode::ObjectCode); // an edit saved nowhere
        ASSERT_TRUE(editor.isDirty());
        sim.model->clearCommandsReceived();
        dialogs.shown.clear();
        dialogs.answers.enqueue(false);
        row.replace();
        settle();
        EXPECT_EQ(dialogs.shown.filter(QStringLiteral("question:")), QStringList{unsaved + row.by}) << row.name;
        EXPECT_EQ(editor.config().readMode, ReadMode::ObjectCode) << row.name;
        EXPECT_TRUE(editor.isDirty()) << row.name;
        EXPECT_TRUE(commands().isEmpty()) << row.name;

        dialogs.shown.clear();
        dialogs.answers.enqueue(true);
        row.replace();
        settle();
        EXPECT_EQ(dialogs.shown.filter(QStringLiteral("question:")).size(), 1) << row.name;
        EXPECT_EQ(dialogs.shown.last(), row.told) << row.name;
        EXPECT_NE(editor.config().readMode, ReadMode::ObjectCode) << row.name;

        // Nothing unsaved: nothing asked.
        editor.markClean();
        dialogs.shown.clear();
        row.replace();
        settle();
        EXPECT_TRUE(dialogs.shown.filter(QStringLiteral("question:")).isEmpty()) << row.name;
    }
}

// The next file dialog starts where a file was written or read, never where
// a save or an open failed.
TEST_F(FileTest, OnlyAFolderWhereAFileWasSavedOrReadIsRemembered)
{
    dialogs.files.enqueue(path("a.rcf"));
    transfer.saveToFile();
    ASSERT_EQ(dialogs.shown.last(), QStringLiteral("message: Выполнено"));
    QTemporaryDir readOnly;
    ASSERT_TRUE(QFile::setPermissions(readOnly.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QTemporaryDir other;
    const QString unreadable = other.filePath(QStringLiteral("broken.rcf"));
    write(unreadable, QByteArray(19, 'x'));
    if (::geteuid() != 0) { // root writes anywhere
        dialogs.files.enqueue(readOnly.filePath(QStringLiteral("b.rcf")));
        transfer.saveToFile();
        EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("error: Не удалось записать файл")));
    }
    dialogs.files.enqueue(unreadable);
    transfer.loadFromFile();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("error: Неверный формат файла."));
    transfer.saveToFile(); // cancelled: shows where it starts
    EXPECT_EQ(dialogs.startFolder, dir.path());
}

TEST_F(FileTest, EveryChangedByteGivesTheCrcMessage)
{
    const QByteArray good = configFileBytes(kDefaultConfigItems);
    for (int i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x01);
        EXPECT_EQ(load(bad), QStringLiteral("error: Неверный формат файла - ошибка CRC.")) << i;
    }
    EXPECT_EQ(editor.config().readMode, ReadMode::Uid);
    EXPECT_EQ(editor.record().formats, 0x01E7); // untouched
}

TEST_F(FileTest, FormatChecks)
{
    EXPECT_EQ(load(QByteArray(19, 'x')), QStringLiteral("error: Неверный формат файла."));
    const QString block = QStringLiteral("02") + hexOf(kDefaultConfigItems);
    const QByteArray version = QCryptographicHash::hash(block.toLatin1(), QCryptographicHash::Md5) + hexToBytes(block);
    EXPECT_EQ(load(version), QStringLiteral("error: Неверный формат файла - ошибка версии."));
    // The digest is over upper-case hex text.
    const QByteArray lower = QCryptographicHash::hash(QByteArray("01") + hexOf(kDefaultConfigItems).toLower().toLatin1(),
                                                      QCryptographicHash::Md5)
                             + hexToBytes(QStringLiteral("01") + hexOf(kDefaultConfigItems));
    EXPECT_EQ(load(lower), QStringLiteral("error: Неверный формат файла - ошибка CRC."));
    const auto items = checkConfigFile(configFileBytes(itemsOf(QStringLiteral("060103"))));
    ASSERT_TRUE(items);
    EXPECT_EQ(hexOf(*items), QStringLiteral("060103"));
    EXPECT_EQ(configFileBytes(itemsOf(QStringLiteral("060103"))).size(), 20);
    // Its three bytes pass the format checks, but they do not hold the items
    // every configuration carries: it is not a configuration to write.
    EXPECT_EQ(load(configFileBytes(itemsOf(QStringLiteral("060103")))), QStringLiteral("error: ") + texts::kConfigurationIncomplete);
    EXPECT_EQ(editor.config().readMode, ReadMode::Uid);
}

// A valid digest over items that miss what the reader needs: refused, the
// editor as it was (it would have been the first format and a width of 8 bits).
TEST_F(FileTest, AFileWithoutTheItemsTheReaderNeedsIsRefused)
{
    editor.markClean();
    editor.userSetReversed(true);
    const ReaderConfig before = editor.config();
    for (const char *items : {"0C0800F8E00700F8E0FF", "06010702026700", "FF10AABB", "020267000303000040060100040100"}) {
        EXPECT_EQ(load(configFileBytes(itemsOf(QString::fromLatin1(items)))), QStringLiteral("error: ") + texts::kConfigurationIncomplete)
            << items;
        EXPECT_EQ(editor.config(), before) << items;
        EXPECT_TRUE(editor.isDirty()) << items;
    }
    const auto loaded = loadConfigFile(path("in.rcf"));
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().kind, ConfigFileError::Kind::Incomplete);
}

TEST_F(FileTest, FailedSaveKeepsTheEarlierFile)
{
    write(path("keep.rcf"), QByteArray("earlier"));
    dialogs.files.enqueue(path("keep.rcf"));
    {
        const FileSizeLimit limit(40);
        transfer.saveToFile();
    }
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("error: Не удалось записать файл")));
    EXPECT_EQ(read(path("keep.rcf")), QByteArray("earlier"));
    dialogs.files.enqueue(dir.filePath(QStringLiteral("missing/dir/x.rcf")));
    transfer.saveToFile();
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("error: ")));
    dialogs.files.enqueue(path("absent.rcf"));
    transfer.loadFromFile();
    EXPECT_TRUE(dialogs.shown.last().startsWith(QStringLiteral("error: Не удалось открыть файл")));
}

TEST_F(FileTest, SavingOnABleReaderStillWritesKeyAndColours)
{
    editor.readerKind = [] { return ReaderKind::Ble; };
    editor.userSetBleName(QStringLiteral("Gate"));
    editor.userSetBlockKey(QString(30, QLatin1Char('1')));
    dialogs.files.enqueue(path("ble.rcf"));
    transfer.saveToFile();
    const auto t = checkConfigFile(read(path("ble.rcf")));
    ASSERT_TRUE(t);
    EXPECT_EQ(itemHex(*t, 0x0B), defaultBankKey());
    EXPECT_EQ(t->value(0x0C).size(), 8);
    EXPECT_FALSE(t->contains(0x20));
    EXPECT_EQ(editor.config().blockKey, QStringLiteral("00") + QString(30, QLatin1Char('1')));
}
