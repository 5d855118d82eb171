// The message catalogue: six tables of 71 texts and the supplement of the
// installer's further messages in the same six languages, all of which must
// stay usable as printf formats with the English arguments, in ISO 8859-1,
// and the choice of the language from LANG.
#include "Catalogue.h"

#include "SysLayerTest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Table {
    const char *name;
    const char *const *texts; // the catalogue, 0 to 70
    const char *const *more;  // the supplement, from NlsSetupCount on

    // Message i of either part.
    const char *operator[](int i) const {
        return i < NlsSetupCount ? texts[i] : more[i - NlsSetupCount];
    }
};
const Table Tables[] = {{"English", NLS_ENGLISH, NLS_ENGLISH_MORE},
                        {"Spanish", NLS_SPANISH, NLS_SPANISH_MORE},
                        {"Italian", NLS_ITALIAN, NLS_ITALIAN_MORE},
                        {"French", NLS_FRENCH, NLS_FRENCH_MORE},
                        {"German", NLS_GERMAN, NLS_GERMAN_MORE},
                        {"Portuguese", NLS_PORTUGUESE, NLS_PORTUGUESE_MORE}};
const Table &English = Tables[0];

// The conversions of a printf format in order ("%s", "%e", "%i", ...), and
// anything a format must not hold ("%n", "*", "$", a lone "%") as "bad".
std::vector<std::string> Conversions(const char *format) {
    std::vector<std::string> found;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        std::string conversion = "%";
        while (*p != '\0' && strchr("-+ #0123456789.", *p) != nullptr)
            conversion += *p++;
        if (*p == '\0' || strchr("sdieEfgGcuxXo", *p) == nullptr) {
            found.emplace_back("bad");
            if (*p == '\0') break;
            continue;
        }
        found.emplace_back(conversion + *p);
    }
    return found;
}

// Leading line ends and blanks, and trailing ones: prompts keep the blank
// the cursor waits behind, messages the line ends they are framed by.
std::string Edges(const char *text) {
    std::string s(text);
    size_t lead = s.find_first_not_of("\n ");
    if (lead == std::string::npos) return "all:" + s;
    size_t trail = s.find_last_not_of("\n ");
    return s.substr(0, lead) + "|" + s.substr(trail + 1);
}

TEST(Catalogue, EveryTableHasEveryText) {
    // The catalogue stays exactly 71 texts; what the installer says beyond
    // it is in the supplement.
    static_assert(std::size(NLS_ENGLISH) == 71 && std::size(NLS_SPANISH) == 71 &&
                  std::size(NLS_ITALIAN) == 71 && std::size(NLS_FRENCH) == 71 &&
                  std::size(NLS_GERMAN) == 71 && std::size(NLS_PORTUGUESE) == 71);
    static_assert(std::size(NLS_ENGLISH_MORE) == NlsSupplementCount &&
                  std::size(NLS_PORTUGUESE_MORE) == NlsSupplementCount);
    EXPECT_EQ(NlsSupplementCount, 19);
    for (const Table &table : Tables) {
        for (int i = 0; i < NlsSetupCount; ++i)
            EXPECT_NE(table.texts[i], nullptr) << table.name << " entry " << i;
        for (int k = 0; k < NlsSupplementCount; ++k)
            EXPECT_NE(table.more[k], nullptr) << table.name << " supplement entry " << k;
    }
}

TEST(Catalogue, TranslationsKeepTheEnglishPlaceholdersInOrder) {
    for (int i = 0; i < NlsSetupEnd; ++i) {
        std::vector<std::string> english = Conversions(English[i]);
        for (const std::string &c : english)
            EXPECT_NE(c, "bad") << "English entry " << i;
        for (const Table &table : Tables)
            EXPECT_EQ(Conversions(table[i]), english) << table.name << " entry " << i;
    }
}

TEST(Catalogue, TranslationsKeepTheEnglishFraming) {
    for (int i = 0; i < NlsSetupEnd; ++i)
        for (const Table &table : Tables)
            EXPECT_EQ(Edges(table[i]), Edges(English[i])) << table.name << " entry " << i;
}

