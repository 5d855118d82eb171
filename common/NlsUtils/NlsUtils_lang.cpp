// NlsUtils: the translation table, the choice of language and the opening of
// language stores.
//
// trans.conf (tool directory) maps LANG values to store languages:
//     # comment to the end of the line
//     Default en_US
//     fr_FR = fr fr_FR fr_CA
// It is normalised into pTransTable: each word followed by a blank, the last
// word of a line (and the word after "Default") by a blank and a line feed,
// "=" as "= ", so that " <value> " can be searched for directly.
#include "NlsUtils.h"

#include "MemMgr.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

char *pNLSLang = nullptr;
DbT *pDrvCoreDB = nullptr;
char *pTransTable = nullptr;

namespace {

constexpr char TransFileName[] = "trans.conf";
constexpr char EnglishCoreStore[] = "en_US/CoreString";
constexpr char CoreStoreName[] = "CoreString";
constexpr char DefaultLanguage[] = "en_US";
constexpr char LangNotSet[] = "___LANG_NOT_SET___";
constexpr char DefaultWord[] = "Default";
constexpr int TableTextGroup = 999; // text 999/1 of the English core store: the built-in table
constexpr int TableTextIndex = 1;

DbT *pTableCoreDB = nullptr; // the English store GetDesiredNLSLang opened to read 999/1
bool flCoreDBFailed = false; // NlsGetCoreDB found no core store (and said so)

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The normalised table under construction, cut after its last complete line
// when it would not fit.
struct TableWriter {
    char text[NlsTransTableSize];
    size_t nUsed = 0;
    size_t nLineEnd = 0; // length up to the last line feed written
    bool flFull = false;

    void Put(std::string_view piece) {
        if (flFull) return;
        if (nUsed + piece.size() >= sizeof text) {
            flFull = true;
            nUsed = nLineEnd;
            return;
        }
        memcpy(text + nUsed, piece.data(), piece.size());
        nUsed += piece.size();
        if (!piece.empty() && piece.back() == '\n') nLineEnd = nUsed;
    }
};

// After a word at p: does its line end before the next word? Blanks, tabs,
// CR, VT, FF and a comment may come between the word and the LF; the end of
// the file ends the line too.
bool EndsLine(const char *p) {
    while (*p != '\0' && *p != '\n') {
        if (*p == '#') return true; // a comment runs to the end of the line
        if (!IsSpace(*p)) return false;
        ++p;
    }
    return true;
}

// The default language named in table, or empty.
std::string_view FindDefault(const char *table) {
    const char *p = strstr(table, DefaultWord);
    if (p == nullptr || p[strlen(DefaultWord)] == '\n') return {};
    p += strlen(DefaultWord);
    while (*p != '\0' && *p != ' ')
        ++p;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '\0' || *p == '\r' || *p == '\n') return {};
    size_t n = strcspn(p, " \t\r\n");
    return {p, n};
}

// The language of the first line that lists pattern among its values, or
// empty. A match counts only when an "=" stands before it on its own line.
std::string_view FindLanguage(const char *table, const char *pattern) {
    for (const char *m = strstr(table, pattern); m != nullptr; m = strstr(m + 1, pattern)) {
        const char *lineStart = m;
        while (lineStart > table && lineStart[-1] != '\n')
            --lineStart;
        if (memchr(lineStart, '=', size_t(m - lineStart)) == nullptr) continue;
        return {lineStart, strcspn(lineStart, " =\n")};
    }
    return {};
}

// The table when there is no trans.conf: text 999/1 of the English store.
char *TableFromCoreStore() {
    if (pDrvCoreDB == nullptr) {
        DbT *db = DbTOpen(EnglishCoreStore, 0);
        if (db != nullptr && db->pContent == nullptr) { // missing or unreadable
            DbTClose(db);
            db = nullptr;
        }
        pDrvCoreDB = db;
        pTableCoreDB = db;
    }
    if (pDrvCoreDB == nullptr) return nullptr;
    char *text = NlsFetchString(pDrvCoreDB, nullptr, NlsByIndex, TableTextGroup, TableTextIndex);
    if (text == pNlsFallback) return nullptr;
    return text;
}

bool IsEnglish(const char *lang) {
    return strncmp(lang, DefaultLanguage, strlen(DefaultLanguage)) == 0;
}

bool HasRecords(const DbT *db) {
    if (db == nullptr || db->pContent == nullptr) return false;
    return db->nContentSize > (db->nDbType == DbTypeLegacy ? 0 : DbTHeaderSize);
}

