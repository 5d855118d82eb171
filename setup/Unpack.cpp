// Unpack: cat of the pieces, uncompress, the wholeness check, tar.
#include "Unpack.h"

#include "Archive.h"
#include "Catalogue.h"
#include "ListFile.h"
#include "MemMgr.h"
#include "Outcome.h"
#include "SetupGlobals.h"
#include "SetupIo.h"
#include "SysCmd.h"
#include "Words.h"
#include "utils.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// The joined archive lacks a part: said on standard error and in the log,
// and the run ends with status 1 before anything is unpacked. The work area
// is removed, as after any failure.
[[noreturn]] void ArchiveIncomplete(const char *archive) {
    char text[PATH_MAX + 512];
    NlsSetupFormat(text, sizeof text, NlsArchiveIncomplete, "%s", archive);
    PutLogMsg("ERROR: %s\n", text);
    MarkRunFailed();
    ErrorMsg(ErrFatal, 1, "%s", text);
    exit(1); // not reached: ErrorMsg ends the run at this level
}

} // namespace

void genZFile() {
    ChangeDirectory(pCorlaInstallDir);
    GetDisksData(pCorlaInstallDir);
    char list[LineBufSize];
    memcpy(list, LineBuf, sizeof list);

    ScopedMem archiveName(SaveStr("%s.tar.Z", ArchiveBaseName));
    ScopedMem archive(JoinSetupPath(pCorlaInstallDir, archiveName.get()));
    QuotedArg target(-CmdCat, archive.get());
    const char *cursor = list;
    char word[LineBufSize];
    bool cut = false;
    while (NextWord(&cursor, ListDelimiters, word, sizeof word, &cut) != nullptr &&
           strcmp(word, ListEnd) != 0) {
        // Pieces the list names but the work area lacks are passed over.
        if (!IsArchivePiece(word) || !FindFile(pCorlaInstallDir, word)) continue;
        ScopedMem piece(JoinSetupPath(pCorlaInstallDir, word));
        QuotedArg source(-CmdCat, piece.get());
        // Unshown: the shell's own ">>" must receive the data.
        SysCmd(-CmdCat, CmdFatal, "%s >> %s", source.text, target.text);
    }
}

void UnpackArchive() {
    genZFile();
    ScopedMem tarName(SaveStr("%s.tar", ArchiveBaseName));
    ScopedMem tar(JoinSetupPath(pCorlaInstallDir, tarName.get()));
    ScopedMem compressed(SaveStr("%s.Z", tar.get()));
    {
        QuotedArg archive(CmdUncompress, compressed.get());
        SysCmd(CmdUncompress, CmdFatal, "%s", archive.text);
    }
    // uncompress and tar take a cut archive for a shorter one; nothing may
    // be unpacked, let alone installed, from it.
    if (!TarFileWhole(tar.get())) ArchiveIncomplete(compressed.get());
    ChangeDirectory(pCorlaInstallDir);
    {
        QuotedArg archive(CmdTarX, tar.get());
        SysCmd(CmdTarX, CmdFatal, "%s", archive.text);
    }
    DeleteFile(pCorlaInstallDir, tarName.get());
}
