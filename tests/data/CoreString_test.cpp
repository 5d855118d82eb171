// The compiled string stores as the build ships them: every text the menu
// engine and the help viewer fetch, the English texts given for them, the
// French translation with the same keys and conversions in ISO 8859-1, and
// the built-in translation table that matches trans.conf.
#include "NlsUtils.h"

#include "DbmTest.h"
#include "MemMgr.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace corla_test;

namespace {

// The texts whose English wording is fixed.
const std::pair<const char *, const char *> GivenEnglish[] = {
    {"20_150", "~e Exit Help"},
    {"20_151", "~c Contents"},
    {"20_152", "~b Back"},
    {"25_230", " or s for store settings in a file"},
    {"25_231", " or h for help"},
    {"25_232", " or <Return> to exit"},
    {"25_1000", "Press <Return> to continue"},
    {"25_1001", "\nPress <Return> to continue "},
    {"25_1002", "\n'%c' is not a valid name character. \nOnly alphanumeric character, '-', and "
                "'_' are valid: \n"},
    {"25_1003", "This number must be between %i to %i."},
    {"25_1004", "This number must be between %x to %x."},
    {"25_1006", "Invalid character '%c'\nThis text may contain \"0123456789.\""},
    {"25_1007", "Invalid character '%c'\nThis text may contain \"abc..zABC..Z012..9%s\""},
    {"25_1008", "Invalid character '%c'\nThis text may contain \"abc..zABC..Z%s\""},
    {"25_1009", "Invalid entry \"%s\""},
    {"25_1010", "Invalid character %c\n%c was expected after \"%s\""},
    {"25_1011", "\nAll names must be set before applying setup.\nPress <Return> to continue"},
    {"25_1016", "reading from standard input"},
    {"25_1017", "\nDo you want to return to %s menu"},
    {"25_1018", "\nDo you want to exit %s"},
    {"25_1020", "Only one '.' may be entered."},
};

// Every text fetched, with the arguments it is formatted with.
const std::pair<const char *, const char *> Fetched[] = {
    {"20_150", ""},         {"20_151", ""},       {"20_152", ""},          {"25_201", ""},
    {"25_202", ""},         {"25_203", "%s"},     {"25_204", "%s"},        {"25_205", ""},
    {"25_206", ""},         {"25_207", "%d %d"},  {"25_208", "%d %d"},     {"25_230", ""},
    {"25_231", ""},         {"25_232", ""},       {"25_270", ""},          {"25_271", ""},
    {"25_510", "%s%s%s"},   {"25_1000", ""},      {"25_1001", ""},         {"25_1002", "%c"},
    {"25_1003", "%i %i"},   {"25_1004", "%x %x"}, {"25_1006", "%c"},       {"25_1007", "%c %s"},
    {"25_1008", "%c %s"},   {"25_1009", "%s"},    {"25_1010", "%c %c %s"}, {"25_1011", ""},
    {"25_1016", ""},        {"25_1017", "%s"},    {"25_1018", "%s"},       {"25_1020", ""},
    {"25_1024", "%Lg %Lg"}, {"30_22", "%s"},      {"30_42", "%i %i"},      {"30_44", "%i"},
};

class CoreStrings : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *bin = getenv("CORLA_BUILD_BIN");
        ASSERT_NE(bin, nullptr);
        bin_ = bin;
        english_ = DbTOpen((bin_ + "/db/en_US/CoreString.udb").c_str(), DbTKeepLoaded);
        french_ = DbTOpen((bin_ + "/db/fr_FR/CoreString.udb").c_str(), DbTKeepLoaded);
        ASSERT_EQ(english_->nDbType, DbTypeTyped) << "build the corla_data target first";
        ASSERT_EQ(french_->nDbType, DbTypeTyped);
    }
    void TearDown() override {
        DbTClose(english_);
        DbTClose(french_);
    }
    static std::string Text(DbT *db, const char *key) {
        int size = DbmTGetRecordSize(db, key);
        if (size == 0) return "(absent)";
        std::string data(size_t(size), '\0');
        DbmTGetRecord(db, key, data.data());
        EXPECT_EQ(data.back(), '\0') << key << " is stored without its NUL";
        data.pop_back();
        return data;
    }
    static std::vector<std::string> Keys(DbT *db) {
        std::vector<std::string> keys;
        char *list = DbmTGetRecordList(db, " ", " ");
        std::string text = list;
        PutMem(list);
        for (size_t at = 1, next; (next = text.find(' ', at)) != std::string::npos; at = next + 1)
            keys.push_back(text.substr(at, next - at));
        return keys;
    }

    std::string bin_;
    DbT *english_ = nullptr;
    DbT *french_ = nullptr;
};

