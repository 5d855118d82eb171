// helpview: the terminal help viewer on a help file, for authors and users.
//
//   helpview FILE[#TARGET]   the help menu on the file (or on the page or
//                            target named after "#"): the page's text, its
//                            links as numbered entries, e Exit Help,
//                            c Contents, b Back; FILE may be a redirect name
//                            (name$$key.redirect) of the printer help store
//   helpview --dump FILE     every page's laid-out text, pages separated by
//                            a form feed, without a terminal dialogue
//
// Exit status: 0; 1 when the file cannot be read or holds no page (and, as
// in every menu, when standard input ends inside the help menu); 2 for a
// usage error. The fixed labels come from the core string store beside the
// program (db/<language>/CoreString.udb).
#include "Dbm.h"
#include "HelpTty.h"
#include "MemMgr.h"
#include "TextMenu.h"
#include "html.h"
#include "utils.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage() {
    fprintf(stderr, "usage: %s FILE[#TARGET]\n       %s --dump FILE\n", my_name, my_name);
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

// The help menu on the file until the user leaves it.
int View(const char *argument) {
    // The help viewer may replace a redirect name by its text: a buffer of
    // the size it may fill.
    char name[HelpNameSize];
    int n = snprintf(name, sizeof name, "%s", argument);
    if (n < 0 || size_t(n) >= sizeof name) {
        fprintf(stderr, "%s: the name is longer than %zu characters\n", my_name, sizeof name - 1);
        return 2;
    }
    char *title = SaveStr_(StripPath(argument));
    TtyHtmlHelp(name, nullptr, title);
    PutMem(title);
    int status = FileIndex > 0 ? 0 : 1; // nothing loaded: reported by the viewer
    TtyHelpFreeAll();
    HtmlFreeAll();
    fflush(stdout);
    return status;
}

} // namespace

int main(int argc, char **argv) {
    my_name = "helpview";
    pToolPath = GetToolPath(argv[0]);
    pfnTtyHtmlHelp = TtyHtmlHelp;
    if (argc == 3 && strcmp(argv[1], "--dump") == 0) return Dump(argv[2]);
    if (argc == 2 && argv[1][0] != '-') return View(argv[1]);
    return Usage();
}
