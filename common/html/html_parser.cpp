// html: the registry of help files and the parser that splits a file into
// pages of head and body elements.
#include "html.h"

#include "MemMgr.h"
#include "html_private.h"
#include "utils.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>

HtmlFile *aFile[HtmlMaxFiles];
int FileIndex = 0;
int CurrentFile = 0;
HtmlPage *pCurrentPage = nullptr;

constexpr char HTMLKeys[] =
    ",nbsp;,iexcl;,cent;,pound;,curren;,yen;,brvbar;,sect;,uml;,copy;,ordf;,laquo;,not;,shy;,"
    "reg;,macr;,deg;,plusmn;,sup2;,sup3;,acute;,micro;,para;,middot;,cedil;,sup1;,ordm;,raquo;,"
    "frac14;,frac12;,frac34;,iquest;,Agrave;,Aacute;,Acirc;,Atilde;,Auml;,Aring;,AElig;,Ccedil;,"
    "Egrave;,Eacute;,Ecirc;,Euml;,Igrave;,Iacute;,Icirc;,Iuml;,ETH;,Ntilde;,Ograve;,Oacute;,"
    "Ocirc;,Otilde;,Ouml;,times;,Oslash;,Ugrave;,Uacute;,Ucirc;,Uuml;,Yacute;,THORN;,szlig;,"
    "agrave;,aacute;,acirc;,atilde;,auml;,aring;,aelig;,ccedil;,egrave;,eacute;,ecirc;,euml;,"
    "igrave;,iacute;,icirc;,iuml;,eth;,ntilde;,ograve;,oacute;,ocirc;,otilde;,ouml;,divide;,"
    "oslash;,ugrave;,uacute;,ucirc;,uuml;,yacute;,thorn;,yuml;,";

namespace {

constexpr int kNamedReferences = 96; // ISO 8859-1 codes 160 to 255
constexpr int kFirstReferenceCode = 160;
constexpr int kReferenceLookAhead = 15; // a name with its ";" must end within this

constexpr int CountEntries(std::string_view list) {
    int n = 0;
    for (char c : list)
        n += c == list[0];
    return n - 1;
}
static_assert(CountEntries(HTMLKeys) == kNamedReferences, "one name per code 160..255");

constexpr std::array<int, kNamedReferences + 1> MakeKeySizes() {
    std::array<int, kNamedReferences + 1> sizes{};
    std::string_view list(HTMLKeys);
    size_t at = 1;
    for (int n = 1; n <= kNamedReferences; ++n) {
        size_t end = list.find(',', at);
        sizes[n] = int(end - at);
        at = end + 1;
    }
    return sizes;
}

constexpr std::array<unsigned char, kNamedReferences> MakeChars() {
    std::array<unsigned char, kNamedReferences> chars{};
    for (int n = 0; n < kNamedReferences; ++n)
        chars[n] = static_cast<unsigned char>(kFirstReferenceCode + n);
    return chars;
}

constexpr auto kKeySizes = MakeKeySizes();
constexpr auto kChars = MakeChars();
static_assert(kKeySizes[1] == 5 && kKeySizes[kNamedReferences] == 5, "nbsp; ... yuml;");

// The tags that shape a file: everything else outside head and body is
// passed over.
constexpr char kFileTags[] = ",html,head,body,/html,";
enum FileTag { FileTagNone = 0, FileTagHtml, FileTagHead, FileTagBody, FileTagEndHtml };

constexpr char kAnchorAttributes[] = ",name,href,";
enum AnchorAttribute { AttrNone = 0, AttrName, AttrHref };

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Split a tag's text in place: leading white space skipped, the name up to
// the next white space (cut there), the rest the attribute text.
void SplitTag(char *text, char **name, char **attributes) {
    while (IsSpace(*text))
        ++text;
    *name = text;
    while (*text != '\0' && !IsSpace(*text))
        ++text;
    if (*text != '\0') *text++ = '\0';
    *attributes = text;
}

// Character of a named reference whose name (with ";") is len bytes at name,
// or 0 when it is not one of HTMLKeys (exact case).
unsigned char NamedReference(const char *name, int len) {
    for (int i = 0; i < len - 1; ++i)
        if (!isalnum(static_cast<unsigned char>(name[i]))) return 0;
    char key[kReferenceLookAhead + 1];
    memcpy(key, name, size_t(len));
    key[len] = '\0';
    int n = FindToken(key, HTMLKeys);
    return n > 0 ? HTMLChars[n - 1] : 0;
}

// Build the anchor of an "a" tag from its attribute text, cutting the text
// in place into words. Keeps its own cursor: no shared tokenizer state.
HtmlAnchor *MakeAnchor(char *text) {
    auto *anchor = static_cast<HtmlAnchor *>(GetMem(sizeof(HtmlAnchor)));
    if (anchor == nullptr) SysError("%s", OutOfMem);
    char *p = text;
    while (p != nullptr && *p != '\0') {
        while (IsSpace(*p))
            ++p;
        char *word = p;
        while (*p != '\0' && !IsSpace(*p))
            ++p;
        if (*p != '\0') *p++ = '\0';
        char *equals = strchr(word, '=');
        if (equals == nullptr) continue;
        *equals = '\0';
        char *value = equals + 1;
        if (*value == '"') ++value;
        if (char *quote = strchr(value, '"')) *quote = '\0';
        switch (HtmlFindKey(word, kAnchorAttributes)) {
        case AttrName:
            anchor->pTarget = value;
            anchor->nType = AnchorTarget;
            break;
        case AttrHref:
            anchor->pTarget = value;
            anchor->nType = AnchorLink;
            break;
        default:
            break;
        }
    }
    return anchor;
}

// The collected run of text inside ParseHtml: characters are written back
// over the file's text from the run's start, never ahead of the input.
struct TextRun {
    char *pStart = nullptr; // null while no run is open
    char *pOut = nullptr;
    bool flLastSpace = false;

