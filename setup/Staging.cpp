// Staging: the list's files copied into the work area.
#include "Staging.h"

#include "Catalogue.h"
#include "Install.h"
#include "ListFile.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SysCmd.h"
#include "Words.h"
#include "WorkArea.h"
#include "utils.h"

#include <cstring>

namespace {

// Copy one listed file of the distribution into the work area.
void StageFile(const char *workArea, const char *name) {
    ScopedMem source(JoinSetupPath(pPathToSetup, name));
    QuotedArg from(CmdCp, source.get());
    QuotedArg to(CmdCp, workArea);
    SysCmd(CmdCp, CmdFatal, "%s %s", from.text, to.text);
}

// Copy every file the list of the distribution names. Line by line; a word
// "end_of_list" ends its line, a line that is exactly "end_of_list" the
// list.
void StageListedFiles(const char *workArea) {
    GetDisksData(pPathToSetup);
    char list[LineBufSize];
    memcpy(list, LineBuf, sizeof list);
    for (char *line = list; *line != '\0';) {
        size_t len = strcspn(line, "\r\n");
        char *next = line + len;
        if (*next != '\0') *next++ = '\0';
        if (len > 0 && strcmp(line, ListEnd) == 0) break;
        const char *cursor = line;
        char word[LineBufSize];
        bool cut = false;
        while (NextWord(&cursor, ListDelimiters, word, sizeof word, &cut) != nullptr &&
               strcmp(word, ListEnd) != 0)
            StageFile(workArea, word);
        line = next;
    }
}

} // namespace

int installFromSite(const char *workArea) {
    SetStep(NlsStepStaging);
    MakeFreshWorkArea(workArea);
    StageListedFiles(workArea);
    Install();
    return 0;
}
