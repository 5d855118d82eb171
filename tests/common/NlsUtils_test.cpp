// Translated string store: the translation table, the choice of language and
// its fallbacks, fetching with its ownership rules, formatting with fetched
// formats, and the two text conversions.
#include "NlsUtils.h"

#include "DbmTest.h"
#include "MemMgr.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <utility>

using namespace corla_test;

namespace {

using Texts = std::initializer_list<std::pair<const char *, std::string>>;

class Nls : public DbmTest {
  protected:
    void SetUp() override {
        DbmTest::SetUp();
        const char *lang = getenv("LANG");
        hadLang_ = lang != nullptr;
        savedLang_ = hadLang_ ? lang : "";
        unsetenv("LANG");
        NlsReset();
    }
    void TearDown() override {
        NlsReset();
        if (hadLang_)
            setenv("LANG", savedLang_.c_str(), 1);
        else
            unsetenv("LANG");
        DbmTest::TearDown();
    }

    // A typed store <tool>/db/<lang>/CoreString.udb holding texts (with
    // their NULs).
    void MakeStore(const std::string &lang, Texts texts, const char *name = "CoreString") {
        std::string dir = DbDir() + "/" + lang;
        mkdir(DbDir().c_str(), 0777);
        mkdir(dir.c_str(), 0777);
        DbT *db = DbTOpen((dir + "/" + name + ".udb").c_str(), DbTDeferWrite);
        for (const auto &[key, text] : texts)
            DbmTPutRecord(db, key, text.c_str(), int(text.size() + 1));
        ASSERT_EQ(DbmTArchiveDb(db), 1);
        DbTClose(db);
    }
    // pDrvCoreDB opened on an English store of texts.
    DbT *UseCore(Texts texts) {
        MakeStore("en_US", texts);
        pDrvCoreDB = DbTOpen("en_US/CoreString", 0);
        return pDrvCoreDB;
    }
    void TransConf(const std::string &text) { WriteFile(Dir() + "/trans.conf", text); }
    static std::string Lang(const char *lang) {
        if (lang != nullptr)
            setenv("LANG", lang, 1);
        else
            unsetenv("LANG");
        NlsReset();
        return GetDesiredNLSLang();
    }
    // Text printed to a stream by body.
    static std::string Printed(const std::function<void(FILE *)> &body) {
        char *text = nullptr;
        size_t size = 0;
        FILE *stream = open_memstream(&text, &size);
        body(stream);
        fclose(stream);
        std::string printed(text, size);
        free(text);
        return printed;
    }