    void Put(char *at, char c) {
        if (pStart == nullptr) pStart = pOut = at;
        *pOut++ = c;
        flLastSpace = IsSpace(c);
    }
    void Close(List *list) {
        if (pStart == nullptr) return;
        *pOut = '\0';
        AddAtribute(list, nullptr, pStart);
        pStart = nullptr;
    }
};

// The character reference at in, which starts with "&": the bytes it takes
// (0 when it is none known here) and its character in ch ('\0' for one that
// is dropped). "&#" and decimal digits give the code modulo 256; the
// reference ends at its ";", and one that is missing before the next tag
// does not swallow the text after it. "&quot;" (any case) is the double
// quote; a name of HTMLKeys with its ";" within the next 15 characters the
// character of that name.
int CharacterReference(const char *in, char *ch) {
    if (in[1] == '#') {
        const char *p = in + 2;
        unsigned code = 0;
        while (*p >= '0' && *p <= '9')
            code = (code * 10 + unsigned(*p++ - '0')) % 256;
        const char *semicolon = p + strcspn(p, ";<");
        if (*semicolon == ';') p = semicolon + 1;
        *ch = static_cast<char>(code); // code 0 would cut the run: dropped
        return int(p - in);
    }
    if (strncasecmp(in + 1, "quot;", 5) == 0) {
        *ch = '"';
        return 6;
    }
    int len = 0;
    for (int i = 1; i <= kReferenceLookAhead && in[i] != '\0'; ++i) {
        if (in[i] == ';') {
            len = i;
            break;
        }
    }
    unsigned char named = len > 1 ? NamedReference(in + 1, len) : 0;
    *ch = static_cast<char>(named);
    return named != 0 ? len + 1 : 0;
}

// An "&" at in: a reference adds its character to the run; any other "&"
// is ordinary text inside a run and dropped at its start.
void TakeReference(TextRun &run, char *&in) {
    char ch = '\0';
    if (int len = CharacterReference(in, &ch)) {
        if (ch != '\0') run.Put(in, ch);
        in += len;
        return;
    }
    if (run.pStart != nullptr) run.Put(in, '&');
    ++in;
}

// The tag at in (its "<"): it becomes an item of list and in moves past its
// ">". false when it closes the list ("/" + endTag, any case; in is then
// past it) or has no ">" (an unclosed tag ends the text: in at its end).
bool TakeTag(List *list, char *&in, const char *endTag) {
    char *close = strchr(in + 1, '>');
    if (close == nullptr) {
        in += strlen(in);
        return false;
    }
    *close = '\0';
    char *name;
    char *attributes;
    SplitTag(in + 1, &name, &attributes);
    in = close + 1;
    if (name[0] == '/' && endTag != nullptr && strcasecmp(name + 1, endTag) == 0) return false;
    AddAtribute(list, name, attributes);
    return true;
}

// Read a help file whole into a new block (the registry owns it). None for
// a missing, unreadable or empty file. Short of memory the program ends, as
// the layout does: a help page comes out whole or not at all.
char *ReadHelpFile(const char *path) {
    long long failures = nMapFailures;
    char *text = GetSavedFileContent(path, nullptr);
    if (text == nullptr && nMapFailures != failures) {
        errno = ENOMEM;
        SysError("%s", OutOfMem);
    }
    return text;
}

void FreePage(HtmlPage *page) {
    for (List *list : {&page->Head, &page->Body}) {
        for (auto *item = static_cast<HtmlItem *>(ListWalk(list, 0)); item != nullptr;
             item = static_cast<HtmlItem *>(ListWalk(list, 1)))
            HtmlFreeItemData(item);
        ListDelAllItems(list);
    }
    ListDelAllItems(&page->Links);
    PutMem(page->pImage);
}

void FreeFile(HtmlFile *file) {
    for (auto *page = static_cast<HtmlPage *>(ListWalk(&file->Pages, 0)); page != nullptr;
         page = static_cast<HtmlPage *>(ListWalk(&file->Pages, 1)))
        FreePage(page);
    ListDelAllItems(&file->Pages);
    PutMem(file->pContent);
    PutMem(file->pName);
    PutMem(file);
}

// A new block holding the first len bytes of text.
char *CopyPart(std::string_view text) {
    auto *copy = static_cast<char *>(GetMem(text.size() > 0 ? text.size() : 1));
    if (copy == nullptr) SysError("%s", OutOfMem);
    memcpy(copy, text.data(), text.size());
    return copy;
}

// Split the file's text into pages (steps of loading that follow the read).
void ParsePages(HtmlFile *file) {
    int htmlTags = 0;
    while (char *tag = GetKeyWord(file)) {
        char *name;
        char *attributes;
        SplitTag(tag, &name, &attributes);
        switch (HtmlFindKey(name, kFileTags)) {
        case FileTagHtml: {
            if (strstr(attributes, "SkipPage") != nullptr) {
                // The section up to its closing tag is left out.
                if (char *end = StrCaseStr(file->pCursor, "/HTML")) {
                    char *close = strchr(end, '>');
                    file->pCursor = close ? close + 1 : end + strlen(end);
                }
                break;
            }
            ++htmlTags;
            char *pageName = StrCaseStr(attributes, "page=\"");
            if (htmlTags != 1 && pageName == nullptr) break;
            auto *page =
                static_cast<HtmlPage *>(ListPushItem(&file->Pages, nullptr, sizeof(HtmlPage)));
            if (page == nullptr) SysError("%s", OutOfMem);
            pCurrentPage = page;
            if (pageName != nullptr) {
                page->pName = pageName + strlen("page=\"");
                if (char *quote = strchr(page->pName, '"')) *quote = '\0';
            }
            break;
        }
        case FileTagHead:
            if (pCurrentPage != nullptr && pCurrentPage->Head.nCount == 0)
                ParseHtml(file, &pCurrentPage->Head, "head");
            break;
        case FileTagBody:
            if (pCurrentPage != nullptr) ParseHtml(file, &pCurrentPage->Body, "body");
            break;
        default:
            break;
        }
    }
}

// The file takes the next slot of the registry, and each of its pages is
// laid out in turn.
void RegisterFile(HtmlFile *file) {
    aFile[FileIndex] = file;
    CurrentFile = FileIndex++;
    for (auto *page = static_cast<HtmlPage *>(ListWalk(&file->Pages, 0)); page != nullptr;
         page = static_cast<HtmlPage *>(ListWalk(&file->Pages, 1))) {
        pCurrentPage = page;
        PrintTextImage(file);
    }
}

// The file's first page becomes current, then its target when one is named.
void OpenAtTarget(HtmlFile *file, const char *target) {
    pCurrentPage = HtmlFirstPage(file);
    if (*target != '\0') GoToTarget(target);
}

} // namespace

