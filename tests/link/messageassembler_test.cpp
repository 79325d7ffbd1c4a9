#include <gtest/gtest.h>

#include "link/messageassembler.h"
#include "tests/support/requests.h"

using limra::testing::hexBytes;

using namespace limra;

struct AssemblyCase {
    const char *name;
    QList<QByteArray> pieces;   // as the system hands them over
    QList<QByteArray> messages; // what comes out at once, in order
    QByteArray held;            // what waits for its rest
};

class Assembly : public ::testing::TestWithParam<AssemblyCase> {};

// Pieces go in through take() alone, and as the link hands them over: a
// piece that is one whole message on its own is taken whole, the rest
// through take(). Both ways cut the same messages.
TEST_P(Assembly, CompleteMessagesLeaveAtOnceOnlyTheTailIsHeld)
{
    for (const bool wholeFirst : {false, true}) {
        SCOPED_TRACE(wholeFirst ? "whole pieces taken as they are" : "take() alone");
        MessageAssembler assembler;
        QList<QByteArray> out;
        for (const QByteArray &piece : GetParam().pieces) {
            if (wholeFirst && assembler.takeWhole(piece))
                out << piece;
            else
                out += assembler.take(piece);
        }
        EXPECT_EQ(out, GetParam().messages);
        EXPECT_EQ(assembler.flush(), GetParam().held);
    }
}

INSTANTIATE_TEST_SUITE_P(Pieces, Assembly, ::testing::Values(
    AssemblyCase{"whole_frame", {hexBytes("230800010D010024")}, {hexBytes("230800010D010024")}, {}},
    AssemblyCase{"frame_in_two", {hexBytes("23080B01"), hexBytes("0D010024")}, {hexBytes("23080B010D010024")}, {}},
    AssemblyCase{"frame_start_only", {hexBytes("23")}, {}, hexBytes("23")},
    AssemblyCase{"not_a_frame_length", {hexBytes("230100")}, {hexBytes("230100")}, {}},
    AssemblyCase{"line_whole", {QByteArray("UID: 04A1B2\r\n")}, {QByteArray("UID: 04A1B2\r\n")}, {}},
    AssemblyCase{"line_without_end", {QByteArray("UID: 04A1B2")}, {}, QByteArray("UID: 04A1B2")},
    AssemblyCase{"prefix_start", {QByteArray("Rand"), QByteArray("om UID: 08\r\n")}, {QByteArray("Random UID: 08\r\n")}, {}},
    AssemblyCase{"noise_goes_out_whole", {QByteArray("hello")}, {QByteArray("hello")}, {}},
    // Noise ends with its line end, or where a line begins: the lines behind
    // it are messages of their own.
    AssemblyCase{"lines_after_noise_with_its_line_end",
                 {QByteArray("\x07junk\r\nUID: 0001\r\nUID: 0002\r\n")},
                 {QByteArray("\x07junk\r\n"), QByteArray("UID: 0001\r\n"), QByteArray("UID: 0002\r\n")}, {}},
    AssemblyCase{"line_right_after_noise",
                 {QByteArray("\x07junkMIR: 77\r\n")}, {QByteArray("\x07junk"), QByteArray("MIR: 77\r\n")}, {}},
    AssemblyCase{"frame_after_noise_with_its_line_end",
                 {QByteArray("\x07junk\r\n") + hexBytes("230800010D010024")},
                 {QByteArray("\x07junk\r\n"), hexBytes("230800010D010024")}, {}},
    AssemblyCase{"loader_answer", {hexBytes("0100")}, {hexBytes("0100")}, {}},
    AssemblyCase{"merged_messages_one_by_one",
                 {QByteArray("UID: 0102\r\n") + hexBytes("230F00011308020002000400000124") + hexBytes("230800010D010024")
                  + QByteArray("MIR: 77\r\n") + QByteArray("UID: 01")},
                 {QByteArray("UID: 0102\r\n"), hexBytes("230F00011308020002000400000124"), hexBytes("230800010D010024"),
                  QByteArray("MIR: 77\r\n")},
                 QByteArray("UID: 01")},
    // Complete lines before an unfinished one leave at once, not with it.
    AssemblyCase{"lines_before_an_unfinished_line",
                 {QByteArray("UID: 0001\r\nUID: 0002\r\nUID: 00")},
                 {QByteArray("UID: 0001\r\n"), QByteArray("UID: 0002\r\n")}, QByteArray("UID: 00")},
    AssemblyCase{"lines_in_13_byte_pieces",
                 {QByteArray("UID: 0001\r\nU"), QByteArray("ID: 0002\r\nUI"), QByteArray("D: 0003\r\n")},
                 {QByteArray("UID: 0001\r\n"), QByteArray("UID: 0002\r\n"), QByteArray("UID: 0003\r\n")}, {}},
    // A line end that trails its line alone in a piece of its own.
    AssemblyCase{"line_end_alone_behind_its_line", {QByteArray("UID: 0A\r"), QByteArray("\n"), QByteArray("MIR: 01\r\n")},
                 {QByteArray("UID: 0A\r"), QByteArray("MIR: 01\r\n")}, {}},
    // A line's CR ends one read and its LF starts the next, a frame right behind it.
    AssemblyCase{"frame_behind_a_split_line_end",
                 {QByteArray("MIR: 12345\r"), QByteArray("\n") + hexBytes("230800010D010E24")},
                 {QByteArray("MIR: 12345\r"), hexBytes("230800010D010E24")}, {}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(Assembly, AnEndlessLineIsNotHeldForever)
{
    MessageAssembler assembler;
    QList<QByteArray> out = assembler.take(QByteArray("UID: ") + QByteArray(MessageAssembler::kMaxHeld, '7'));
    ASSERT_EQ(out.size(), 1);
    EXPECT_FALSE(assembler.holding());
}

TEST(Assembly, FortyLinesBackToBackAreFortyMessages)
{
    QByteArray stream;
    for (int i = 0; i < 40; ++i)
        stream += QByteArray("UID: ") + QByteArray::number(1000 + i) + "\r\n";
    for (int piece : {13, 20, 1, 7}) {
        MessageAssembler assembler;
        QList<QByteArray> out;
        for (int at = 0; at < stream.size(); at += piece)
            out += assembler.take(stream.mid(at, piece));
        EXPECT_EQ(out.size(), 40) << piece;
        EXPECT_FALSE(assembler.holding()) << piece;
    }
}