  private:
    bool hadLang_ = false;
    std::string savedLang_;
};

// ---------------------------------------------------------------------------
// The translation table and the choice of language
// ---------------------------------------------------------------------------

TEST_F(Nls, TransFileIsNormalised) {
    TransConf("# languages\n"
              "Default en_US\n"
              "fr_FR = fr   fr_FR\n"
              "de_DE =de\tde_DE\n"
              "\n"
              "#only a comment\n"
              "it_IT = it\n");
    EXPECT_EQ(Take(ParseTransFile("trans.conf")),
              "Default en_US \nfr_FR = fr fr_FR \nde_DE = de de_DE \nit_IT = it \n");
}

// A line's end counts even behind trailing blanks, a comment or a CR (the
// table would otherwise run two lines together and give a wrong language).
TEST_F(Nls, TransFileLinesEndBehindBlanksCommentsAndCarriageReturns) {
    TransConf("fr_FR = fr fr_FR   # French\r\n"
              "de_DE = de \r\n"
              "it_IT = it");
    EXPECT_EQ(Take(ParseTransFile("trans.conf")), "fr_FR = fr fr_FR \nde_DE = de \nit_IT = it \n");
    setenv("LANG", "de", 1);
    NlsReset();
    EXPECT_STREQ(GetDesiredNLSLang(), "de_DE");
}

TEST_F(Nls, TransFileMissingOrEmptyGivesNone) {
    EXPECT_EQ(ParseTransFile("trans.conf"), nullptr);
    TransConf("");
    EXPECT_EQ(ParseTransFile("trans.conf"), nullptr);
    EXPECT_EQ(ParseTransFile(nullptr), nullptr);
}

TEST_F(Nls, LongTransFileIsCutAfterItsLastCompleteLine) {
    std::string text;
    for (int i = 0; text.size() < 9000; ++i)
        text += "lang" + std::to_string(i) + " = v" + std::to_string(i) + "\n";
    TransConf(text);
    std::string table = Take(ParseTransFile("trans.conf"));
    ASSERT_LT(table.size(), NlsTransTableSize);
    EXPECT_GT(table.size(), NlsTransTableSize - 40);
    EXPECT_EQ(table.back(), '\n');
    EXPECT_EQ(table.substr(0, 22), "lang0 = v0 \nlang1 = v1");
}

TEST_F(Nls, LanguageFromTransConf) {
    TransConf("Default de_DE\nfr_FR = fr fr_FR\nde_DE = de\n");
    EXPECT_EQ(Lang("fr"), "fr_FR");
    EXPECT_EQ(Lang("fr_FR"), "fr_FR");
    EXPECT_EQ(Lang("fr_FR.UTF-8"), "fr_FR"); // found through the pattern cut at the "."
    EXPECT_EQ(Lang("fr_FR.ISO8859-1"), "fr_FR");
    EXPECT_EQ(Lang("xx_XX"), "de_DE"); // not listed: the default
    EXPECT_EQ(Lang(nullptr), "de_DE");
    TransConf("fr_FR = fr fr_FR\n");
    EXPECT_EQ(Lang("xx_XX"), "en_US"); // no default
    EXPECT_EQ(Lang("fr"), "fr_FR");
}

TEST_F(Nls, LanguageIsChosenOnceForTheProcess) {
    TransConf("fr_FR = fr\n");
    setenv("LANG", "fr", 1);
    char *first = GetDesiredNLSLang();
    setenv("LANG", "en", 1);
    EXPECT_EQ(GetDesiredNLSLang(), first);
    EXPECT_STREQ(first, "fr_FR");
}

// A LANG value that appears on the "Default" line must not select the
// language of an earlier line.
TEST_F(Nls, MatchOnTheDefaultLineSelectsNoOtherLanguage) {
    TransConf("fr_FR = fr\nDefault de_DE\nde_DE = de\n");
    EXPECT_EQ(Lang("de_DE"), "de_DE");
    TransConf("Default es_ES\nfr_FR = fr\n");
    EXPECT_EQ(Lang("es_ES"), "es_ES");
}

TEST_F(Nls, WithoutTransConfTheTableIsText999Of1) {
    MakeStore("en_US", {{"999_1", "Default fr_FR \nfr_FR = fr \n"}});
    EXPECT_EQ(Lang(nullptr), "fr_FR");
    EXPECT_NE(pDrvCoreDB, nullptr); // the English store was opened for it
    EXPECT_EQ(Lang("fr.UTF-8"), "fr_FR");
    EXPECT_EQ(Lang("de_DE"), "fr_FR");
    MakeStore("en_US", {{"999_1", "fr_FR = fr \n"}});
    EXPECT_EQ(Lang(nullptr), "en_US");
    EXPECT_EQ(Lang("fr"), "fr_FR");
}

TEST_F(Nls, WithoutAnyTableTheLanguageIsEnglish) {
    EXPECT_EQ(Lang("fr_FR"), "en_US");
    EXPECT_EQ(pDrvCoreDB, nullptr);
    MakeStore("en_US", {{"1_1", "x"}}); // a store without text 999/1
    EXPECT_EQ(Lang("fr_FR"), "en_US");
}

// ---------------------------------------------------------------------------
// Opening language stores
// ---------------------------------------------------------------------------

TEST_F(Nls, MissingEnglishStoreIsReportedAndGivesNone) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(NlsOpenDB("CoreString", 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR:  Could not open English database:  " + Dir() + "/db/en_US/CoreString.udb\n");
}

TEST_F(Nls, MissingStoreOfAnotherLanguageGivesAnEmptyHandle) {
    TransConf("fr_FR = fr\n");
    setenv("LANG", "fr", 1);
    testing::internal::CaptureStderr();
    DbT *db = NlsOpenDB("CoreString", 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(DbmTGetRecordSize(db, "25_1"), 0);
    DbTClose(db);
}

TEST_F(Nls, LanguageStoreIsOpenedByItsPath) {
    MakeStore("en_US", {{"25_1", "one"}});
    DbT *db = NlsOpenDB("CoreString", DbTKeepLoaded);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->nOpenFlags, DbTKeepLoaded);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 25, 1)), "one");
    DbTClose(db);
}

