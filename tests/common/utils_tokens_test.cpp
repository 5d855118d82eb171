#include "utils.h"

#include "MemMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Collects every token GetToken yields for text.
std::vector<std::string> Tokens(const char *text, const char *delimiters) {
    std::vector<std::string> out;
    for (char *t = GetToken(text, delimiters); t != nullptr; t = GetToken(nullptr, delimiters))
        out.emplace_back(t);
    return out;
}

using Words = std::vector<std::string>;

// --- GetToken -------------------------------------------------------------

struct TokenCase {
    const char *text;
    const char *delimiters;
    Words tokens;
};

class GetTokenCases : public testing::TestWithParam<TokenCase> {};

TEST_P(GetTokenCases, YieldsTheTokens) {
    const TokenCase &c = GetParam();
    EXPECT_EQ(Tokens(c.text, c.delimiters), c.tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Scans, GetTokenCases,
    testing::Values(TokenCase{R"(a\,b,c)", ",", {"a,b", "c"}}, // escaped delimiter kept
                    TokenCase{",,x", ",", {"x"}},              // leading delimiters skipped
                    TokenCase{",,,", ",", {}}, TokenCase{"", ",", {}},
                    TokenCase{"one two\tthree", " \t", {"one", "two", "three"}},
                    TokenCase{R"(a\nb\tc\rd\qe)",
                              ",",
                              {"a\nb\tc\rd"
                               "qe"}},
                    TokenCase{"a,,b", ",", {"a", "b"}},
                    TokenCase{"trail\\", ",", {"trail\\"}}, // final backslash kept
                    TokenCase{"x", nullptr, {"x"}}));

TEST(GetToken, SetsDelimiterAndCursor) {
    const char *text = "ab:cd";
    ASSERT_STREQ(GetToken(text, ":"), "ab");
    EXPECT_EQ(chTokenDel, ':');
    EXPECT_EQ(szTokenIn, text + 3);
    ASSERT_STREQ(GetToken(nullptr, ":"), "cd");
    EXPECT_EQ(chTokenDel, 0);
    EXPECT_EQ(GetToken(nullptr, ":"), nullptr);
}

TEST(GetToken, EndOfLineModeStopsAtALineFeed) {
    const char *text = "first\nsecond third";
    SetTokenBuf(const_cast<char *>(text));
    EXPECT_EQ(GetTokenBufInput(), text);
    char *before = szTokenIn;
    EXPECT_EQ(GetToken(pTokenEol, " \n"), nullptr); // ended by the line feed
    EXPECT_STREQ(GetTokenBuf, "first");
    EXPECT_EQ(szTokenIn, before);
    EXPECT_STREQ(GetToken(pTokenEol, " \n"), "second"); // ended by a blank
    EXPECT_STREQ(GetToken(pTokenEol, " \n"), "third");
}

TEST(GetToken, TokensAreCutAt127CharactersAndFlagged) {
    for (size_t len : {126u, 127u, 128u, 500u}) {
        std::string text = std::string(len, 'k') + ",next";
        char *t = GetToken(text.c_str(), ",");
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(strlen(t), std::min<size_t>(len, 127)) << len;
        EXPECT_EQ(flTokenTruncated, len > 127 ? 1 : 0) << len;
        EXPECT_STREQ(GetToken(nullptr, ","), "next") << "cursor lands after the whole token";
        EXPECT_EQ(flTokenTruncated, 0);
    }
}

TEST(GetTokenN, PicksTheNthToken) {
    EXPECT_STREQ(GetTokenN("a b c", " ", 2), "b");
    EXPECT_STREQ(GetTokenN("a b c", " ", 0), "a");
    EXPECT_STREQ(GetTokenN("a b c", " ", 3), "c");
    EXPECT_EQ(GetTokenN("a b c", " ", 4), nullptr);
}

TEST(GetTokenCount, CountsWithoutDisturbingAScan) {
    const char *text = "one two three";
    ASSERT_STREQ(GetToken(text, " "), "one");
    char *savedIn = szIn;
    EXPECT_EQ(GetTokenCount("a,b,,c,", ","), 3);
    EXPECT_EQ(szIn, savedIn);
    EXPECT_STREQ(GetTokenBuf, "one");
    EXPECT_EQ(chTokenDel, ' ');
    EXPECT_STREQ(GetToken(nullptr, " "), "two");
    EXPECT_EQ(GetTokenCount("", ","), 0);
}

TEST(GetTokenD, KeepsItsOwnCursor) {
    const char *outer = "x y";
    const char *inner = "1,2";
    const char *cursorA = nullptr;
    const char *cursorB = nullptr;
    char a[TokenBufSize], b[TokenBufSize];
    ASSERT_STREQ(GetTokenD(outer, " ", &cursorA, a), "x");
    ASSERT_STREQ(GetTokenD(inner, ",", &cursorB, b), "1");
    ASSERT_STREQ(GetTokenD(nullptr, " ", &cursorA, a), "y");
    ASSERT_STREQ(GetTokenD(nullptr, ",", &cursorB, b), "2");
    EXPECT_EQ(GetTokenD(nullptr, " ", &cursorA, a), nullptr);
    EXPECT_STREQ(a, "");
}

TEST(GetTokenD, EndOfLineModeAndEscapes) {
    const char *cursor = nullptr;
    char out[TokenBufSize];
    ASSERT_STREQ(GetTokenD(R"(a\ b c)", " \n", &cursor, out), "a b");
    EXPECT_STREQ(GetTokenD(pTokenEol, " \n", &cursor, out), "c");
    cursor = "line\nnext";
    EXPECT_EQ(GetTokenD(pTokenEol, " \n", &cursor, out), nullptr);
    EXPECT_STREQ(cursor, "next");
}

// --- GetTokenParse --------------------------------------------------------

TEST(GetTokenParse, CutsInPlaceAndKeepsPointers) {
    char text[] = "/usr/bin:/bin";
    char *first = GetTokenParse(text, ":");
    char *second = GetTokenParse(nullptr, ":");
    EXPECT_STREQ(first, "/usr/bin");
    EXPECT_STREQ(second, "/bin");
    EXPECT_EQ(first, text);
    EXPECT_EQ(text[8], '\0'); // the colon became a terminator
    EXPECT_EQ(GetTokenParse(nullptr, ":"), nullptr);
}

TEST(GetTokenParse, SkipsLeadingDelimitersAndLeavesEscapes) {
    char text[] = R"(::a\:b:c)";
    EXPECT_STREQ(GetTokenParse(text, ":"), R"(a\:b)");
    EXPECT_EQ(chTokenDel, ':');
    EXPECT_STREQ(GetTokenParse(pTokenEol, ":"), "c"); // -1 just continues
    char tail[] = "z\\";
    EXPECT_STREQ(GetTokenParse(tail, ":"), "z\\");
    char empty[] = ":::";
    EXPECT_EQ(GetTokenParse(empty, ":"), nullptr);
}

// --- ParseStr -------------------------------------------------------------

TEST(ParseStr, SplitsIntoAtMostMaxWords) {
    char text[] = "  cp -p  a b ";
    char *words[3] = {text, text, text};
    EXPECT_EQ(ParseStr(text, " ", words, 3), 3);
    EXPECT_STREQ(words[0], "cp");
    EXPECT_STREQ(words[1], "-p");
    EXPECT_STREQ(words[2], "a");
    char short_[] = "one";
    char *more[4] = {short_, short_, short_, short_};
    EXPECT_EQ(ParseStr(short_, " ", more, 4), 1);
    EXPECT_EQ(more[1], nullptr); // entries beyond the words are cleared
    EXPECT_EQ(more[3], nullptr);
    EXPECT_EQ(ParseStr(nullptr, " ", more, 4), 0);
    EXPECT_EQ(more[0], nullptr);
    EXPECT_EQ(ParseStr(short_, " ", more, 0), 0);
}

// --- FindToken family -----------------------------------------------------

struct FindCase {
    const char *token;
    const char *list;
    int exact;
    int ignoringCase;
};

class FindTokenCases : public testing::TestWithParam<FindCase> {};

TEST_P(FindTokenCases, GivesThePosition) {
    const FindCase &c = GetParam();
    EXPECT_EQ(FindToken(c.token, c.list), c.exact);
    EXPECT_EQ(FindTokenC(c.token, c.list), c.ignoringCase);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, FindTokenCases,
    testing::Values(FindCase{"b", ",a,b,c,", 2, 2}, FindCase{"a", ",a,b,c,", 1, 1},
                    FindCase{"c", ",a,b,c", 3, 3}, // no final separator
                    FindCase{"B", ",a,b,c,", 0, 2}, FindCase{"d", ",a,b,c,", 0, 0},
                    FindCase{"cp", " cpio tar ", 0, 0}, // whole entry names only
                    FindCase{"tar", " cpio tar ", 2, 2}, FindCase{"ab", ",abc,ab,", 2, 2},
                    FindCase{"yes", ",y,yes,n,no,", 2, 2}, FindCase{"install", ",install,-v", 1, 1},
                    FindCase{"-v", ",install,-v", 2, 2}, FindCase{"", ",a,,b,", 2, 2},
                    FindCase{"a", "", 0, 0}));

TEST(FindToken, AbsentArgumentsGiveZero) {
    EXPECT_EQ(FindToken(nullptr, ",a,"), 0);
    EXPECT_EQ(FindToken("a", nullptr), 0);
    EXPECT_EQ(FindTokenC(nullptr, ",a,"), 0);
}

TEST(FindToken, LongTokensAndListsHaveNoLimit) {
    std::string name(2000, 'n');
    std::string list = ",short," + name + ",";
    EXPECT_EQ(FindToken(name.c_str(), list.c_str()), 2);
    EXPECT_EQ(FindTokenC(name.c_str(), list.c_str()), 2);
}

TEST(FindTokenWithDelim, CountsEmptyPieces) {
    EXPECT_EQ(FindTokenWithDelim(",a,b,", "a", ','), 2);
    EXPECT_EQ(FindTokenWithDelim("a,b", "b", ','), 2);
    EXPECT_EQ(FindTokenWithDelim("a,b", "c", ','), 0);
    EXPECT_EQ(FindTokenWithDelim(",a", "", ','), 1);
    EXPECT_EQ(FindTokenWithDelim(nullptr, "a", ','), 0);
}

// --- SortTokens -----------------------------------------------------------

struct SortCase {
    const char *input;
    char delimiter;
    int ignoreCase;
    const char *expected;
};

class SortTokensCases : public testing::TestWithParam<SortCase> {};

TEST_P(SortTokensCases, SortsInPlace) {
    const SortCase &c = GetParam();
    std::string buf = c.input;
    std::vector<char> text(buf.begin(), buf.end());
    text.push_back('\0');
    EXPECT_EQ(SortTokens(text.data(), c.delimiter, c.ignoreCase), text.data());
    EXPECT_STREQ(text.data(), c.expected);
    EXPECT_EQ(strlen(text.data()), strlen(c.input)) << "the result keeps the input's length";
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SortTokensCases,
    testing::Values(SortCase{"c,a,b,", ',', 0, "a,b,c,"}, SortCase{",,c,a,b", ',', 0, ",,a,b,c"},
                    SortCase{"ab,a,abc", ',', 0, "a,ab,abc"}, // shorter prefix first
                    SortCase{"b,A,a,B", ',', 0, "A,B,a,b"},
                    SortCase{"b,A,a,B", ',', 1, "A,a,b,B"}, // equal tokens keep their order
                    SortCase{"z a y", ' ', 0, "a y z"}, SortCase{"only", ',', 0, "only"},
                    SortCase{"b,,a,", ',', 0, ",a,b,"}, SortCase{"", ',', 0, ""},
                    SortCase{",,,", ',', 0, ",,,"}));

} // namespace