constinit const std::array<int, 97> HTMLKeySizes = kKeySizes;
constinit const std::array<unsigned char, 96> HTMLChars = kChars;

int HtmlFindKey(const char *name, const char *list) {
    if (name == nullptr || *name == '\0' || list == nullptr || *list == '\0') return 0;
    const char separator = list[0];
    if (strchr(name, separator) != nullptr) return 0;
    // Every element of every page is looked up, several times while tables
    // are measured: entries of another length are passed over unread.
    const size_t length = strlen(name);
    int position = 1;
    for (const char *entry = list + 1; *entry != '\0'; ++position) {
        const char *end = strchr(entry, separator);
        size_t entryLength = end != nullptr ? size_t(end - entry) : strlen(entry);
        if (entryLength == length && strncasecmp(entry, name, length) == 0) return position;
        if (end == nullptr) break;
        entry = end + 1;
    }
    return 0;
}

HtmlPage *HtmlFirstPage(HtmlFile *file) {
    return file != nullptr ? static_cast<HtmlPage *>(ListFindItemN(&file->Pages, 1)) : nullptr;
}

HtmlFile *FindHtmlFile(const char *name) {
    if (name == nullptr) return nullptr;
    for (int i = 0; i < FileIndex; ++i) {
        if (aFile[i] != nullptr && strcmp(aFile[i]->pName, name) == 0) {
            CurrentFile = i;
            return aFile[i];
        }
    }
    return nullptr;
}

