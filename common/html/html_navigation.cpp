// html: moving between pages, targets and files, with a history for going
// back.
#include "html.h"

#include "MemMgr.h"
#include "html_private.h"
#include "utils.h"

#include <cstdio>
#include <cstring>
#include <string_view>

HtmlHistoryEntry History[HtmlMaxHistory];
int HistoryI = 0;
int TargetPos = 0;
uint8_t flBuildingFile = 0;

namespace {

HtmlFile *ShownFile() {
    if (CurrentFile < 0 || CurrentFile >= FileIndex) return nullptr;
    return aFile[CurrentFile];
}

// Set flBuildingFile for the life of one operation.
struct BuildingFile {
    uint8_t flSaved = flBuildingFile;
    BuildingFile() { flBuildingFile = 1; }
    ~BuildingFile() { flBuildingFile = flSaved; }
    BuildingFile(const BuildingFile &) = delete;
    BuildingFile &operator=(const BuildingFile &) = delete;
};

// A relative link names a file beside the file that holds it: "b.html"
// followed in help/a.html is help/b.html, wherever the program runs. The
// name with the shown file's directory in front; none for an absolute or
// remote link, or when the shown file's name has no directory.
char *BesideShownFile(const char *link) {
    HtmlFile *shown = ShownFile();
    if (shown == nullptr || link[0] == '/' || strstr(link, "://") != nullptr) return nullptr;
    const char *slash = strrchr(shown->pName, '/');
    if (slash == nullptr) return nullptr;
    return SaveStr("%.*s%s", int(slash - shown->pName + 1), shown->pName, link);
}

} // namespace

int HtmlHelp(const char *name, const char *text) {
    if (name == nullptr) return 0;
    HistoryI = 0;
    TargetPos = 0;
    flBuildingFile = 1;
    HtmlFile *file = ParseHtmlFile(name, text);
    // Cleared on failure too: a flag left set would stop every later link.
    flBuildingFile = 0;
    if (file != nullptr) return 1;
    if (text == nullptr)
        printf("Error in reading HTML file %s\n", name);
    else
        printf("Error reading HTML buffer\n");
    return 0;
}

void SetHistory() {
    if (HistoryI >= HtmlMaxHistory) return;
    History[HistoryI++] = HtmlHistoryEntry{CurrentFile, pCurrentPage, TargetPos};
}

void GoToTarget(const char *target) {
    if (target == nullptr) return;
    if (*target == '#') ++target;
    HtmlFile *file = ShownFile();
    if (file == nullptr || *target == '\0') return;
    for (ListLink *pageLink = file->Pages.pFirst; pageLink != nullptr; pageLink = pageLink->pNext) {
        auto *page = static_cast<HtmlPage *>(pageLink->pData);
        if (page->pName != nullptr && strcmp(page->pName, target) == 0) {
            TargetPos = 0;
            SetHistory();
            pCurrentPage = page;
            return;
        }
        for (ListLink *link = page->Links.pFirst; link != nullptr; link = link->pNext) {
            HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
            if (anchor->nType != AnchorTarget || anchor->pTarget == nullptr) continue;
            if (strcmp(anchor->pTarget, target) != 0) continue;
            SetHistory();
            TargetPos = anchor->nStart;
            pCurrentPage = page;
            return;
        }
    }
}

void ProcessLink(HtmlAnchor *anchor) {
    if (anchor == nullptr || anchor->pTarget == nullptr) return;
    BuildingFile building;
    const char *link = anchor->pTarget;
    if (*link == '#') {
        GoToTarget(link);
        return;
    }
    // "name#target" whose name begins the shown file's own name (without
    // its directories) stays in this file. The file part is compared over
    // its own length, so a name without its extension matches too.
    std::string_view whole(link);
    size_t hash = whole.rfind('#');
    HtmlFile *shown = ShownFile();
    if (hash != std::string_view::npos && shown != nullptr) {
        const char *base = StripPath(shown->pName);
        if (strncmp(link, base, hash) == 0) {
            GoToTarget(link + hash + 1);
            return;
        }
    }
    if (HtmlFile *file = FindHtmlFile(link)) {
        pCurrentPage = HtmlFirstPage(file);
        return;
    }
    if (char *beside = BesideShownFile(link)) {
        HtmlFile *file = ParseHtmlFile(beside, nullptr); // a registered one is not read again
        PutMem(beside);
        if (file != nullptr) return;
    }
    if (ParseHtmlFile(link, nullptr) == nullptr) printf("Error in reading file %s\n", link);
}

void HtmlProcessLink(int position) {
    if (flBuildingFile || FileIndex == 0 || pCurrentPage == nullptr) return;
    for (ListLink *link = pCurrentPage->Links.pFirst; link != nullptr; link = link->pNext) {
        HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
        if (anchor->nType != AnchorLink) continue;
        if (anchor->nStart <= position && anchor->nEnd > position) {
            TargetPos = position;
            ProcessLink(anchor);
            return;
        }
    }
}

int HtmlSetHistory(int mode) {
    if (HistoryI <= 0) return 0;
    if (mode == 0) {
        HistoryI = 0;
        if (FileIndex > 0) {
            CurrentFile = 0;
            pCurrentPage = HtmlFirstPage(aFile[0]);
        }
    } else if (mode == -1) {
        const HtmlHistoryEntry &entry = History[--HistoryI];
        CurrentFile = entry.nFile;
        pCurrentPage = entry.pPage;
    }
    return 1;
}