TEST_F(Nls, CoreStoreIsOpenedOnFirstNeedForTheChosenLanguage) {
    MakeStore("en_US", {{"25_1", "one"}, {"999_1", "fr_FR = fr \n"}});
    MakeStore("fr_FR", {{"25_1", "un"}});
    setenv("LANG", "fr", 1);
    DbT *db = NlsGetCoreDB();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 25, 1)), "un");
    EXPECT_EQ(NlsGetCoreDB(), db);
}

TEST_F(Nls, CoreStoreFallsBackToEnglishWhenTheLanguageHasNoTexts) {
    MakeStore("en_US", {{"25_1", "one"}});
    TransConf("de_DE = de\n");
    setenv("LANG", "de", 1);
    DbT *db = NlsGetCoreDB();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 25, 1)), "one");
}

TEST_F(Nls, ApplicationsCoreStoreIsKept) {
    DbT *mine = UseCore({{"25_1", "mine"}});
    EXPECT_EQ(NlsGetCoreDB(), mine);
}

TEST_F(Nls, NoCoreStoreAtAllIsReportedOnce) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(NlsGetCoreDB(), nullptr);
    EXPECT_EQ(NlsGetCoreDB(), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("Could not open English database"), err.rfind("Could not open"));
    EXPECT_NE(err.find("Could not open English database"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Fetching
// ---------------------------------------------------------------------------

TEST_F(Nls, FoundTextGoesIntoTheBufferOrANewCopy) {
    DbT *db = UseCore({{"25_1", "one"}, {"k", "keyed"}});
    char buffer[NlsFetchBufSize];
    EXPECT_EQ(NlsFetchString(db, buffer, NlsByIndex, 25, 1), buffer);
    EXPECT_STREQ(buffer, "one");
    char *copy = NlsFetchString(db, nullptr, NlsByIndex, 25, 1);
    EXPECT_NE(copy, NlsFetchBuf);
    EXPECT_EQ(Take(copy), "one");
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByKey, "k")), "keyed");
    EXPECT_EQ(NlsFetchString(db, buffer, NlsByKey2, "k"), buffer);
    EXPECT_STREQ(buffer, "keyed");
}

TEST_F(Nls, MissingTextGivesItsKeyText) {
    DbT *db = UseCore({{"25_1", "one"}});
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 25, 1006)), "25_1006");
    char buffer[NlsFetchBufSize];
    EXPECT_EQ(NlsFetchString(db, buffer, NlsByIndex, 25, 1006), buffer);
    EXPECT_STREQ(buffer, "25_1006");
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByKey, "no.key")), "no.key");
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsLong, -3, 7)), "-3_7");
}

TEST_F(Nls, LongTextsAreCutForBuffersAndWholeForKindThree) {
    std::string longText(5000, 'x');
    longText[4999] = 'y';
    std::string fits(NlsFetchBufSize - 1, 'f');
    DbT *db = UseCore({{"1_1", longText}, {"1_2", fits}, {"1_3", fits + "g"}});
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 1, 1)), longText.substr(0, 2047));
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsLong, 1, 1)), longText);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 1, 2)), fits);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 1, 3)), fits);
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsLong, 1, 3)), fits + "g");
    char buffer[NlsFetchBufSize + 8];
    memset(buffer, '#', sizeof buffer);
    NlsFetchString(db, buffer, NlsByIndex, 1, 1);
    EXPECT_EQ(strlen(buffer), 2047u);
    EXPECT_EQ(buffer[2048], '#'); // nothing beyond the 2048 bytes
    // Kind 3 always hands over a new block, also with a buffer.
    char *text = NlsFetchString(db, buffer, NlsLong, 1, 2);
    EXPECT_NE(text, buffer);
    EXPECT_EQ(Take(text), fits);
}

TEST_F(Nls, TextsWithPercentSignsAreCopiedAsThey) {
    DbT *db = UseCore({{"1_1", "100% %s %n %d"}});
    EXPECT_EQ(Take(NlsFetchString(db, nullptr, NlsByIndex, 1, 1)), "100% %s %n %d");
}

