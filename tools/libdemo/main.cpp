// libdemo: a short tour of the support library's foundation — formatted
// texts, the shared tokenizer, delimited lists, sorting, linked lists and the
// block memory manager's own view of what is allocated.
#include "List.h"
#include "MemMgr.h"
#include "utils.h"

#include <cstdio>
#include <initializer_list>

namespace {

void Section(const char *title) {
    printf("\n== %s\n", title);
}

int CountBlocks() {
    int n = 0;
    for (MemBlock *b = pMemB; b != nullptr; b = b->pNext)
        ++n;
    return n;
}

} // namespace

int main(int, char **argv) {
    my_name = StripPath(argv[0]);

    Section("formatted texts (SaveStr)");
    char *path = SaveStr("%s/%s", "/opt/Corla", "vqmm");
    printf("SaveStr(\"%%s/%%s\", \"/opt/Corla\", \"vqmm\") = \"%s\" (%d characters)\n", path,
           StrLen(path));
    printf("StripFn = \"%s\", StripPath = \"%s\"\n", StripFn(path), StripPath(path));

    Section("the shared tokenizer (GetToken)");
    const char *search = "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp";
    printf("tokens of %s:\n", search);
    for (char *t = GetToken(search, ":"); t != nullptr; t = GetToken(nullptr, ":"))
        printf("  %s\n", t);
    printf("GetTokenCount = %d, GetTokenN(.., 3) = %s\n", GetTokenCount(search, ":"),
           GetTokenN(search, ":", 3));
    const char *escaped = "a\\,b,c";
    printf("GetToken on %s with \",\": \"%s\" then ", escaped, GetToken(escaped, ","));
    printf("\"%s\"\n", GetToken(nullptr, ","));

    Section("delimited lists (FindToken, SortTokens)");
    const char *answers = ",y,yes,n,no,";
    printf("FindToken(\"yes\", \"%s\") = %d\n", answers, FindToken("yes", answers));
    printf("FindToken(\"YES\", ...) = %d, FindTokenC = %d\n", FindToken("YES", answers),
           FindTokenC("YES", answers));
    char *programs = SaveStr_(",pmqadmin,csf,plimto,PMQ,pmadmin,");
    printf("SortTokens(%s) = ", programs);
    printf("%s\n", SortTokens(programs, ',', 0));

    Section("linked lists (List)");
    List *queues = ListCreate();
    for (const char *name : {"draft", "letter", "legal"})
        ListPushItem(queues, name, StrLen(name) + 1);
    printf("%d queues:", queues->nCount);
    for (void *q = ListWalk(queues, 0); q != nullptr; q = ListWalk(queues, 1))
        printf(" %s", static_cast<char *>(q));
    printf("\nposition of the second item: %d\n", ListGetItemPos(queues, ListFindItemN(queues, 2)));

    Section("block memory manager");
    void *big = GetMem(100000);
    printf("live blocks: %d (one ordinary, one dedicated for a 100000-byte area)\n", CountBlocks());
    char why[128];
    printf("consistency check: %s\n", MemCheck(why, sizeof why) ? "ok" : why);
    PutMem(big);
    ListDel(queues);
    PutMem(programs);
    PutMem(path);
    printf("after releasing everything: %d blocks mapped\n", CountBlocks());
    return 0;
}