// <tool path>/db/<lang>/<name>.udb. An English store without content is
// reported and gives none.
DbT *OpenLanguageStore(const char *lang, const char *name, int flags) {
    const char *tool = pToolPath != nullptr && pToolPath[0] != '\0' ? pToolPath : ".";
    // A path that starts with "/" or "." is taken by DbTOpen as it is.
    const char *lead = tool[0] == '/' || tool[0] == '.' ? "" : "./";
    char *path = SaveStr("%s%s/db/%s/%s.udb", lead, tool, lang, name);
    DbT *db = DbTOpen(path, flags);
    bool empty = db == nullptr || db->nDbType == DbTypeNew || db->nDbType == DbTypeUnreadable;
    if (empty && IsEnglish(lang)) {
        fprintf(stderr, "ERROR:  Could not open English database:  %s\n", path);
        DbTClose(db);
        db = nullptr;
    }
    PutMem(path);
    return db;
}

} // namespace

char *ParseTransFile(const char *fileName) {
    if (fileName == nullptr) return nullptr;
    const char *tool = pToolPath != nullptr && pToolPath[0] != '\0' ? pToolPath : ".";
    char *content = GetSavedFileContent(tool, fileName);
    if (content == nullptr) return nullptr;
    TableWriter table;
    bool afterDefault = false;
    const char *p = content;
    while (*p != '\0' && !table.flFull) {
        if (IsSpace(*p)) {
            ++p;
            continue;
        }
        if (*p == '#') {
            p += strcspn(p, "\r\n");
            continue;
        }
        if (*p == '=') {
            table.Put("= ");
            ++p;
            continue;
        }
        size_t n = strcspn(p, " \t\r\n\v\f");
        std::string_view word(p, n);
        p += n;
        table.Put(word);
        bool endsLine = EndsLine(p);
        table.Put(endsLine || afterDefault ? " \n" : " ");
        afterDefault = word == DefaultWord && !endsLine;
    }
    PutMem(content);
    char *result = static_cast<char *>(GetMem(table.nUsed + 1));
    if (result != nullptr) memcpy(result, table.text, table.nUsed);
    return result;
}

char *GetDesiredNLSLang() {
    if (pNLSLang != nullptr) return pNLSLang;
    const char *lang = getenv("LANG");
    char *pattern = SaveStr(" %s ", lang != nullptr ? lang : LangNotSet);
    char *dot = strchr(pattern, '.');
    if (dot != nullptr) *dot = '\0';

    if (pTransTable == nullptr) pTransTable = ParseTransFile(TransFileName);
    if (pTransTable == nullptr) pTransTable = TableFromCoreStore();
    std::string_view language;
    if (pTransTable != nullptr) {
        language = FindLanguage(pTransTable, pattern);
        if (language.empty()) language = FindDefault(pTransTable);
    }
    if (language.empty()) language = DefaultLanguage;
    pNLSLang = SaveStr("%.*s", int(language.size()), language.data());
    PutMem(pattern);
    return pNLSLang;
}

DbT *NlsOpenDB(const char *name, int flags) {
    if (name == nullptr) return nullptr;
    return OpenLanguageStore(GetDesiredNLSLang(), name, flags);
}

DbT *NlsGetCoreDB() {
    if (pDrvCoreDB != nullptr && pDrvCoreDB != pTableCoreDB) return pDrvCoreDB; // the application's
    if (flCoreDBFailed) return pDrvCoreDB;
    const char *lang = GetDesiredNLSLang(); // may open the English store for the table
    if (pDrvCoreDB != nullptr && pDrvCoreDB != pTableCoreDB) return pDrvCoreDB;
    // The chosen language's store; the English one when that has no texts.
    DbT *db = pDrvCoreDB != nullptr && IsEnglish(lang)
                  ? pDrvCoreDB
                  : OpenLanguageStore(lang, CoreStoreName, DbTKeepLoaded);
    if (!HasRecords(db) && !IsEnglish(lang)) {
        DbTClose(db);
        db = pDrvCoreDB != nullptr
                 ? pDrvCoreDB
                 : OpenLanguageStore(DefaultLanguage, CoreStoreName, DbTKeepLoaded);
    }
    if (db != pDrvCoreDB) DbTClose(pDrvCoreDB);
    pDrvCoreDB = db;
    pTableCoreDB = nullptr;
    flCoreDBFailed = db == nullptr; // reported once; not tried again
    return pDrvCoreDB;
}

void NlsReset() {
    PutMem(pNLSLang);
    pNLSLang = nullptr;
    PutMem(pTransTable);
    pTransTable = nullptr;
    DbTClose(pDrvCoreDB);
    pDrvCoreDB = nullptr;
    pTableCoreDB = nullptr;
    flCoreDBFailed = false;
}
