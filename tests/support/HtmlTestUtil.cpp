#include "HtmlTestUtil.h"

namespace htmltest {

HtmlFile *Load(const std::string &text, const std::string &name) {
    static int serial = 0;
    std::string fileName = name.empty() ? "page" + std::to_string(++serial) + ".html" : name;
    return ParseHtmlFile(fileName.c_str(), text.c_str());
}

HtmlPage *Page(HtmlFile *file, int n) {
    return file != nullptr ? static_cast<HtmlPage *>(ListFindItemN(&file->Pages, n)) : nullptr;
}

std::string Text(HtmlFile *file, int n) {
    HtmlPage *page = Page(file, n);
    return page != nullptr && page->pImage != nullptr ? std::string(page->pImage) : std::string();
}

std::string Body(const std::string &body) {
    return Text(Load("<html><body>" + body + "</body></html>"));
}

HtmlAnchor *LinkAt(HtmlPage *page, int n) {
    if (page == nullptr) return nullptr;
    auto **slot = static_cast<HtmlAnchor **>(ListFindItemN(&page->Links, n));
    return slot != nullptr ? *slot : nullptr;
}

std::string Items(List *list) {
    std::string out;
    for (ListLink *link = list->pFirst; link != nullptr; link = link->pNext) {
        auto *item = static_cast<HtmlItem *>(link->pData);
        if (item->pTag == nullptr) {
            out += "[" + std::string(item->pValue) + "]";
        } else if (HtmlIsMeasuredTable(item) || item->pTag[0] == 'a' || item->pTag[0] == 'A') {
            out += "<" + std::string(item->pTag) + ">";
        } else {
            out += "<" + std::string(item->pTag);
            if (item->nLen > 0) out += " " + std::string(item->pValue);
            out += ">";
        }
    }
    return out;
}

} // namespace htmltest
