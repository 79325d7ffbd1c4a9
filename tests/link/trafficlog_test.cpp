// The debug terminal's rendering, log lines and free command, against the
// simulated reader over a pseudo-terminal.
#include <gtest/gtest.h>

#include "link/readerlink.h"
#include "link/session.h"
#include "link/trafficlog.h"
#include "platform/qtserialport.h"
#include "tests/support/requests.h"
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
    sim.model->faults.refuse = QStringLiteral("0C01");
    EXPECT_EQ(send("0C01"), QStringLiteral("Ошибка: Ошибочная команда."));
    EXPECT_EQ(debugCommand.report().kind, Report::Kind::Message);
    EXPECT_EQ(sim.model->commandsReceived, (QStringList{QStringLiteral("0C01"), QStringLiteral("0501")}));
}
