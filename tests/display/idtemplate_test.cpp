#include <gtest/gtest.h>

#include "display/idtemplate.h"

using namespace limra;

struct TemplateCase {
    const char *name;
    const char *uid;
    const char *tmpl;
    const char *expected;
};

class RenderTemplate : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(RenderTemplate, RendersTheTemplate)
{
    const TemplateCase &c = GetParam();
    EXPECT_EQ(renderTemplate(QString::fromLatin1(c.uid), QString::fromLatin1(c.tmpl)), QString::fromLatin1(c.expected));
}

#define DEFAULT_TEMPLATE "UID = dec3(n32n31)-dec5(n22n21n12n11) = dec3(b3)-dec5(b2b1) = b4b3b2b1 = dec18(b4b3b2b1)"

INSTANTIATE_TEST_SUITE_P(Templates, RenderTemplate, ::testing::Values(
    TemplateCase{"default_template", "04A1B2C3", DEFAULT_TEMPLATE,
                 "UID = 161-45763 = 161-45763 = 04A1B2C3 = 000000000077705923"},
    TemplateCase{"default_with_sample", "1A2B3C", DEFAULT_TEMPLATE,
                 "UID = 026-11068 = 026-11068 = 001A2B3C = 000000000001715004"},
    TemplateCase{"bytes_and_nibbles", "04A1B2C3", "b1 b2 b3 b4 b5 n11 n12 n41 n42", "C3 B2 A1 04 00 3 C 4 0"},
    TemplateCase{"odd_length", "ABC", "b1-b2", "BC-0A"},
    TemplateCase{"dec_without_width", "04A1B2C3", "dec(b2b1)", "45763"},
    TemplateCase{"two_digit_width", "04A1B2C3", "dec07(b1)", "0000195"},
    TemplateCase{"empty_form", "04A1B2C3", "dec3()x", "x"},
    TemplateCase{"longer_than_width_not_cut", "FFFF", "dec2(b2b1)", "65535"},
    TemplateCase{"lower_case_digit", "04a1", "dec(b1)", "error"},
    TemplateCase{"seventeen_plus_digits", "04A1B2C3", "dec2(b4b3b2b1b8b7b6b5b4)", "error"},
    TemplateCase{"no_closing_bracket", "04A1B2C3", "x dec5(b1", "error"},
    TemplateCase{"plain_text", "04A1B2C3", "Card: ok", "Card: ok"},
    TemplateCase{"two_identical_forms", "04A1B2C3", "dec(b1)/dec(b1)", "195/195"},
    TemplateCase{"keyword_order_nb1", "0012", "nb1", "1"},
    TemplateCase{"plain_error", "04", "error", "error"},
    TemplateCase{"longer_uid_uses_rightmost_16", "AA0102030405060708", "b8b1 dec(b8)", "0108 1"},
    TemplateCase{"full_64_bits", "FFFFFFFFFFFFFFFF", "dec(b8b7b6b5b4b3b2b1)", "18446744073709551615"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(ViewConversion, DecimalAndHexBothWays)
{
    EXPECT_EQ(decimalOfHex(QStringLiteral("00FF")), QStringLiteral("255"));
    EXPECT_EQ(hexOfDecimal(QStringLiteral("255")), QStringLiteral("FF"));
    EXPECT_EQ(hexOfDecimal(QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(decimalOfHex(QStringLiteral("FFFFFFFFFFFFFFFF")), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(decimalOfHex(QStringLiteral("00000000000000010")), QStringLiteral("1")); // first 16 digits only
    EXPECT_EQ(hexOfDecimal(QStringLiteral("x1")), QString());
    EXPECT_EQ(templateNibbles(QStringLiteral("ABC")), QStringLiteral("0000000000000ABC"));
}
