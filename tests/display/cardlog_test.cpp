// The card log: its rows, its window, and its file on a disk that fills up,
// comes back, and turns a month.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/texts.h"
#include "display/cardid.h"
#include "display/cardlog.h"
#include "display/cardlogentry.h"
#include "display/localtimetext.h"
#include "display/ui/cardlogwindow.h"
#include "tests/support/children.h"
#include "tests/support/faketray.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/shownwindow.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

QString uid(int n)
{
    return QStringLiteral("04%1").arg(n, 6, 16, QLatin1Char('0')).toUpper();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The data lines of a log file, after its header.
QList<QByteArray> lines(const QString &path)
{
    QList<QByteArray> all = readAll(path).split('\n');
    if (!all.isEmpty() && all.last().isEmpty())
        all.removeLast();
    if (!all.isEmpty())
        all.removeFirst();
    return all;
}

// A log whose disk has `room` bytes left; -1 is a disk that does not fill.
class FillingDiskLog : public CardLog {
public:
    FillingDiskLog() : CardLog(Timings().shortened(10)) {}
    qint64 room = -1;
    int writes = 0;

protected:
    Expected<void, CardLogFile::ShortWrite> writeToFile(QFile &file, const char *data, qint64 size) override
    {
        ++writes;
        if (room < 0)
            return CardLog::writeToFile(file, data, size);
        const qint64 n = std::min(size, room);
        room -= n;
        qint64 done = 0;
        if (n > 0) {
            const auto written = CardLog::writeToFile(file, data, n);
            done = written ? n : written.error().written;
        }
        if (done == size)
            return {};
        return unexpected(CardLogFile::ShortWrite{done, QString::fromLocal8Bit(std::strerror(ENOSPC))});
    }
};

// Runs the code with the local time zone set to `zone`.
struct TimeZoneScope {
    explicit TimeZoneScope(const char *zone) : old(qgetenv("TZ")), had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope()
    {
        if (had)
            qputenv("TZ", old);
        else
            qunsetenv("TZ");
        tzset();
    }
    QByteArray old;
    bool had;
};

} // namespace

// ------------------------------------------------------------------ rows

struct IdCase {
    const char *name;
    const char *text;
};

class CardIds : public ::testing::TestWithParam<IdCase> {};

TEST_P(CardIds, AreGivenBackAsTheReaderSentThem)
{
    const QString text = QString::fromLatin1(GetParam().text);
    EXPECT_EQ(CardId(text).text(), text);
    EXPECT_EQ(CardLogEntry(0, IdKind::Uid, QString(), text).hex(), text);
}

