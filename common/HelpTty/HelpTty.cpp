// HelpTty: the terminal help menu, its items, and redirect names.
#include "HelpTty.h"

#include "MemMgr.h"
#include "NlsUtils.h"
#include "html.h"
#include "utils.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

static_assert((TMF_STAY | TMF_REINIT | TMF_KIND_BEFORE | TMF_COMPACT) == 0x01C1,
              "the help menu's flag word");

namespace {

constexpr int ExitLabelIndex = 150; // 20/150 Exit Help, 20/151 Contents, 20/152 Back
constexpr int FixedLabels = 3;
constexpr const char *FixedLabelTexts[FixedLabels] = {"~e Exit Help", "~c Contents", "~b Back"};
constexpr int FirstFixedLabelItem = 2; // Exit Help is the third common item
constexpr char ProductName[] = "Corla";
constexpr char RedirectMark[] = "$$";
constexpr char RedirectSuffix[] = ".redirect";
constexpr size_t RedirectSuffixLength = sizeof RedirectSuffix - 1; // 9
constexpr char EnglishPrtHelp[] = "en_US/PrtHelp";

// The name given to a page without one when its items are built, so that
// "#contents" reaches it. Outside the block memory manager: page names are
// never released.
char ContentsName[] = "contents";

char *FixedLabelCopies[FixedLabels]; // the labels shown on the common items
char *CallerTitle = nullptr;         // the title TtyHtmlHelp was given (cut at 127)
char *ShownTitle = nullptr;          // HelpMenu.pTitle
bool flPrtHelpTried = false;         // the printer help store was looked for

// The fixed labels of the help menu: "~x rest", where x is the entry's key.
// It must not be a digit (digits choose the link entries) nor a blank.
bool UsableKeyLabel(const char *label) {
    if (label == nullptr || label[0] != '~') return false;
    unsigned char key = static_cast<unsigned char>(label[1]);
    return isgraph(key) && !isdigit(key);
}

// Text group/index of the core string store into buffer (NlsFetchBufSize
// bytes); null when the store has no such text.
const char *FetchCoreText(int group, int index, char *buffer) {
    const char *text = NlsFetchString(NlsGetCoreDB(), buffer, NlsByIndex, group, index);
    if (text == nullptr || text == pNlsFallback) return nullptr;
    char key[32];
    snprintf(key, sizeof key, "%d_%d", group, index);
    return strcmp(text, key) == 0 ? nullptr : text;
}

// Fetch the labels of Exit Help, Contents and Back again (a translation may
// have been chosen since) and take each item's key from its label. The
// stored labels are used together or not at all: a menu must not mix
// languages, nor offer two entries on one key.
void RefreshFixedLabels() {
    char buffers[FixedLabels][NlsFetchBufSize];
    const char *labels[FixedLabels];
    bool stored = true;
    for (int k = 0; k < FixedLabels; ++k) {
        labels[k] = FetchCoreText(HelpLabelGroup, ExitLabelIndex + k, buffers[k]);
        stored = stored && UsableKeyLabel(labels[k]);
    }
    for (int k = 0; stored && k < FixedLabels; ++k)
        for (int j = 0; j < k; ++j)
            if (tolower(static_cast<unsigned char>(labels[k][1])) ==
                tolower(static_cast<unsigned char>(labels[j][1])))
                stored = false;
    for (int k = 0; k < FixedLabels; ++k) {
        PutMem(FixedLabelCopies[k]);
        FixedLabelCopies[k] =
            SaveStr("%.*s", HelpLabelMax, stored ? labels[k] : FixedLabelTexts[k]);
        TextMenuItem &item = HelpCommonItems[FirstFixedLabelItem + k];
        item.pText = FixedLabelCopies[k];
        item.nKey = static_cast<unsigned char>(FixedLabelCopies[k][1]);
    }
}

// The catalogue title 30/22 with the product name; the caller's title when
// the catalogue has no usable one.
void RefreshTitle() {
    char title[HelpLabelMax + 1];
    const char *shown = title;
    if (!Nlssnprintf(title, sizeof title, NlsGetCoreDB(), HelpTitleGroup, HelpTitleIndex, "%s Help",
                     ProductName)) {
        if (CallerTitle != nullptr)
            shown = CallerTitle;
        else
            snprintf(title, sizeof title, "%s Help", ProductName);
    }
    char *copy = SaveStr_(shown);
    PutMem(ShownTitle);
    ShownTitle = copy;
    HelpMenu.pTitle = ShownTitle;
}

// Release the labels of the link entries (the fixed items' labels and the
// page text are not the entries') and clear every slot.
void ReleaseEntries() {
    if (HelpMenuItems == nullptr) return;
    for (int i = 0; i < HelpMenuItemCnt && HelpMenuItems[i].pText != nullptr; ++i)
        if (HelpMenuItems[i].pfnAction == TtyHelpGotoLink)
            PutMem(const_cast<char *>(HelpMenuItems[i].pText));
    memset(static_cast<void *>(HelpMenuItems), 0, sizeof(TextMenuItem) * size_t(HelpMenuItemCnt));
}

// The label of an anchor's entry: its text as printed, without the "<" and
// ">" around a link, at most 127 characters, line ends and tabs as blanks.
// A leading "~" is left out: the engine would take it for a hot-key mark.
// Null when the anchor shows no text.
char *EntryLabel(const HtmlPage *page, const HtmlAnchor *anchor) {
    if (page->pImage == nullptr) return nullptr;
    int64_t total = int64_t(strlen(page->pImage));
    int64_t start = anchor->nStart;
    int64_t length = anchor->nWidth;
    if (anchor->nType == AnchorLink) {
        start += 1;
        length -= 2;
    }
    if (start < 0 || start > total) return nullptr;
    length = std::clamp<int64_t>(length, 0, std::min<int64_t>(HelpLabelMax, total - start));
    const char *text = page->pImage + start;
    while (length > 0 && *text == '~') {
        ++text;
        --length;
    }
    if (length == 0) return nullptr;
    char *label = SaveStr("%.*s", int(length), text);
    for (char *p = label; *p != '\0'; ++p)
        if (*p == '\n' || *p == '\r' || *p == '\t') *p = ' ';
    return label;
}

// Whether an anchor is offered as an entry: it has a target, and a named
// target is not the page itself.
bool LeadsSomewhere(const HtmlPage *page, const HtmlAnchor *anchor) {
    if (anchor->pTarget == nullptr || anchor->nWidth == 0) return false;
    return !(anchor->nType == AnchorTarget && page->pName != nullptr &&
             strcmp(anchor->pTarget, page->pName) == 0);
}

// Show the help text of a redirect link, whose name buffer CheckForRedirect
// has filled: the file registered under the key, or the text loaded under
// it. Like a link to another file, no history entry is made.
void OpenRedirect(const char *link, const char *text) {
    uint8_t saved = flBuildingFile;
    flBuildingFile = 1;
    if (HtmlFile *file = FindHtmlFile(RedirectKey))
        pCurrentPage = HtmlFirstPage(file);
    else if (ParseHtmlFile(RedirectKey, text) == nullptr)
        printf("Error in reading file %s\n", link);
    flBuildingFile = saved;
}

// Follow the anchor of an entry. A named target is reached in the current
// file (its name is no file to load); a redirect name shows the stored text;
// every other link is followed as the help pages' own links are.
void FollowAnchor(HtmlAnchor *anchor) {
    if (anchor == nullptr || anchor->pTarget == nullptr) return;
    if (anchor->nType == AnchorTarget) {
        GoToTarget(anchor->pTarget);
        return;
    }
    char name[HelpNameSize];
    int n = snprintf(name, sizeof name, "%s", anchor->pTarget);
    if (n >= 0 && size_t(n) < sizeof name && CheckForRedirect(name) != nullptr) {
        OpenRedirect(anchor->pTarget, name);
        return;
    }
    ProcessLink(anchor);
}

} // namespace