TEST_F(CoreStrings, EnglishTextsAreTheGivenOnes) {
    for (const auto &[key, text] : GivenEnglish)
        EXPECT_EQ(Text(english_, key), text) << key;
}

TEST_F(CoreStrings, EveryFetchedTextIsThereAndTakesItsArguments) {
    for (DbT *db : {english_, french_}) {
        for (const auto &[key, model] : Fetched) {
            std::string text = Text(db, key);
            EXPECT_NE(text, "(absent)") << key;
            EXPECT_EQ(NlsCheckFormat(text.c_str(), model), 1) << key << ": " << text;
        }
    }
}

TEST_F(CoreStrings, FrenchHasTheEnglishKeysAndConversions) {
    std::vector<std::string> keys = Keys(english_);
    std::erase(keys, "999_1"); // the table is read from the English store only
    EXPECT_EQ(Keys(french_), keys);
    for (const std::string &key : keys) {
        std::string en = Text(english_, key.c_str()), fr = Text(french_, key.c_str());
        EXPECT_EQ(NlsCheckFormat(fr.c_str(), en.c_str()), 1) << key;
        EXPECT_NE(fr, en == " [" ? "" : en) << key << " is not translated";
    }
}

TEST_F(CoreStrings, FrenchIsLatin1) {
    std::string all;
    for (const std::string &key : Keys(french_))
        all += Text(french_, key.c_str());
    EXPECT_NE(all.find("\xe9"), std::string::npos); // e acute as one byte
    EXPECT_EQ(all.find("\xc3"), std::string::npos); // no UTF-8 sequences
}

TEST_F(CoreStrings, MenuKeysAreUsable) {
    for (DbT *db : {english_, french_}) {
        std::string keep = Text(db, "25_201"), cancel = Text(db, "25_202");
        EXPECT_NE(keep[0], cancel[0]);
        for (const char *key : {"20_150", "20_151", "20_152"}) {
            std::string label = Text(db, key);
            ASSERT_GE(label.size(), 4u);
            EXPECT_EQ(label[0], '~');
            EXPECT_TRUE(isalpha(static_cast<unsigned char>(label[1]))) << label;
        }
    }
}

TEST_F(CoreStrings, BuiltInTableIsTheNormalisedTransConf) {
    std::vector<char> tool(bin_.begin(), bin_.end());
    tool.push_back('\0');
    pToolPath = tool.data();
    char *table = ParseTransFile("trans.conf");
    pToolPath = nullptr;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Text(english_, "999_1"), table);
    PutMem(table);
}

// The shipped stores and trans.conf choose French for a French LANG.
TEST_F(CoreStrings, FrenchLangGetsFrenchTexts) {
    std::vector<char> tool(bin_.begin(), bin_.end());
    tool.push_back('\0');
    pToolPath = tool.data();
    const char *saved = getenv("LANG");
    std::string savedLang = saved != nullptr ? saved : "";
    setenv("LANG", "fr_FR.ISO8859-1", 1);
    NlsReset();
    EXPECT_STREQ(GetDesiredNLSLang(), "fr_FR");
    char *text = NlsFetchString(NlsGetCoreDB(), nullptr, NlsByIndex, 25, 1003);
    EXPECT_STREQ(text, "Ce nombre doit \xeatre compris entre %i et %i.");
    PutMem(text);
    NlsReset();
    setenv("LANG", "C", 1);
    EXPECT_STREQ(GetDesiredNLSLang(), "en_US");
    NlsReset();
    if (saved != nullptr)
        setenv("LANG", savedLang.c_str(), 1);
    else
        unsetenv("LANG");
    pToolPath = nullptr;
}

} // namespace
