// The debug terminal's rendering, log lines and free command, against the
// simulated reader over a pseudo-terminal; the debug tab as a user types.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include "link/hextext.h"
#include "link/readerlink.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "link/ui/debugpage.h"
#include "platform/qtserialport.h"
#include "tests/support/children.h"
#include "tests/support/requests.h"
#include "tests/support/responsiveness.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/simreader.h"

using namespace limra;
using namespace limra::testing;

struct RenderCase {
    const char *name;
    const char *hex;
    bool hexOn;
    bool asciiOn;
    const char *expected;
};

class Rendering : public ::testing::TestWithParam<RenderCase> {};

TEST_P(Rendering, FollowsTheTwoBoxes)
{
    const RenderCase &c = GetParam();
    EXPECT_EQ(renderTraffic(QString::fromLatin1(c.hex), TrafficRendering{c.hexOn, c.asciiOn}),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Boxes, Rendering, ::testing::Values(
    RenderCase{"hex_alone", "2305050124", true, false, "23 05 05 01 24 "},
    RenderCase{"ascii_alone", "2305050124", false, true, "#...$"},
    RenderCase{"both_control_byte", "0D", true, true, "0D(.) "},
    RenderCase{"both_letter", "41", true, true, "41(A) "},
    RenderCase{"neither", "2305050124", false, false, ""},
    RenderCase{"odd_digit_ignored", "415", true, false, "41 "},
    RenderCase{"high_bytes_as_code_points", "7F80FF", false, true, "\x7F\u0080\u00FF"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(TrafficLine, TimeDirectionAndBytes)
{
    EXPECT_EQ(trafficLine(QStringLiteral("12:00:01"), QLatin1Char('>'), QStringLiteral("23 05 0A 01 24 ")),
              QStringLiteral("[12:00:01] > 23 05 0A 01 24 "));
}

namespace {

class TerminalTest : public ::testing::Test {
protected:
    TerminalTest()
    {
        session.open(sim.port());
        QObject::connect(&log, &TrafficLog::lineAdded, [this](const QString &line) { lines << line; });
    }
    // "Отправить": what the user is told.
    QString send(const char *payload)
    {
        debugCommand.start(hexBytes(payload));
        EXPECT_TRUE(finish(debugCommand));
        return debugCommand.report().text;
    }
    SimReader sim;
    ReaderLink link;
    ReaderSession session{link, [] { return std::make_unique<QtSerialPort>(); }};
    Timings timings;
    TrafficLog log{link};
    DebugCommand debugCommand{link, timings};
    QStringList lines;
};

} // namespace

TEST_F(TerminalTest, SentFrameAndReplyAreLogged)
{
    EXPECT_EQ(send("0A01"), QStringLiteral("Выполнено"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] > 23 05 0A 01 24 "))) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("] < 23 ")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(" 0A 01 ")));
}

TEST_F(TerminalTest, BothBoxesOffLogNothingButTheCommandWorks)
{
    log.rendering = TrafficRendering{false, false};
    EXPECT_EQ(send("0B01"), QStringLiteral("Выполнено"));
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(TerminalTest, ErrorSendsResumeReadingThenTellsIt)
{
    sim.model->refuse(0x0C, 0x01);
    EXPECT_EQ(send("0C01"), QStringLiteral("Ошибка: Ошибочная команда."));
    EXPECT_EQ(debugCommand.report().kind, Report::Kind::Message);
    EXPECT_EQ(sim.commands(), (QStringList{QStringLiteral("0C01"), QStringLiteral("0501")}));
}

// ---- The command as typed.

struct CommandCase {
    const char *name;
    const char *typed;
    const char *payload;  // empty: refused
    const char *refusal;  // the start of the reason
};

class TypedCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(TypedCommands, IsSentAsTypedOrRefused)
{
    const CommandCase &c = GetParam();
    const TypedCommand command = parseTypedCommand(QString::fromUtf8(c.typed));
    EXPECT_EQ(command.payload, hexToBytes(QString::fromLatin1(c.payload)));
    EXPECT_EQ(command.accepted(), *c.payload != '\0');
    if (*c.refusal == '\0')
        EXPECT_TRUE(command.refusal.isEmpty()) << qPrintable(command.refusal);
    else
        EXPECT_TRUE(command.refusal.startsWith(QString::fromUtf8(c.refusal))) << qPrintable(command.refusal);
}

INSTANTIATE_TEST_SUITE_P(Debug, TypedCommands, ::testing::Values(
    CommandCase{"plain", "0A01", "0A01", ""},
    CommandCase{"blanks_between_bytes", "0a 01", "0A01", ""},
    CommandCase{"blanks_and_tabs_anywhere", " 0 a\t01 ", "0A01", ""},
    CommandCase{"lower_case", "0b01ff", "0B01FF", ""},
    CommandCase{"letter_beyond_f", "0g01", "", "Команда содержит недопустимые символы: «g»"},
    CommandCase{"each_wrong_character_once", "0x0A,0x01;", "", "Команда содержит недопустимые символы: «x» «,» «;»"},
    CommandCase{"control_character", "0A\x01" "01", "", "Команда содержит недопустимые символы: «U+0001»"},
    CommandCase{"fullwidth_digit", "0A\xEF\xBC\x90\xEF\xBC\x91", "", "Команда содержит недопустимые символы: «０» «１»"},
    CommandCase{"odd_digits", "0A 0", "", "Нечётное число цифр"},
    CommandCase{"nothing", "  ", "", "Команда пуста"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(TypedCommandLength, TheLengthByteMustHoldTheFrame)
{
    const QString longest = QString(2 * kMaxPayload, QLatin1Char('A'));
    EXPECT_EQ(kMaxPayload, 252); // 252 + 23, length and 24 = 255
    EXPECT_EQ(parseTypedCommand(longest).payload, hexToBytes(longest));
    const TypedCommand over = parseTypedCommand(longest + QStringLiteral("0B"));
    EXPECT_FALSE(over.accepted());
    EXPECT_TRUE(over.payload.isEmpty());
    EXPECT_EQ(over.refusal, QStringLiteral("Команда длиннее 252 байт: её длина не помещается в кадр."));
}

// ---- The debug tab.

namespace {

class DebugTabTest : public TerminalTest {
protected:
    DebugTabTest() { page.show(); }
    void type(const QString &text)
    {
        child<QLineEdit>(page, "command")->selectAll();
        QTest::keyClick(child<QLineEdit>(page, "command"), Qt::Key_Delete);
        QTest::keyClicks(child<QLineEdit>(page, "command"), text);
        QTest::keyClick(child<QLineEdit>(page, "command"), Qt::Key_Return);
    }
    // Makes a new command for each send, at once: for the tab tested alone.
    struct Runs : DebugRuns {
        explicit Runs(DebugTabTest &owner) : test(owner) {}
        bool busy() const override { return !made.empty() && made.back()->running(); }
        DebugCommand *sendDebugCommand(const QByteArray &payload, const Watch<DebugCommand> &watch) override
        {
            if (busy())
                return nullptr;
            made.push_back(std::make_unique<DebugCommand>(test.link, test.timings));
            if (watch)
                watch(*made.back());
            made.back()->start(payload);
            return made.back().get();
        }
        DebugTabTest &test;
        std::vector<std::unique_ptr<DebugCommand>> made;
    };
    Runs runs{*this};
    ScriptedDialogs dialogs;
    DebugPage page{log, runs, dialogs};
};

} // namespace

TEST_F(DebugTabTest, TypedBytesWithBlanksAreWhatIsSentAndLogged)
{
    type(QStringLiteral("0a 01"));
    ASSERT_EQ(runs.made.size(), 1u);
    EXPECT_TRUE(finish(*runs.made.back()));
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0A01")});
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: Выполнено")});
    EXPECT_TRUE(waitUntil([&] {
        return child<QPlainTextEdit>(page, "trafficLog")->toPlainText().contains(QStringLiteral("] > 23 05 0A 01 24 "));
    })) << qPrintable(child<QPlainTextEdit>(page, "trafficLog")->toPlainText());
    EXPECT_FALSE(child<QLabel>(page, "commandMessage")->isVisible());
}

TEST_F(DebugTabTest, WhatCannotBeSentIsRefusedWithAMessageAndNothingGoesOut)
{
    const QStringList typed = {QStringLiteral("0a 0g"), QStringLiteral("0a 0"), QString(2 * 253, QLatin1Char('1'))};
    for (const QString &text : typed) {
        type(text);
        EXPECT_TRUE(child<QLabel>(page, "commandMessage")->isVisible()) << qPrintable(text);
        EXPECT_EQ(child<QLabel>(page, "commandMessage")->text(), parseTypedCommand(text).refusal);
        EXPECT_EQ(child<QLineEdit>(page, "command")->text(), text); // kept for correcting
    }
    // A request sent after: its answer comes once the reader has taken
    // whatever went out before it.
    EXPECT_TRUE(await(link, hexBytes("0A01"), 10000).ok());
    EXPECT_EQ(sim.commands(), QStringList{QStringLiteral("0A01")}); // that one only
    EXPECT_TRUE(dialogs.shown.isEmpty());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("] > 23 05 0A 01 24 "))) // nothing was written to the port before it
        << qPrintable(lines[0]);
    QTest::keyClick(child<QLineEdit>(page, "command"), Qt::Key_Backspace); // correcting hides the message
    EXPECT_FALSE(child<QLabel>(page, "commandMessage")->isVisible());
}

TEST_F(DebugTabTest, AFloodKeepsTheNewestLinesInBothViewsAndTheWindowAnswers)
{
    constexpr int kFlood = 3 * DebugPage::kKeptLines;
    ResponsivenessProbe probe; // how long the event loop is held up
    int sent = 0;
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        for (int i = 0; i < 2000 && sent < kFlood; ++i)
            Q_EMIT log.lineAdded(QStringLiteral("[12:00:00] < line %1").arg(++sent));
    });
    flood.start(5);
    EXPECT_TRUE(waitUntil([&] { return sent == kFlood; }, 20000));
    const QString last = QStringLiteral("[12:00:00] < line %1").arg(kFlood);
    EXPECT_TRUE(waitUntil([&] { // both views have added the last line
        return child<QPlainTextEdit>(page, "trafficLog")->document()->lastBlock().text() == last
               && child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")
                          ->document()
                          ->lastBlock()
                          .text()
                      == last;
    }));
    deliverPosted();
    EXPECT_LT(probe.worstGapMs(), 500);
    for (QPlainTextEdit *view : {child<QPlainTextEdit>(page, "trafficLog"),
                                 child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")}) {
        EXPECT_EQ(view->blockCount(), DebugPage::kKeptLines);
        EXPECT_EQ(view->document()->lastBlock().text(), QStringLiteral("[12:00:00] < line %1").arg(kFlood));
        EXPECT_EQ(view->document()->firstBlock().text(),
                  QStringLiteral("[12:00:00] < line %1").arg(kFlood - DebugPage::kKeptLines + 1));
        EXPECT_TRUE(view->toolTip().contains(QStringLiteral("последние 10\u00A0000 строк"))) << qPrintable(view->toolTip());
    }
}

// A line holds a whole chunk, and under a flood a chunk holds thousands of
// bytes: the views are bounded by their characters too, not only by their
// lines, and still end with the newest line.
TEST_F(DebugTabTest, LongLinesAreKeptUpToTheCharactersNotOnlyTheLines)
{
    const QString chunk = QString(3000, QLatin1Char('7'));
    constexpr int kLines = 2000; // six times the characters kept, a fifth of the lines
    for (int i = 1; i <= kLines; ++i)
        Q_EMIT log.lineAdded(QStringLiteral("[12:00:00] < %1 ").arg(i) + chunk);
    const QString newest = QStringLiteral("[12:00:00] < %1 ").arg(kLines) + chunk;
    for (QPlainTextEdit *view : {child<QPlainTextEdit>(page, "trafficLog"),
                                 child<QPlainTextEdit>(child<DebugWindow>(page, "debugWindow"), "debugWindowText")}) {
        ASSERT_TRUE(waitUntil([&] { return view->document()->lastBlock().text() == newest; }));
        EXPECT_LE(view->document()->characterCount(), DebugPage::kKeptCharacters + DebugPage::kKeptLines);
        EXPECT_GT(view->blockCount(), 100); // the newest of them, not just the last
    }
}