DbT *pPrtHelpDB = nullptr;
TextMenuItem *HelpMenuItems = nullptr;
int HelpMenuItemCnt = 0;
char RedirectKey[RedirectKeySize];

TextMenuItem HelpCommonItems[HelpCommonItemCount] = {
    {.pText = "", .nKind = TMI_GRID_ALL},
    {.pText = "", .nKind = TMI_GRID_ALL},
    {.pText = FixedLabelTexts[0], .nKind = TMI_EXIT, .nKey = 'e'},
    {.pText = FixedLabelTexts[1], .nKind = TMI_ACTION, .pfnAction = TtyHelpContents, .nKey = 'c'},
    {.pText = FixedLabelTexts[2], .nKind = TMI_ACTION, .pfnAction = TtyHelpBack, .nKey = 'b'},
    {},
};

TextMenu HelpMenu = {.nStyle = 1,
                     .pItems = HelpCommonItems,
                     .nFlags = TMF_STAY | TMF_REINIT | TMF_KIND_BEFORE | TMF_COMPACT};

int TtyHelpReserveItems(size_t count) {
    if (count <= size_t(HelpMenuItemCnt)) return 1;
    if (count > size_t(INT32_MAX) / sizeof(TextMenuItem)) return 0;
    void *grown = AdjustMem(HelpMenuItems, count * sizeof(TextMenuItem));
    if (grown == nullptr) return 0; // the old array stays as it was
    auto *items = static_cast<TextMenuItem *>(grown);
    memset(static_cast<void *>(items + HelpMenuItemCnt), 0,
           sizeof(TextMenuItem) * (count - size_t(HelpMenuItemCnt)));
    HelpMenuItems = items;
    HelpMenuItemCnt = int(count);
    HelpMenu.pItems = HelpMenuItems;
    return 1;
}

