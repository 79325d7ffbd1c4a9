// Firmware images: the CRC, the header cipher and the section walk.
#include <gtest/gtest.h>

#include "firmware/crc16.h"
#include "firmware/headercipher.h"
#include "firmware/image.h"
#include "firmware/versionquery.h"
#include "tests/support/imagebuilder.h"

using namespace limra;
using namespace limra::testing;

TEST(SectionCrc, CheckValues)
{
    EXPECT_EQ(sectionCrc(QByteArray("abc")), 0x1EE4);
    EXPECT_EQ(sectionCrc(QByteArray("123456789")), 0xBEEF);
    EXPECT_EQ(sectionCrc(QByteArray()), 0);
    EXPECT_EQ(crcStep(1, 0), 0x0001);
    EXPECT_EQ(crcStep(0, 0x0100), 0x1021); // T[1]
    EXPECT_EQ(crcStep(0, 0xFF00), 0x1EF0); // T[255]
}

struct Rc6Vector {
    const char *key;
    const char *plain;
    const char *cipher;
};

// The published RC6-32/20/16 test vectors (the ones with a 16-byte key).
class HeaderCipherVectors : public ::testing::TestWithParam<Rc6Vector> {};

TEST_P(HeaderCipherVectors, BothDirectionsGiveThePublishedBlocks)
{
    const Rc6Vector &v = GetParam();
    const QByteArray key = QByteArray::fromHex(v.key);
    const QByteArray plain = QByteArray::fromHex(v.plain);
    const QByteArray cipher = QByteArray::fromHex(v.cipher);
    EXPECT_EQ(encipherHeader(plain, key).toHex(), QByteArray(v.cipher));
    EXPECT_EQ(decipherHeader(cipher, key).toHex(), QByteArray(v.plain));
}

INSTANTIATE_TEST_SUITE_P(
    Rc6, HeaderCipherVectors,
    ::testing::Values(Rc6Vector{"00000000000000000000000000000000", "00000000000000000000000000000000",
                                "8fc3a53656b1f778c129df4e9848a41e"},
                      Rc6Vector{"0123456789abcdef0112233445566778", "02132435465768798a9bacbdcedfe0f1",
                                "524e192f4715c6231f51f6367ea43f18"}));

TEST(HeaderCipher, HeadersComeBackAndOtherSizesAreRefused)
{
    const QByteArray plain = QByteArray::fromHex("ABCD1EE402A117010000000A00000000");
    const QByteArray enciphered = encipherHeader(plain);
    EXPECT_NE(enciphered, plain);
    EXPECT_EQ(decipherHeader(enciphered), plain);
    // Every byte of the key counts.
    for (int i = 0; i < 16; ++i) {
        QByteArray key = headerKey();
        key[i] = char(key[i] ^ 0x01);
        EXPECT_NE(decipherHeader(enciphered, key), plain) << "key byte " << i;
    }
    EXPECT_TRUE(decipherHeader(QByteArray(15, 'x')).isEmpty());
    EXPECT_TRUE(decipherHeader(QByteArray(32, 'x')).isEmpty());
    EXPECT_TRUE(encipherHeader(plain, QByteArray(24, '\0')).isEmpty());
    EXPECT_TRUE(decipherHeader(plain, QByteArray(15, '\0')).isEmpty());
}

struct WalkCase {
    const char *name;
    QList<SectionSpec> sections;
    FirmwareSection::Problem problem;
    int blocks;    // data blocks found
    int firstSeed; // the seed of the section found
};

class SectionWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(SectionWalk, FindsTheSectionOfTheReader)
{
    const WalkCase &c = GetParam();
    const FirmwareSection section = findSection(buildImage(c.sections), QStringLiteral("02A11701"));
    EXPECT_EQ(section.problem, c.problem);
    EXPECT_EQ(section.blocks.size(), c.blocks);
    if (c.blocks > 0) {
        EXPECT_EQ(section.blocks.first(), dataBlock(c.firstSeed, 0));
    }
}