TEST_F(Nls, NullStore) {
    EXPECT_EQ(Take(NlsFetchString(nullptr, nullptr, NlsByIndex, 25, 1006)), "25_1006");
    EXPECT_EQ(Take(NlsFetchString(nullptr, nullptr, NlsLong, 1, 2)), "1_2");
    char buffer[NlsFetchBufSize] = "untouched";
    EXPECT_EQ(NlsFetchString(nullptr, buffer, NlsByIndex, 25, 3), buffer);
    EXPECT_STREQ(buffer, "25_3");
    strcpy(buffer, "untouched");
    EXPECT_EQ(NlsFetchString(nullptr, buffer, NlsByIndex, 0, 3), pNlsFallback);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(NlsFetchString(nullptr, nullptr, NlsByIndex, 25, 0), pNlsFallback);
    EXPECT_EQ(NlsFetchString(nullptr, nullptr, NlsByKey, "k"), pNlsFallback);
    EXPECT_STREQ(pNlsFallback, "Error");
}

TEST_F(Nls, FallbackSurvivesAStrayRelease) {
    DbT *db = UseCore({{"1_1", "x"}});
    EXPECT_EQ(NlsFetchString(db, nullptr, 7, 1, 1), pNlsFallback); // an unknown kind
    EXPECT_EQ(NlsFetchString(db, nullptr, NlsByKey, nullptr), pNlsFallback);
    PutMem(pNlsFallback);
    EXPECT_STREQ(NlsFetchString(nullptr, nullptr, NlsByKey, "k"), "Error");
}

// ---------------------------------------------------------------------------
// Formatting with fetched formats
// ---------------------------------------------------------------------------