void TtyHelpBuildMenuItems() {
    HtmlPage *page = pCurrentPage;
    int links = page != nullptr ? std::max(page->Links.nCount, 0) : 0;
    TtyHelpReserveItems(size_t(links) + HelpExtraItems);
    ReleaseEntries();
    RefreshFixedLabels();
    RefreshTitle();
    if (HelpMenuItems == nullptr || HelpMenuItemCnt < HelpExtraItems) {
        HelpMenu.pItems = HelpCommonItems; // no room even for the page: the fixed entries
        return;
    }

    TextMenuItem *items = HelpMenuItems;
    items[0] = TextMenuItem{.pText = "", .nKind = TMI_TEXT};
    int n = 1;
    if (page != nullptr) {
        if (page->pImage != nullptr) items[0].pText = page->pImage;
        if (page->pName == nullptr) page->pName = ContentsName;
        const int room = HelpMenuItemCnt - HelpCommonItemCount; // entries that fit after item 0
        for (ListLink *link = page->Links.pFirst; link != nullptr && n < room; link = link->pNext) {
            HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
            if (!LeadsSomewhere(page, anchor)) continue;
            char *label = EntryLabel(page, anchor);
            if (label == nullptr) continue;
            items[n] = TextMenuItem{.pText = label,
                                    .nKind = TMI_ACTION,
                                    .nHidden = TMH_SHOWN,
                                    .pfnAction = TtyHelpGotoLink,
                                    .pUserData = anchor,
                                    .nKey = n};
            ++n;
        }
    }
    for (int k = 0; k < HelpCommonItemCount; ++k)
        items[n + k] = HelpCommonItems[k];
    HelpMenu.pItems = items;
}

int TtyHelpGotoLink(TextMenu *, TextMenuItem *item) {
    // The item lives in the array that is rebuilt: take the anchor first.
    auto *anchor = item != nullptr ? static_cast<HtmlAnchor *>(item->pUserData) : nullptr;
    FollowAnchor(anchor);
    TtyHelpBuildMenuItems();
    return 1;
}

