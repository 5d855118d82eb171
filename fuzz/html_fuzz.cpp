// Fuzz target: load arbitrary text as a help file, which lays out every
// page, then lay every page out again from its parsed elements (measured
// tables are reused) and check that every anchor lies inside its page text.
// Links are followed only within the file, so the target never reads disk.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size); // stops at a NUL
    HtmlFile *file = ParseHtmlFile("fuzz.html", text.c_str());
    if (file != nullptr) {
        for (ListLink *link = file->Pages.pFirst; link != nullptr; link = link->pNext) {
            pCurrentPage = static_cast<HtmlPage *>(link->pData);
            CheckPage(pCurrentPage);
            BuildTextImage(file);
            PrintTextImage(file);
            CheckPage(pCurrentPage);
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
    HtmlFreeAll();
    return 0;
}
