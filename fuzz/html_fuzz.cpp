// Fuzz target: load arbitrary text as a help file, which lays out every
// page, then lay every page out again from its parsed elements (measured
// tables are reused) and check that every anchor lies inside its page text,
// and build the help menu of every page and check its entries. Links are
// followed only within the file, so the target never reads disk (the menu's
// fixed texts come from an empty store).
#include "HelpTty.h"
#include "NlsUtils.h"
#include "html.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

void CheckPage(const HtmlPage *page) {
    if (page->pImage == nullptr || !page->flTextReady) __builtin_trap();
    const int length = int(strlen(page->pImage));
    if (page->nLines < 0) __builtin_trap();
    for (ListLink *link = page->Links.pFirst; link != nullptr; link = link->pNext) {
        const HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
        if (anchor->nWidth < 0 || anchor->nStart < 0 || anchor->nStart > anchor->nEnd ||
            anchor->nEnd > length)
            __builtin_trap();
    }
}

// The help menu of the current page: entries numbered from 1 with labels of
// at most 127 characters on one line, then the fixed tail, inside the array.
void CheckMenu() {
    TtyHelpBuildMenuItems();
    const TextMenuItem *items = HelpMenu.pItems;
    int n = 0;
    while (items[n].pText != nullptr) {
        const TextMenuItem &item = items[n];
        if (item.pfnAction == TtyHelpGotoLink) {
            size_t length = strlen(item.pText);
            if (item.nKey != n || length == 0 || length > size_t(HelpLabelMax) ||
                strchr(item.pText, '\n') != nullptr || item.pText[0] == '~')
                __builtin_trap();
        }
        ++n;
        if (items == HelpMenuItems && n >= HelpMenuItemCnt) __builtin_trap();
    }
    if (n < HelpCommonItemCount - 1 || items[n - 1].pfnAction != TtyHelpBack) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size); // stops at a NUL
    if (pDrvCoreDB == nullptr) pDrvCoreDB = DbTOpen("/nonexistent/fuzz/CoreString", DbTKeepLoaded);
    HtmlFile *file = ParseHtmlFile("fuzz.html", text.c_str());
    if (file != nullptr) {
        for (ListLink *link = file->Pages.pFirst; link != nullptr; link = link->pNext) {
            pCurrentPage = static_cast<HtmlPage *>(link->pData);
            CheckPage(pCurrentPage);
            BuildTextImage(file);
            PrintTextImage(file);
            CheckPage(pCurrentPage);
            CheckMenu();
        }
        pCurrentPage = static_cast<HtmlPage *>(file->Pages.pFirst->pData);
        for (ListLink *link = pCurrentPage->Links.pFirst; link != nullptr; link = link->pNext) {
            const HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
            if (anchor->pTarget != nullptr && anchor->pTarget[0] == '#')
                GoToTarget(anchor->pTarget);
        }
        while (HtmlSetHistory(-1) != 0) {
        }
    }
    TtyHelpFreeAll();
    HtmlFreeAll();
    return 0;
}