char *GetKeyWord(HtmlFile *file) {
    if (file == nullptr || file->pCursor == nullptr) return nullptr;
    char *open = strchr(file->pCursor, '<');
    if (open == nullptr) return nullptr;
    char *close = strchr(open + 1, '>');
    if (close == nullptr) return nullptr;
    *open = '\0';
    *close = '\0';
    file->pCursor = close + 1;
    return open + 1;
}

HtmlItem *AddAtribute(List *list, char *tag, char *text) {
    auto *item = static_cast<HtmlItem *>(ListPushItem(list, nullptr, sizeof(HtmlItem)));
    if (item == nullptr) SysError("%s", OutOfMem);
    item->pTag = tag;
    item->pValue = text;
    item->nLen = StrLen(text);
    if (tag != nullptr && strcasecmp(tag, "a") == 0) item->pAnchor = MakeAnchor(text);
    return item;
}

void ParseHtml(HtmlFile *file, List *list, const char *endTag) {
    if (file == nullptr || file->pCursor == nullptr || list == nullptr) return;
    char *in = file->pCursor;
    TextRun run;
    while (*in != '\0') {
        char c = *in;
        if (IsSpace(c)) {
            // Only the first of a row of white space survives, and only inside a run.
            if (run.pStart != nullptr && !run.flLastSpace) run.Put(in, c);
            ++in;
        } else if (c == '<') {
            run.Close(list);
            if (!TakeTag(list, in, endTag)) break;
        } else if (c == '&') {
            TakeReference(run, in);
        } else {
            run.Put(in, c);
            ++in;
        }
    }
    // A run still open at the end of the text is not kept.
    file->pCursor = in;
}

HtmlFile *ParseHtmlFile(const char *name, const char *text) {
    if (name == nullptr) return nullptr;
    if (strncasecmp(name, "http://", 7) == 0) return nullptr;
    if (strncasecmp(name, "file://", 7) == 0) name += 7;
    std::string_view whole(name);
    size_t hash = whole.find('#');
    std::string_view target = hash == std::string_view::npos ? "" : whole.substr(hash + 1);
    ScopedMem fileName(CopyPart(whole.substr(0, hash)));
    ScopedMem targetName(CopyPart(target));

    HtmlFile *file = FindHtmlFile(fileName.get());
    if (file != nullptr && file->Pages.nCount > 0) {
        // Already loaded: not read again; a target is followed as for a
        // file loaded just now.
        fileName.reset();
        OpenAtTarget(file, targetName.get());
        return file;
    }

    char *content = nullptr;
    if (FileIndex < HtmlMaxFiles)
        content = text != nullptr ? SaveStr_(text) : ReadHelpFile(fileName.get());
    if (content == nullptr) return nullptr;
    file = static_cast<HtmlFile *>(GetMem(sizeof(HtmlFile)));
    if (file == nullptr) SysError("%s", OutOfMem);
    file->pName = fileName.release();
    file->pContent = content;
    file->pCursor = content;

    // Pages of this file only: the page shown so far must not collect them.
    HtmlPage *shown = pCurrentPage;
    pCurrentPage = nullptr;
    ParsePages(file);
    if (file->Pages.nCount == 0) {
        FreeFile(file);
        pCurrentPage = shown;
        return nullptr;
    }
    RegisterFile(file);
    OpenAtTarget(file, targetName.get());
    return file;
}

void HtmlFreeAll() {
    for (int i = 0; i < FileIndex; ++i) {
        if (aFile[i] != nullptr) FreeFile(aFile[i]);
        aFile[i] = nullptr;
    }
    FileIndex = 0;
    CurrentFile = 0;
    pCurrentPage = nullptr;
    HistoryI = 0;
    TargetPos = 0;
    flBuildingFile = 0;
}
