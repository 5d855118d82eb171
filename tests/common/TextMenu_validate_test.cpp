// Entry validation: the format language as a table of (format, entry,
// result, message) cases, the digit-string checks, and limits.
#include "TextMenu.h"

#include "MenuTestUtil.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

namespace {

using menu_test::StdioScript;

// What PostMsg adds after every notice (text 25/1001 of the store).
const std::string Wait = "\nPress <Return> to continue ";

struct Case {
    const char *format;
    const char *entry;
    int result;
    const char *message; // the notice shown, "" for none
};

void PrintTo(const Case &c, std::ostream *out) {
    *out << (c.format != nullptr ? c.format : "(null)") << " / "
         << (c.entry != nullptr ? c.entry : "(null)");
}

class ValidateEntryCases : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override { menu_test::UseMenuTestEnvironment(); }
};

TEST_P(ValidateEntryCases, ResultAndMessage) {
    const Case &c = GetParam();
    StdioScript io;
    EXPECT_EQ(ValidateEntry(c.entry, c.format), c.result);
    std::string expected = *c.message != '\0' ? c.message + Wait : "";
    EXPECT_EQ(io.Output(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ValidateEntryCases,
    testing::Values(Case{"d(1,10)", "11", VE_RANGE, "This number must be between 1 to 10."},
                    Case{"d(1,10)", "1a", VE_CHARACTER, "Invalid digit:  a\n"},
                    Case{"d(1,10)", "7", VE_OK, ""}, Case{"d(1,10)", "10", VE_OK, ""},
                    Case{"d(1,10)", "1", VE_OK, ""},
                    Case{"d(1,10)", "0", VE_RANGE, "This number must be between 1 to 10."},
                    Case{"d(0,0)", "123456", VE_OK, ""},
                    Case{"d(0,0)", "-5", VE_CHARACTER, "Invalid digit:  -\n"},
                    // no number: read as 0, then the range check
                    Case{"d(1,10)", "", VE_RANGE, "This number must be between 1 to 10."},
                    Case{"d(0,0)", "", VE_OK, ""},
                    Case{"d(1,99)-7", "17", VE_CHARACTER, "Invalid digit:  7\n"},
                    Case{"d(1,99)-7", "18", VE_OK, ""},
                    // far beyond any integer: clamped, no overflow
                    Case{"d(0,0)", "99999999999999999999999", VE_OK, ""},
                    Case{"d(1,10)", "99999999999999999999999", VE_RANGE,
                         "This number must be between 1 to 10."}));

INSTANTIATE_TEST_SUITE_P(Hexadecimal, ValidateEntryCases,
                         testing::Values(Case{"x(0,255)", "1ff", VE_RANGE,
                                              "This number must be between 0 to ff."},
                                         Case{"x(0,255)", "ff", VE_OK, ""},
                                         Case{"x(0,255)", "zz", VE_OK, ""}, // no character check
                                         Case{"x(16,255)", "0x10", VE_OK, ""},
                                         Case{"x(0,255)", "ffffffffffffffffffffffff", VE_RANGE,
                                              "This number must be between 0 to ff."}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, ValidateEntryCases,
    testing::Values(Case{"f(0,1)", "1.2.3", VE_RANGE, "Only one '.' may be entered."},
                    Case{"f(0,1)", "1,5", VE_CHARACTER,
                         "Invalid character ','\nThis text may contain \"0123456789.\""},
                    Case{"f(0,1)", "0.5", VE_OK, ""}, Case{"f(0,0)", "12345.5", VE_OK, ""},
                    Case{"f(1,17)", "20", VE_RANGE,
                         "This number must be between 1.000000 to 17.000000."},
                    Case{"f(1,17)", "8.5", VE_OK, ""}, Case{"D(0,100)", "50.5", VE_OK, ""},
                    Case{"D(0,100)", "150", VE_RANGE, "This number must be between 0 to 100."},
                    Case{"D(0.5,2.5)", "3", VE_RANGE, "This number must be between 0.5 to 2.5."},
                    Case{"D(0,100)", "1e5", VE_CHARACTER,
                         "Invalid character 'e'\nThis text may contain \"0123456789.\""},
                    // -c pairs count only directly after the upper bound
                    Case{"D(0,100-5)", "15", VE_CHARACTER,
                         "Invalid character '5'\nThis text may contain \"0123456789.\""},
                    Case{"D(0,100)-5", "15", VE_OK, ""}));

INSTANTIATE_TEST_SUITE_P(
    Texts, ValidateEntryCases,
    testing::Values(
        Case{"/A(1,255)+-+_+/", "/tmp/my_set-1", VE_OK, ""},
        Case{"/A(1,255)+-+_+/", "tmp/x", VE_CHARACTER, ""}, // nothing matched yet: no message
        Case{"/A(1,255)+-+_+/", "/tmp/a.b", VE_CHARACTER,
             "Invalid character '.'\nThis text may contain \"abc..zABC..Z012..9-_/\""},
        Case{"A(1,8)", "abcdefghi", VE_LENGTH, "The entry must be 1 to 8 characters long."},
        Case{"A(1,8)", "", VE_LENGTH, "The entry must be 1 to 8 characters long."},
        Case{"A(3,3)", "ab", VE_LENGTH, "The entry must be exactly 3 characters long."},
        Case{"A(0,0)", "", VE_OK, ""},
        Case{"a(1,8)", "ab1", VE_CHARACTER,
             "Invalid character '1'\nThis text may contain \"abc..zABC..Z\""},
        Case{"a(1,8)+-", "a-b", VE_OK, ""}, Case{"p(1,20)", "hello, world!", VE_OK, ""},
        Case{"p(1,20)", "tab\there", VE_CHARACTER,
             "Invalid character '\t'\nThis text may contain \"abc..zABC..Z012..9\""},
        Case{"L(2,4)", "abcde", VE_LENGTH, "The entry must be 2 to 4 characters long."},
        Case{"t(2,4)", "a\x01z", VE_OK, ""}, Case{"L(2,4)", "ab", VE_OK, ""}));

INSTANTIATE_TEST_SUITE_P(
    Operators, ValidateEntryCases,
    testing::Values(
        Case{"!(root)", "root", VE_FORBIDDEN, "Invalid entry \"root\""},
        Case{"!(root)", "rooted", VE_OK, ""}, Case{"!(root)", "", VE_OK, ""},
        Case{"t[root)", "root", VE_FORBIDDEN, "Invalid entry \"root\""},
        // "|" accepts as soon as evaluation reaches it
        Case{"A(1,8)|d(1,5)", "a-b", VE_OK, ""}, Case{"A(1,8)|d(1,5)", "toolongtext", VE_OK, ""},
        Case{"d(1,50)&A(1,1)", "3", VE_OK, ""},
        Case{"d(1,50)&A(1,1)", "33", VE_LENGTH, "The entry must be exactly 1 characters long."},
        Case{"A(1,14)+-+_&!(all)", "all", VE_FORBIDDEN, "Invalid entry \"all\""},
        Case{"A(1,14)+-+_&!(all)", "lp_1-a", VE_OK, ""}, Case{" d(1,5)\t\n", "3", VE_OK, ""}));

// Letters that name terms (d x D f A a p L t) are no literals.
INSTANTIATE_TEST_SUITE_P(Literals, ValidateEntryCases,
                         testing::Values(Case{"q-", "qx", VE_CHARACTER,
                                              "Invalid character x\n- was expected after \"q\""},
                                         Case{"q-", "q-", VE_OK, ""},
                                         Case{"qz|rs", "rs", VE_OK, ""},
                                         Case{"qz", "z", VE_CHARACTER, ""},
                                         Case{"L", "L", VE_OK, ""}));

INSTANTIATE_TEST_SUITE_P(
    Malformed, ValidateEntryCases,
    testing::Values(Case{nullptr, "anything", VE_OK, ""}, Case{"", "x", VE_OK, ""},
                    Case{"d(1,10)", nullptr, VE_RANGE, "This number must be between 1 to 10."},
                    Case{"d(", "5", VE_OK, ""}, Case{"A(1", "abc", VE_OK, ""},
                    Case{"f(", "5", VE_OK, ""}, Case{"D(", "5", VE_OK, ""},
                    Case{"!(", "", VE_FORBIDDEN, "Invalid entry \"\""},
                    Case{"x(5,", "1", VE_OK, ""},
                    Case{"A(0,0)+", "a+", VE_CHARACTER,
                         "Invalid character '+'\nThis text may "
                         "contain \"abc..zABC..Z012..9\""}));

// The bounds of D and f read by one reader, each in its own precision; the
// range check is off when the upper bound is 0 or not read.
INSTANTIATE_TEST_SUITE_P(RealBounds, ValidateEntryCases,
                         testing::Values(Case{"D(,5)", "99", VE_OK, ""},
                                         Case{"f(5)", "99", VE_OK, ""},
                                         Case{"f(2,2)", "2", VE_OK, ""},
                                         Case{"f(2,2)", "2.5", VE_RANGE,
                                              "This number must be between 2.000000 to 2.000000."},
                                         Case{"D(0,1e4933)", "1", VE_OK, ""}));

TEST(ReadRealBounds, BoundsTextsAtTheirLimits) {
    const long double inf = std::numeric_limits<long double>::infinity();
    const float finf = std::numeric_limits<float>::infinity();
    struct Row {
        const char *text;
        long double min;
        long double max;
        float fmin;
        float fmax;
        int after; // characters before the position returned
    };
    const Row rows[] = {
        {"D(0,100)", 0, 100, 0, 100, 2},
        {"f(-2.5,2.5)", -2.5L, 2.5L, -2.5f, 2.5f, 2},
        {"D(5)", 5, 0, 5, 0, 2},  // no ",": the upper bound is not read
        {"D(,5)", 0, 0, 0, 0, 2}, // no lower bound: neither is the upper
        {"D(5,)", 5, 0, 5, 0, 2},
        {"D(5, 7)", 5, 7, 5, 7, 2}, // the number may begin with a blank
        {"f(1e4932,1e4933)", 1e4932L, inf, finf, finf, 2},
        {"f(3.4e38,3.5e38)", 3.4e38L, 3.5e38L, 3.4e38f, finf, 2},
        {"D(", 0, 0, 0, 0, 2},
        {"D", 0, 0, 0, 0, 1},
    };
    for (const Row &r : rows) {
        long double min = -1;
        long double max = -1;
        EXPECT_EQ(menu_detail::ReadRealBounds(r.text, min, max), r.text + r.after) << r.text;
        EXPECT_EQ(min, r.min) << r.text;
        EXPECT_EQ(max, r.max) << r.text;
        float fmin = -1;
        float fmax = -1;
        EXPECT_EQ(menu_detail::ReadRealBounds(r.text, fmin, fmax), r.text + r.after) << r.text;
        EXPECT_EQ(fmin, r.fmin) << r.text;
        EXPECT_EQ(fmax, r.fmax) << r.text;
    }
}

TEST(ValidateEntry, TheMatchedPartIsBoundedAt511Characters) {
    menu_test::UseMenuTestEnvironment();
    std::string format(700, 'q');
    format += '-';
    std::string entry(700, 'q');
    entry += 'c';
    StdioScript io;
    EXPECT_EQ(ValidateEntry(entry.c_str(), format.c_str()), VE_CHARACTER);
    EXPECT_EQ(io.Output(),
              "Invalid character c\n- was expected after \"" + std::string(511, 'q') + "\"" + Wait);
}

TEST(ValidateEntry, ANoticeWaitsForALine) {
    menu_test::UseMenuTestEnvironment();
    StdioScript io("\nnext\n");
    EXPECT_EQ(ValidateEntry("1a", "d(1,10)"), VE_CHARACTER);
    char line[16];
    ASSERT_NE(Gets(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "next"); // exactly one line was taken
}

// --- The digit-string family -------------------------------------------------

TEST(GetMinMax, ReadsTheRange) {
    int min = -1;
    EXPECT_EQ(getMinMax("(2,8)", &min), 8);
    EXPECT_EQ(min, 2);
    EXPECT_EQ(getMinMax("2-8", &min), 8);
    EXPECT_EQ(min, 2);
    EXPECT_EQ(getMinMax("(5)", &min), 5); // a missing max equals min
    EXPECT_EQ(min, 5);
    EXPECT_EQ(getMinMax("", &min), 0);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(getMinMax(nullptr, &min), 0);
    EXPECT_EQ(getMinMax("(99999999999999,1)", &min), 1);
    EXPECT_GT(min, 0);
}

TEST(ValidateEntryDigit, FirstNonDigit) {
    EXPECT_EQ(ValidateEntryDigit("0123"), 0);
    EXPECT_EQ(ValidateEntryDigit("12a4"), 'a');
    EXPECT_EQ(ValidateEntryDigit(""), 0);
    EXPECT_EQ(ValidateEntryDigit(nullptr), 0);
}

TEST(ValidateEntryLen, MessagesForTheRange) {
    menu_test::UseMenuTestEnvironment();
    EXPECT_EQ(ValidateEntryLen("1234", nullptr), nullptr); // 4 to 4
    EXPECT_STREQ(ValidateEntryLen("12", nullptr), "The entry must be exactly 4 characters long.");
    EXPECT_EQ(ValidateEntryLen("123", "(2,8)"), nullptr);
    EXPECT_STREQ(ValidateEntryLen("123456789", "(2,8)"),
                 "The entry must be 2 to 8 characters long.");
    EXPECT_STREQ(ValidateEntryLen(nullptr, "(1,3)"), "The entry must be 1 to 3 characters long.");
}

TEST(ValidateEntryTty, LengthThenDigits) {
    menu_test::UseMenuTestEnvironment();
    {
        StdioScript io;
        EXPECT_EQ(ValidateEntryTty("12", "(4,4)"), VE_LENGTH);
        EXPECT_EQ(io.Output(), "The entry must be exactly 4 characters long." + Wait);
    }
    {
        StdioScript io;
        EXPECT_EQ(ValidateEntryTty("12a4", nullptr), VE_CHARACTER);
        EXPECT_EQ(io.Output(), "Invalid digit:  a\n" + Wait);
    }
    StdioScript io;
    EXPECT_EQ(ValidateEntryTty("1234", nullptr), VE_OK);
    EXPECT_EQ(io.Output(), "");
}

} // namespace