TEST(Catalogue, TextsAreIso88591NotUtf8) {
    for (const Table &table : Tables) {
        bool accented = false;
        for (int i = 0; i < NlsSetupEnd; ++i) {
            for (const unsigned char *p = reinterpret_cast<const unsigned char *>(table[i]);
                 *p != '\0'; ++p) {
                if (*p < 0x80) continue;
                accented = true;
                // ISO 8859-1 has printable characters from 0xA0 on; a UTF-8
                // lead byte 0xC3 followed by a continuation byte would be
                // "Ã" and a control character.
                EXPECT_GE(*p, 0xA0) << table.name << " entry " << i;
                EXPECT_FALSE(*p == 0xC3 && p[1] >= 0x80 && p[1] < 0xC0)
                    << table.name << " entry " << i << " looks like UTF-8";
            }
        }
        if (table.texts != NLS_ENGLISH) {
            EXPECT_TRUE(accented) << table.name;
        }
    }
}

TEST(Catalogue, TranslationsAreTranslated) {
    for (const Table &table : Tables) {
        if (table.texts == NLS_ENGLISH) continue;
        int same = 0;
        for (int i = 0; i < NlsSetupEnd; ++i)
            same += strcmp(table[i], English[i]) == 0;
        // Only the empty entry, the command word "stop all" and choice
        // lists made of names may stay as they are.
        EXPECT_LE(same, 4) << table.name;
    }
}

