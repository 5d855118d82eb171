// helpview: preview help pages. "helpview --dump FILE" lays out every page
// of a help file and prints its text, pages separated by a form feed, so an
// author can check pages without a terminal dialogue.
#include "html.h"
#include "utils.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage() {
    fprintf(stderr, "usage: %s --dump FILE\n", my_name);
    fprintf(stderr, "%s: the interactive viewer (%s FILE[#TARGET]) is not available yet\n", my_name,
            my_name);
    return 2;
}

// Every page of the file, in order; a form feed before each page but the first.
int Dump(const char *name) {
    HtmlFile *file = ParseHtmlFile(name, nullptr);
    if (file == nullptr) {
        fprintf(stderr, "%s: cannot read help pages from %s\n", my_name, name);
        return 1;
    }
    bool first = true;
    for (ListLink *link = file->Pages.pFirst; link != nullptr; link = link->pNext) {
        auto *page = static_cast<HtmlPage *>(link->pData);
        if (!first) fputc('\f', stdout);
        first = false;
        if (page->pImage != nullptr) fputs(page->pImage, stdout);
    }
    HtmlFreeAll();
    return fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    my_name = "helpview";
    if (argc == 3 && strcmp(argv[1], "--dump") == 0) return Dump(argv[2]);
    return Usage();
}
