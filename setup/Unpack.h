// Unpack: the archive pieces staged in the work area joined into
// <work>/Solaris2.5Vqmm.tar.Z, checked, and unpacked there.
#pragma once

// Name of the joined archive in the work area, without ".tar.Z".
inline constexpr const char *ArchiveBaseName = "Solaris2.5Vqmm";

// Join the listed pieces present in the work area, in the order of the
// list read again from the work area (ListFile.h), into
// <work>/Solaris2.5Vqmm.tar.Z.
void genZFile();

// genZFile, then uncompress the joined archive and unpack it into the work
// area (tar), and remove the tar file. A command that fails ends the run
// (the runner's fatal mode); a tar archive that is not whole (Archive.h: a
// piece cut short or missing from the list) ends it with entry 72 on
// standard error and in the log and status 1, before anything is unpacked.
void UnpackArchive();