TEST(Catalogue, EnglishTextsTheInstallerPrints) {
    EXPECT_STREQ(NLS_ENGLISH[NlsCouldntOpen], "ERROR: couldn't open %s");
    EXPECT_STREQ(NLS_ENGLISH[NlsListFileMissing], "can't open file, %sInstall/disks");
    EXPECT_STREQ(NLS_ENGLISH[NlsNotRoot], "%s is logged in\nYou must become root to run %s\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsReleaseUnreadable], "failed ts get version");
    EXPECT_STREQ(NLS_ENGLISH[NlsContinuePrompt],
                 "\nDo You want to continue with the installation? [yn] ");
    EXPECT_STREQ(NLS_ENGLISH[NlsSizeFileMissing],
                 "Could not determine how much space needed for install, missing isize.\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsRunning], "\nThe following processes are running.\nThe installer "
                                          "can not continue until these terminate:\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsWouldYouLike], "Would you like to:\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsWaitChoice],
                 "1.  Wait 30 seconds for these processes to terminate\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsQuitChoice], "2.  Quit the installation\n");
    EXPECT_STREQ(NLS_ENGLISH[NlsEnterSelection], "\nEnter a selection:  ");
    EXPECT_STREQ(NLS_ENGLISH[NlsOldDaemon],
                 "\nIf you currently have %s printer software installed that uses PlimtoD\nprint "
                 "daemon, you must delete all your %s print queues prior to installing\nthis "
                 "package.\n\nNOTE: PlimtoD is located in <install directory>/%s/%s\n");
    EXPECT_STREQ(NLS_ENGLISH[0], "~e Exit Help");
    EXPECT_STREQ(NLS_ENGLISH[15], "\t\t\"wrong number of arguments to interface program\" \\\n");
    EXPECT_STREQ(NLS_ENGLISH[50], "_none,    ,_TTY");
    EXPECT_EQ(strlen(NLS_ENGLISH[NlsSharedShort]), 370u);
}

TEST(Catalogue, EntryFiftySevenIsEmptyEverywhere) {
    for (const Table &table : Tables)
        EXPECT_STREQ(table.texts[57], "") << table.name;
}

TEST(Catalogue, ContinuePromptShowsTheLanguagesLetters) {
    EXPECT_NE(strstr(NLS_SPANISH[NlsContinuePrompt], "[sn] "), nullptr);
    EXPECT_NE(strstr(NLS_ITALIAN[NlsContinuePrompt], "[sn] "), nullptr);
    EXPECT_NE(strstr(NLS_FRENCH[NlsContinuePrompt], "[on] "), nullptr);
    EXPECT_NE(strstr(NLS_GERMAN[NlsContinuePrompt], "[jn] "), nullptr);
    EXPECT_NE(strstr(NLS_PORTUGUESE[NlsContinuePrompt], "[sn] "), nullptr);
}

TEST(Catalogue, MenuLabelsNameAKeyOfTheirOwnLabel) {
    for (const Table &table : Tables)
        for (int i = 0; i <= 2; ++i) {
            const char *label = table.texts[i];
            ASSERT_EQ(label[0], '~') << table.name << " entry " << i;
            ASSERT_EQ(label[2], ' ') << table.name << " entry " << i;
            std::string rest(label + 3);
            std::string lower;
            for (char c : rest)
                lower += char(tolower(static_cast<unsigned char>(c)));
            EXPECT_NE(lower.find(label[1]), std::string::npos) << table.name << " entry " << i;
        }
}

TEST(Catalogue, ChoiceListsKeepTheirShape) {
    for (int i : {40, 41, 45, 46, 47, 48, 50}) {
        std::string english(NLS_ENGLISH[i]);
        for (const Table &table : Tables) {
            std::string text(table.texts[i]);
            EXPECT_EQ(std::count(text.begin(), text.end(), ','),
                      std::count(english.begin(), english.end(), ','))
                << table.name << " entry " << i;
            EXPECT_EQ(std::count(text.begin(), text.end(), '_'),
                      std::count(english.begin(), english.end(), '_'))
                << table.name << " entry " << i;
        }
    }
}

TEST(Catalogue, LanguageChoice) {
    struct Case {
        const char *lang;
        const char *const *table;
    };
    const Case cases[] = {
        {nullptr, NLS_ENGLISH},
        {"", NLS_ENGLISH},
        {"en_US", NLS_ENGLISH},
        {"es_ES", NLS_SPANISH},
        {"it_IT", NLS_ITALIAN},
        {"fr_FR", NLS_FRENCH},
        {"ge_GE", NLS_GERMAN},
        {"pr_BR", NLS_PORTUGUESE},
        {"de_DE", NLS_ENGLISH},
        {"pt_BR", NLS_ENGLISH},
        {"FR_FR", NLS_ENGLISH},
        {"fr", NLS_ENGLISH},
        {"fr_FR,", NLS_ENGLISH},
        {",fr_FR", NLS_ENGLISH},
        {"en_US,es_ES", NLS_ENGLISH},
        {"C", NLS_ENGLISH},
        {"fr_FR.ISO8859-1", NLS_ENGLISH},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(NlsSetupTableFor(c.lang), c.table) << (c.lang ? c.lang : "(unset)");
        // The supplement follows the catalogue's language.
        const Table *table = nullptr;
        for (const Table &t : Tables)
            if (t.texts == c.table) table = &t;
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(NlsSupplementTableFor(c.lang), table->more) << (c.lang ? c.lang : "(unset)");
    }
}

// The first lookup chooses for the whole run, cuts LANG at its first "."
// for the commands started later, and ignores later changes. Run in a child
// so that the choice of this test program stays untouched.
TEST(Catalogue, FirstLookupChoosesOnceAndShortensLang) {
    corla_test::ChildResult child = corla_test::RunInChild([] {
        setenv("LANG", "fr_FR.ISO8859-1", 1);
        const char *first = nlsSetupStrCvt(NlsContinuePrompt);
        const char *lang = getenv("LANG");
        setenv("LANG", "es_ES", 1);
        const char *later = nlsSetupStrCvt(NlsContinuePrompt);
        FillInstallInfo();
        bool ok =
            first == NLS_FRENCH[NlsContinuePrompt] &&
            nlsSetupStrCvt(NlsFailedWhile) == NLS_FRENCH_MORE[NlsFailedWhile - NlsSetupCount] &&
            nlsSetupStrCvt(NlsStepCleanUp) == NLS_FRENCH_MORE[NlsSupplementCount - 1] &&
            lang != nullptr && strcmp(lang, "fr_FR") == 0 &&
            later == NLS_FRENCH[NlsContinuePrompt] && InstallInfo[0] == NLS_FRENCH[10] &&
            InstallInfo[4] == NLS_FRENCH[14] && InstallInfo[5] == nullptr &&
            InstallSiteInfo[2] == NLS_FRENCH[17] && InstallSiteInfo[3] == NLS_FRENCH[18] &&
            InstallSiteInfo[4] == nullptr;
        exit(ok ? 0 : 1);
    });
    EXPECT_EQ(child.status, 0);
}

TEST(Catalogue, UnsetLangIsEnglish) {
    corla_test::ChildResult child = corla_test::RunInChild([] {
        unsetenv("LANG");
        exit(nlsSetupStrCvt(NlsNotRoot) == NLS_ENGLISH[NlsNotRoot] ? 0 : 1);
    });
    EXPECT_EQ(child.status, 0);
}

} // namespace
