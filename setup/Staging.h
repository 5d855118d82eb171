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

// The first directory on the way from "/" to the absolute path dir that a
// user other than root and the operator could change (one they own, or one
// that group or others may write to without the sticky bit), or a link on
// that way that such a user owns, as a new text; none when every directory
// down to dir is closed to them. Links are followed; a part of the way that
// does not exist yet ends the check.
char *UnsafeDirectoryOnPath(const char *dir);

// Refuse a work area whose parent another user could change (they could
// swap the work area for their own between two commands): catalogue entry
// 71 naming the work area and that directory, "\n\n", status 2.
void RefuseUnsafeWorkArea(const char *workArea);
// The same for the part of the way to the parent that exists, before the
// missing rest is created.
void RefuseUnsafeWorkAreaBase(const char *workArea, const char *existingBase);

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