int TtyHelpContents(TextMenu *, TextMenuItem *) {
    if (!HtmlSetHistory(0)) return 1;
    TtyHelpBuildMenuItems();
    return 0;
}

int TtyHelpBack(TextMenu *, TextMenuItem *) {
    if (!HtmlSetHistory(-1)) return 1;
    TtyHelpBuildMenuItems();
    return 0;
}

char *FindRedirect(char *name) {
    if (name == nullptr) return nullptr;
    char *mark = strstr(name, RedirectMark);
    if (mark == nullptr) return nullptr;
    char *key = mark + strlen(RedirectMark);
    char *dot = strchr(key, '.');
    if (dot == nullptr || strncasecmp(dot, RedirectSuffix, RedirectSuffixLength) != 0)
        return nullptr;
    *dot = '\0';
    return key;
}

DbT *TtyHelpPrtHelpDB() {
    if (pPrtHelpDB != nullptr || flPrtHelpTried) return pPrtHelpDB;
    flPrtHelpTried = true;
    // An English store that is missing is reported by NlsOpenDB and gives
    // none; another language without a store of its own gets the English one.
    DbT *db = NlsOpenDB(PrtHelpStoreName, DbTKeepLoaded);
    if (db != nullptr && db->nDbType == DbTypeNew) {
        DbTClose(db);
        db = DbTOpen(EnglishPrtHelp, DbTKeepLoaded);
    }
    pPrtHelpDB = db;
    return pPrtHelpDB;
}

char *CheckForRedirect(char *name) {
    char *key = FindRedirect(name);
    if (key == nullptr) return nullptr;
    snprintf(RedirectKey, sizeof RedirectKey, "%s", key);
    char text[NlsFetchBufSize];
    const char *stored = nullptr;
    if (DbT *db = TtyHelpPrtHelpDB()) {
        // A missing text yields the key itself.
        const char *fetched = NlsFetchString(db, text, NlsByKey, RedirectKey);
        if (fetched != nullptr && fetched != pNlsFallback) stored = fetched;
    }
    snprintf(name, HelpNameSize, "%s", stored != nullptr ? stored : RedirectKey);
    return RedirectKey;
}

void TtyHtmlHelp(char *name, char *data, char *title) {
    if (name == nullptr || title == nullptr) return;
    const char *fileName = name;
    const char *text = data;
    if (char *key = CheckForRedirect(name)) {
        fileName = key;
        text = name;
    }
    if (!HtmlHelp(fileName, text)) return;
    char *copy = SaveStr("%.*s", HelpLabelMax, title);
    PutMem(CallerTitle);
    CallerTitle = copy;
    HelpMenu.pTitle = CallerTitle;
    TtyHelpBuildMenuItems();
    RunMenu(&HelpMenu, nullptr, 1);
}

void TtyHelpFreeAll() {
    ReleaseEntries();
    PutMem(HelpMenuItems);
    HelpMenuItems = nullptr;
    HelpMenuItemCnt = 0;
    for (int k = 0; k < FixedLabels; ++k) {
        PutMem(FixedLabelCopies[k]);
        FixedLabelCopies[k] = nullptr;
        TextMenuItem &item = HelpCommonItems[FirstFixedLabelItem + k];
        item.pText = FixedLabelTexts[k];
        item.nKey = static_cast<unsigned char>(FixedLabelTexts[k][1]);
    }
    PutMem(CallerTitle);
    CallerTitle = nullptr;
    PutMem(ShownTitle);
    ShownTitle = nullptr;
    HelpMenu.pTitle = nullptr;
    HelpMenu.pItems = HelpCommonItems;
    DbTClose(pPrtHelpDB);
    pPrtHelpDB = nullptr;
    flPrtHelpTried = false;
    RedirectKey[0] = '\0';
}