INSTANTIATE_TEST_SUITE_P(Texts, CardIds, ::testing::Values(
    IdCase{"seven_bytes", "04A1B2C3D4E5F6"},
    IdCase{"leading_zeros", "00FF"},
    IdCase{"odd_digits", "1AF"},
    IdCase{"one_digit", "0"},
    IdCase{"thirty_two_digits", "0123456789ABCDEF0123456789ABCDEF"},
    IdCase{"longer", "0123456789ABCDEF0123456789ABCDEF01"},
    IdCase{"lower_case", "04a1b2"},
    IdCase{"not_hex", "12:34;Z"},
    IdCase{"empty", ""}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(LocalTimeTextTest, WritesWhatTheTimeZoneSaysAcrossChangesOfSummerTime)
{
    for (const char *zone : {"Europe/Berlin", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe", "UTC"}) {
        TimeZoneScope scope(zone);
        LocalTimeText times;
        // Every 7 minutes through the days around both changes of 2026, and a spread over the years.
        std::vector<qint64> moments;
        for (const QDate day : {QDate(2026, 3, 28), QDate(2026, 10, 24), QDate(2026, 4, 4), QDate(2026, 11, 1)})
            for (qint64 m = 0; m < 3 * 24 * 60; m += 7)
                moments.push_back(QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() + m * 60000 + 999);
        for (qint64 s = 0; s < 4'000'000'000; s += 97'654'321)
            moments.push_back(s * 1000);
        moments.push_back(-1); // just before the epoch
        for (qint64 ms : moments) {
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
            ASSERT_EQ(times.text(ms), local.toString(texts::kTimeFormat)) << zone << " " << ms;
            ASSERT_EQ(times.month(ms), local.date().year() * 12 + local.date().month() - 1) << zone << " " << ms;
        }
    }
}

TEST(CardLogTest, ALineHasTheLocalTimeTheKindBothFormsAndTheCardType)
{
    CardLogEntry e(QDateTime(QDate(2026, 12, 10), QTime(9, 5, 1)), IdKind::NonuniqueUid,
                   QStringLiteral("x;\"y\""), QStringLiteral("0C"), QStringLiteral("Mifare Classic"));
    EXPECT_EQ(CardLog::csvLine(e), QByteArray("2026-12-10 09:05:01;Nonunique UID;\"x;\"\"y\"\"\";0C;Mifare Classic\r\n"));
}

TEST(CardLogTest, TheCardTypeGoesWithTheNextReadWithinASecond)
{
    CardLog log;
    log.cardInfo(QStringLiteral("Mifare Classic"));
    log.addRead(QStringLiteral("01"), QStringLiteral("1"), IdKind::Uid);
    log.addRead(QStringLiteral("02"), QStringLiteral("2"), IdKind::Mir);
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_EQ(log.entries()[0].cardType, QStringLiteral("Mifare Classic"));
    EXPECT_EQ(log.entries()[1].cardType, QString()); // once only
    EXPECT_EQ(log.entries()[1].kind, IdKind::Mir);
    EXPECT_EQ(log.entries()[1].hex(), QStringLiteral("02"));
    EXPECT_LE(std::abs(log.entries()[1].msecs - QDateTime::currentMSecsSinceEpoch()), 2000);
    log.cardInfo(QStringLiteral("NTag216"));
    log.add(CardLogEntry(QDateTime::currentMSecsSinceEpoch() + 1500, IdKind::Uid, QStringLiteral("3"), QStringLiteral("03")));
    EXPECT_EQ(log.entries()[2].cardType, QString()); // too late for it
}

// The reader tells a card's information after its identifier: the display
// shows the type with that identifier, and so do its row and its file line.
TEST(CardLogTest, TheCardTypeToldAfterTheReadGoesWithThatRead)
{
    QTemporaryDir dir;
    CardLog log;
    const QString path = dir.filePath(QStringLiteral("cards.csv"));
    ASSERT_TRUE(log.startFile(path));
    QSignalSpy changed(&log, &CardLog::newestChanged);
    log.addRead(QStringLiteral("04A1B2C3D4E5F6"), QStringLiteral("04A1B2C3D4E5F6"), IdKind::Uid);
    log.cardInfo(QStringLiteral("SmartMX с Mifare Classic"));
    EXPECT_EQ(log.entries().back().cardType, QStringLiteral("SmartMX с Mifare Classic"));
    EXPECT_EQ(changed.size(), 1);
    // The next read does not take it again; another information waits for its read.
    log.cardInfo(QStringLiteral("NTag216"));
    log.addRead(QStringLiteral("0A"), QStringLiteral("10"), IdKind::Uid);
    EXPECT_EQ(log.entries().back().cardType, QStringLiteral("NTag216"));
    log.flush();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(";04A1B2C3D4E5F6;SmartMX с Mifare Classic\r")) << lines[1].constData();
    EXPECT_TRUE(lines[2].endsWith(";0A;NTag216\r")) << lines[2].constData();
}

// ------------------------------------------------------------------ window

class CardLogWindowTest : public ::testing::Test {
protected:
    void addReads(int from, int count)
    {
        for (int i = from; i < from + count; ++i)
            log.addRead(uid(i), QString::number(i), IdKind::Uid);
        ASSERT_TRUE(waitUntil(
            [&] {
                return child<QTableView>(window, "cardLogTable")->verticalHeader()->count() ==
                       int(log.entries().size());
            },
            1000));
        laidOut(&window); // the view lays itself out
    }
    QString hexOfRow(int row) const { return child<CardLogModel>(window, "cardLogModel")->rowTexts(row).value(3); }
    int topRow() const { return child<QTableView>(window, "cardLogTable")->rowAt(0); }

    QTemporaryDir dir;
    CardLog log;
    ScriptedDialogs dialogs;
    FakeClipboard clipboard;
    CardLogWindow window{log, dialogs, &clipboard, dir.filePath(QStringLiteral("cards.csv"))};
};

// The reads go for good: "Очистить" asks first, and "Нет" keeps them.
TEST_F(CardLogWindowTest, ClearingAsksFirst)
{
    addReads(0, 3);
    dialogs.answers.enqueue(false);
    child<QPushButton>(window, "clearButton")->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("question: Журнал карт: ") + texts::kClearCardLogQuestion});
    EXPECT_EQ(log.entries().size(), 3u);
    dialogs.answers.enqueue(true);
    child<QPushButton>(window, "clearButton")->click();
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(CardLogWindowTest, NewCardsKeepTheSelectionAndTheRowsInView)
{
    window.resize(760, 420);
    window.show();
    addReads(0, 300);
    child<QTableView>(window, "cardLogTable")->verticalScrollBar()->setValue(100);
    ASSERT_EQ(child<QTableView>(window, "cardLogTable")->verticalScrollBar()->value(), 100);
    const int top = topRow();
    const QString topHex = hexOfRow(top);
    child<QTableView>(window, "cardLogTable")->selectRow(top + 3);
    const QString selectedHex = hexOfRow(top + 3);

    addReads(300, 25);
    ASSERT_EQ(child<QTableView>(window, "cardLogTable")->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(hexOfRow(child<QTableView>(window, "cardLogTable")->selectionModel()->selectedRows().first().row()),
              selectedHex);
    EXPECT_EQ(hexOfRow(topRow()), topHex); // the same reads in view
    EXPECT_EQ(hexOfRow(0), uid(324));

    child<QTableView>(window, "cardLogTable")->verticalScrollBar()->setValue(0); // at the top the newest read shows
    addReads(325, 5);
    EXPECT_EQ(topRow(), 0);
    EXPECT_EQ(hexOfRow(0), uid(329));
}

TEST_F(CardLogWindowTest, ReadsBeyondWhatTheLogHoldsLeaveAtTheBottom)
{
    addReads(0, CardLog::kHeld - 5);
    child<QTableView>(window, "cardLogTable")->selectRow(2);
    addReads(CardLog::kHeld - 5, 12); // 7 of the oldest go
    EXPECT_EQ(child<CardLogModel>(window, "cardLogModel")->rowCount(), CardLog::kHeld);
    EXPECT_EQ(hexOfRow(0), uid(CardLog::kHeld + 6));
    EXPECT_EQ(hexOfRow(CardLog::kHeld - 1), uid(7));
    EXPECT_EQ(child<QTableView>(window, "cardLogTable")->selectionModel()->selectedRows().first().row(), 14);
    log.clear();
    EXPECT_EQ(child<CardLogModel>(window, "cardLogModel")->rowCount(), 0);
    addReads(0, 3);
    EXPECT_EQ(hexOfRow(0), uid(2));
}

TEST_F(CardLogWindowTest, AFileThatCannotBeWrittenIsShownWithItsReasonUntilItIsWrittenAgain)
{
    const QString path = dir.filePath(QStringLiteral("cards.csv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path));
    child<QCheckBox>(window, "toFile")->click();
    ASSERT_TRUE(child<QCheckBox>(window, "toFile")->isChecked());
    EXPECT_TRUE(child<QLabel>(window, "fileLabel")->text().contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(child<QLabel>(window, "fileLabel")->text().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    ASSERT_TRUE(QFile::remove(path));
    log.flush();
    EXPECT_EQ(child<QLabel>(window, "fileLabel")->text(), path);
    EXPECT_TRUE(child<QCheckBox>(window, "toFile")->isChecked());
}

// ------------------------------------------------------------------ the file

class CardLogFileTest : public ::testing::Test {
protected:
    void read(int n, qint64 msecs = 0)
    {
        log.add(CardLogEntry(msecs ? msecs : QDateTime::currentMSecsSinceEpoch(), IdKind::Uid, QString::number(n), uid(n)));
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("cards.csv"));
    FillingDiskLog log;
    QSignalSpy failed{&log, &CardLog::fileFailed};
    QSignalSpy written{&log, &CardLog::fileWritten};
};

TEST_F(CardLogFileTest, AFullDiskIsSaidOnceAndTheReadsAreWrittenWhenItHasRoomAgain)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path)); // every write: no space left
    ASSERT_TRUE(log.startFile(path));
    ASSERT_EQ(failed.size(), 1);
    const QString message = failed.first().first().toString();
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(path))) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << message.toStdString();
    EXPECT_EQ(log.fileProblem(), message);
    for (int i = 0; i < 5; ++i)
        read(i);
    log.flush();
    for (int i = 5; i < 10; ++i)
        read(i);
    EXPECT_TRUE(waitUntil([&] { return log.writes >= 4; }, 3000)); // tried again by itself
    EXPECT_EQ(failed.size(), 1);                                   // and said once
    EXPECT_EQ(log.unwrittenReads(), 10);
    EXPECT_TRUE(log.writingFile());

    ASSERT_TRUE(QFile::remove(path)); // the disk has room again
    EXPECT_TRUE(waitUntil([&] { return written.size() == 1; }, 3000));
    EXPECT_TRUE(log.fileProblem().isEmpty());
    EXPECT_EQ(log.unwrittenReads(), 0);
    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.startsWith(kBom + CardLog::csvHeader()));
    EXPECT_EQ(bytes.count(CardLog::csvHeader()), 1);
    const QList<QByteArray> rows = lines(path);
    ASSERT_EQ(rows.size(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(rows[i].contains(';' + uid(i).toLatin1() + ';')) << i;

    log.room = 0; // full again: said again, once
    read(10);
    log.flush();
    log.flush();
    EXPECT_EQ(failed.size(), 2);
}

TEST_F(CardLogFileTest, ADiskThatFillsInTheMiddleOfALineLosesAndRepeatsNothing)
{
    ASSERT_TRUE(log.startFile(path));
    const qint64 header = readAll(path).size();
    EXPECT_GT(header, 0);
    read(0);
    const qint64 line = CardLogEntry(0, IdKind::Uid, QStringLiteral("0"), uid(0)).hex().size() + 30;
    log.room = line + line / 2; // the second line stops half-way
    for (int i = 1; i < 4; ++i)
        read(i);
    log.flush();
    ASSERT_EQ(failed.size(), 1);
    for (int i = 4; i < 8; ++i)
        read(i);
    log.room = -1;
    log.flush();
    EXPECT_EQ(written.size(), 1);
    const QList<QByteArray> rows = lines(path);
    ASSERT_EQ(rows.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rows[i], CardLog::csvLine(log.entries()[size_t(i)]).chopped(1)) << i;
}

TEST_F(CardLogFileTest, AFileRemovedWhileItCouldNotBeWrittenStartsAgainWithItsHeaderAndWholeLines)
{
    ASSERT_TRUE(log.startFile(path));
    log.room = 20; // a part of the first line
    read(0);
    read(1);
    log.flush();
    ASSERT_EQ(failed.size(), 1);
    ASSERT_TRUE(QFile::remove(path));
    log.room = -1;
    log.flush();
    EXPECT_EQ(written.size(), 1);
    EXPECT_TRUE(readAll(path).startsWith(kBom + CardLog::csvHeader()));
    const QList<QByteArray> rows = lines(path);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], CardLog::csvLine(log.entries()[0]).chopped(1));
}

TEST_F(CardLogFileTest, TheFirstReadOfALaterMonthMovesTheFileAsideUnderItsMonth)
{
    ASSERT_TRUE(log.startFile(path));
    const qint64 january = QDateTime(QDate(2026, 1, 31), QTime(23, 59, 59)).toMSecsSinceEpoch();
    const qint64 february = QDateTime(QDate(2026, 2, 1), QTime(0, 0, 1)).toMSecsSinceEpoch();
    read(0, january);
    log.flush();
    read(1, january);
    read(2, february); // in the same batch
    read(3, february);
    log.flush();
    const QString aside = dir.filePath(QStringLiteral("cards-2026-01.csv"));
    EXPECT_EQ(CardLog::monthFileName(path, 2026 * 12), aside);
    ASSERT_EQ(lines(aside).size(), 2);
    EXPECT_TRUE(lines(aside)[1].contains(uid(1).toLatin1()));
    ASSERT_EQ(lines(path).size(), 2);
    EXPECT_TRUE(lines(path)[0].contains(uid(2).toLatin1()));
    EXPECT_TRUE(readAll(path).startsWith(kBom + CardLog::csvHeader()));
    read(4, january); // a clock set back writes on into the current file
    log.flush();
    EXPECT_EQ(lines(path).size(), 3);
    EXPECT_EQ(failed.size(), 0);
}

TEST_F(CardLogFileTest, AFileLeftFromAnEarlierMonthIsMovedAsideWithoutReplacingAnOlderOne)
{
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(kBom + CardLog::csvHeader() + "2025-11-30 10:00:00;UID;1;01;\r\n");
        old.flush();
        old.setFileTime(QDateTime(QDate(2025, 11, 30), QTime(10, 0)), QFileDevice::FileModificationTime);
        QFile older(dir.filePath(QStringLiteral("cards-2025-11.csv")));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("older");
    }
    ASSERT_TRUE(log.startFile(path));
    read(0, QDateTime(QDate(2026, 2, 3), QTime(8, 0)).toMSecsSinceEpoch());
    log.flush();
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("cards-2025-11.csv"))), QByteArray("older"));
    EXPECT_TRUE(readAll(dir.filePath(QStringLiteral("cards-2025-11-2.csv"))).endsWith("01;\r\n"));
    ASSERT_EQ(lines(path).size(), 1);
    EXPECT_TRUE(lines(path)[0].startsWith("2026-02-03 08:00:00;"));
}

TEST_F(CardLogFileTest, TurningTheFileOffAndOnAppendsToTheSameFile)
{
    ASSERT_TRUE(log.startFile(path));
    read(0);
    log.stopFile();
    EXPECT_FALSE(log.writingFile());
    read(1); // not for the file
    ASSERT_TRUE(log.startFile(path));
    read(2);
    log.stopFile();
    const QList<QByteArray> rows = lines(path);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[1].contains(uid(2).toLatin1()));
}
