// Staging: the distribution's list file, the copy of every listed file into
// a fresh work area, and the joining of the archive pieces.
//
// The list file ("disks", else "DISKS") names files of the distribution
// directory, separated by blanks, tabs and line ends, up to the word
// "end_of_list"; it must name itself and every archive piece ("pkg_tar.*").
#pragma once

// Stage the distribution into workArea (made afresh, mode 755, by this
// run), then run the installation (Install). Always yields 0. A work area
// that is or holds the distribution directory, or one that cannot be made,
// ends the run with catalogue entry 3 and status 2 before anything is
// removed or copied.
int installFromSite(const char *workArea);

// Read the list file of dir into LineBuf; read from "DISKS", every letter
// before "end_of_list" is upper-cased. Ends the run with the list-file
// message (entry 21) and status 1 when neither is a regular file that can
// be read (a named pipe counts as missing) or the list does not fit LineBuf.
void GetDisksData(const char *dir);

// Join the listed pieces present in the work area, in the order of the
// list, into <work>/Solaris2.5Vqmm.tar.Z.
void genZFile();

// Name of the joined archive in the work area, without ".tar.Z".
inline constexpr const char *ArchiveBaseName = "Solaris2.5Vqmm";