namespace {
SectionSpec with(SectionSpec s, const std::function<void(SectionSpec &)> &change)
{
    change(s);
    return s;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Images, SectionWalk, ::testing::Values(
    WalkCase{"second_section_matches", {forOther(), forReader()}, FirmwareSection::Problem::None, 9, 3},
    WalkCase{"first_section_matches", {forReader(), forOther()}, FirmwareSection::Problem::None, 9, 3},
    WalkCase{"no_section", {forOther(), forOther()}, FirmwareSection::Problem::NoSection, 0, 0},
    WalkCase{"bad_marker_stops_before_a_match",
             {with(forOther(), [](SectionSpec &s) { s.marker = QByteArray("\xAB\xCE", 2); }), forReader()},
             FirmwareSection::Problem::BadHeader, 0, 0},
    WalkCase{"crc_mismatch", {with(forReader(), [](SectionSpec &s) { s.crc = 0x1234; })},
             FirmwareSection::Problem::BadCrc, 0, 0},
    WalkCase{"count_one_no_data", {forReader(0), forOther(8)}, FirmwareSection::Problem::None, 0, 0},
    WalkCase{"runs_past_the_end", {forOther(), with(forReader(), [](SectionSpec &s) { s.count = 40; })},
             FirmwareSection::Problem::None, 9, 3},
    WalkCase{"count_zero", {with(forOther(), [](SectionSpec &s) { s.count = 0; }), forReader()},
             FirmwareSection::Problem::BadHeader, 0, 0},
    WalkCase{"count_beyond_32_bit_offsets", {with(forOther(), [](SectionSpec &s) { s.count = 0xFFFFFFF; }), forReader()},
             FirmwareSection::Problem::BadHeader, 0, 0}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(SectionWalkSizes, SizeChecksComeFirst)
{
    const QByteArray image = buildImage({forReader()});
    ASSERT_EQ(image.size(), 160);
    EXPECT_EQ(findSection(image.left(144), QStringLiteral("02A11701")).problem, FirmwareSection::Problem::BadSize);
    EXPECT_EQ(findSection(image + 'x', QStringLiteral("02A11701")).problem, FirmwareSection::Problem::BadSize);
    EXPECT_EQ(findSection(QByteArray(), QStringLiteral("02A11701")).problem, FirmwareSection::Problem::BadSize);
    EXPECT_EQ(findSection(image, QStringLiteral("02A11701")).problem, FirmwareSection::Problem::None);
}

// A file cut inside a section of another reader is a bad file, not one
// without a section for this reader: the section it holds may be the one cut off.
TEST(SectionWalkSizes, AFileCutInsideASectionIsABadFile)
{
    const QByteArray image = buildImage({forOther(30), forReader()});
    for (const int cut : {160, 320}) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(findSection(image.left(cut), QStringLiteral("02A11701")).problem, FirmwareSection::Problem::BadSize);
    }
    // Whole sections that hold none for this reader are just that.
    EXPECT_EQ(findSection(buildImage({forOther(30)}), QStringLiteral("02A11701")).problem,
              FirmwareSection::Problem::NoSection);
}

TEST(SectionWalkSizes, RandomBytesNeverHangNorReadPastTheEnd)
{
    for (int seed = 0; seed < 300; ++seed) {
        QByteArray random(160 + 16 * (seed % 5), Qt::Uninitialized);
        for (int i = 0; i < random.size(); ++i)
            random[i] = char((seed * 7919 + i * 104729) >> 3);
        const FirmwareSection s = findSection(random, QStringLiteral("02A11701"));
        EXPECT_NE(s.problem, FirmwareSection::Problem::BadSize);
    }
}

TEST(Versions, Texts)
{
    EXPECT_EQ(FirmwareVersionQuery::firmwareVersion(QStringLiteral("01020A")), QStringLiteral("1.2.10"));
    EXPECT_EQ(FirmwareVersionQuery::firmwareVersion(QStringLiteral("000000")), QStringLiteral("0.0.0"));
    EXPECT_EQ(FirmwareVersionQuery::loaderVersion(QStringLiteral("01000003")), QStringLiteral("3.0.0.1"));
    EXPECT_EQ(FirmwareVersionQuery::loaderVersion(QStringLiteral("1234")), QStringLiteral("1234"));
    EXPECT_EQ(FirmwareVersionQuery::loaderVersion(QString()), QString());
}
