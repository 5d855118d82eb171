// ListFile: reading the list and telling its archive pieces.
#include "ListFile.h"

#include "Catalogue.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace {

// Entry 21 as the library's error report, status 1.
[[noreturn]] void ListFileMissing() {
    char text[256];
    NlsSetupFormat(text, sizeof text, NlsListFileMissing, "%s", CompanyDir);
    MarkRunFailed();
    ErrorMsg(ErrFatal, 1, "%s", text);
    exit(1); // not reached: ErrorMsg ends the run at this level
}

} // namespace

void GetDisksData(const char *dir) {
    const char *name = "disks";
    off_t size = 0;
    if (!ReadRegularFile(dir, name, &size)) {
        name = "DISKS";
        if (!ReadRegularFile(dir, name, &size)) ListFileMissing();
    }
    // A list cut at the end of the buffer could name half a file.
    if (size > off_t(LineBufSize - 1)) ListFileMissing();

    if (name[0] == 'D') {
        // A medium that shows its names in capitals: the names before the
        // terminator are upper-cased (the terminator stays as it is).
        char *end = strstr(LineBuf, ListEnd);
        for (char *p = LineBuf; *p != '\0' && p != end; ++p)
            if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    }
}

bool IsArchivePiece(std::string_view word) {
    return word.starts_with("pkg_tar.") || word.starts_with("PKG_TAR.");
}