TEST_F(Nls, CheckFormat) {
    struct Case {
        const char *format;
        const char *model;
        int safe;
    } cases[] = {
        {"plain", nullptr, 1},
        {"%d to %d", "%i to %i", 1},
        {"%x-%X %c", "%d %d %d", 1},
        {"%5.2f %-8s %%", "%g %s", 1},
        {"%Lg %Lg", "%Lf %Le", 1},
        {"%ld %lld %zu", "%li %lli %zd", 1},
        {"%hhd %p", "%d %p", 1},
        {"%s", "%d", 0},
        {"%d", "%d %d", 0},
        {"%d %d", "%d", 0},
        {"%g", "%Lg", 0},
        {"%n", nullptr, 0},
        {"%*d", nullptr, 0},
        {"%.*s", nullptr, 0},
        {"%1$s", nullptr, 0},
        {"%ls", nullptr, 0},
        {"%q", nullptr, 0},
        {"end %", nullptr, 0},
        {"%d", "%n", 0},
        {"100%% sure", "no conversions", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NlsCheckFormat(c.format, c.model), c.safe) << c.format << " / " << c.model;
    EXPECT_EQ(NlsCheckFormat(nullptr, nullptr), 0);
}

TEST_F(Nls, FprintfPrintsTheFormatOrError) {
    DbT *db = UseCore({{"25_1", "%d items of %s"}, {"25_2", "bad %n"}});
    EXPECT_EQ(Printed([&](FILE *f) { EXPECT_EQ(Nlsfprintf(f, db, 25, 1, 3, "ten"), 1); }),
              "3 items of ten");
    EXPECT_EQ(Printed([&](FILE *f) { EXPECT_EQ(Nlsfprintf(f, db, 25, 9), 0); }), "Error");
    EXPECT_EQ(Printed([&](FILE *f) { EXPECT_EQ(Nlsfprintf(f, db, 25, 2, 1), 0); }), "Error");
    EXPECT_EQ(Printed([&](FILE *f) { Nlsfprintf(f, nullptr, 25, 1, 3, "x"); }), "Error");
    EXPECT_EQ(Nlsfprintf(nullptr, db, 25, 1), 0);
}

TEST_F(Nls, SprintfFormatsOrWritesError) {
    DbT *db = UseCore({{"30_42", "From %i to %i."}, {"30_43", "%n"}});
    char target[64];
    EXPECT_EQ(Nlssprintf(target, db, 30, 42, 4, 8), 1);
    EXPECT_STREQ(target, "From 4 to 8.");
    EXPECT_EQ(Nlssprintf(target, db, 30, 44, 4), 0);
    EXPECT_STREQ(target, "Error");
    EXPECT_EQ(Nlssprintf(target, db, 30, 43, 4), 0);
    EXPECT_STREQ(target, "Error");
    EXPECT_EQ(Nlssprintf(nullptr, db, 30, 42, 4, 8), 1);
}

TEST_F(Nls, BoundedSprintfChecksTheArgumentsAgainstTheModel) {
    DbT *db = UseCore({{"30_42", "From %i to %i."}, {"30_22", "%s Help"}, {"9_9", "%s"}});
    char target[16];
    EXPECT_EQ(Nlssnprintf(target, sizeof target, db, 30, 42, "%i to %i", 4, 8), 1);
    EXPECT_STREQ(target, "From 4 to 8.");
    EXPECT_EQ(Nlssnprintf(target, sizeof target, db, 30, 22, "%d", 7), 0); // "%s" is not "%d"
    EXPECT_STREQ(target, "Error");
    EXPECT_EQ(Nlssnprintf(target, sizeof target, db, 9, 9, "%s", "a very long text indeed"), 1);
    EXPECT_STREQ(target, "a very long tex");
    EXPECT_EQ(Nlssnprintf(target, 3, db, 1, 1, "%s", "x"), 0);
    EXPECT_STREQ(target, "Er");
    EXPECT_EQ(Nlssnprintf(nullptr, 8, db, 9, 9, "%s", "x"), 0);
}

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

TEST_F(Nls, GuiStrCvtPutsTheGroupsTextsInPlaceOfEachPercentS) {
    UseCore({{"7_1", "one"}, {"7_2", "two"}});
    char target[64];
    EXPECT_EQ(NlsGuiStrCvt("a %s b %s c", 7, target, sizeof target), target);
    EXPECT_STREQ(target, "a one b two c");
    NlsGuiStrCvt("%s%s%s", 7, target, sizeof target);
    EXPECT_STREQ(target, "onetwo7_3"); // a missing text gives its key text
    NlsGuiStrCvt("100%", 7, target, sizeof target);
    EXPECT_STREQ(target, "100%");
}

TEST_F(Nls, GuiStrCvtStaysInsideTheTarget) {
    UseCore({{"7_1", "one"}, {"7_2", std::string(2000, 'z')}});
    const std::string whole = "[one]";
    for (size_t size : {whole.size(), whole.size() + 1, whole.size() + 2}) {
        std::string target(size + 4, '#');
        NlsGuiStrCvt("[%s]", 7, target.data(), size);
        EXPECT_EQ(std::string(target.c_str()), whole.substr(0, size - 1));
        EXPECT_EQ(target.substr(size), "####");
        EXPECT_EQ(target[size - 1], '\0'); // the rest of the target is cleared
    }
    char big[4096];
    NlsGuiStrCvt("%s%s!", 7, big, sizeof big);
    EXPECT_EQ(strlen(big), 3u + 1023u + 1u); // each text cut at 1023 characters
    char one[1];
    NlsGuiStrCvt("abc", 7, one, 1);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(NlsGuiStrCvt("abc", 7, nullptr, 8), nullptr);
}

TEST_F(Nls, CalcStrVal) {
    EXPECT_STREQ(NlsCalcStrVal("AB"), "0000014900000083");
    EXPECT_STREQ(NlsCalcStrVal(""), "0000000000000000");
    EXPECT_STREQ(NlsCalcStrVal(nullptr), "0000000000000000");
    EXPECT_STREQ(NlsCalcStrVal("\xff"), "FFFFFFFFFFFFFFFF"); // characters are signed
    EXPECT_EQ(NlsCalcStrVal("x"), NlsValBuf);
    // Long texts wrap modulo 2^32 instead of overflowing.
    std::string text(100000, 'z');
    uint64_t weighted = 0, plain = 0;
    for (uint64_t k = 1; k <= text.size(); ++k) {
        weighted += 'z' * k * k;
        plain += 'z';
    }
    char expected[17];
    snprintf(expected, sizeof expected, "%08X%08X", unsigned(weighted & 0xffffffffu),
             unsigned(plain & 0xffffffffu));
    EXPECT_STREQ(NlsCalcStrVal(text.c_str()), expected);
}

} // namespace
