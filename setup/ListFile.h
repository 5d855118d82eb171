// ListFile: the distribution's list file ("disks", else "DISKS"), read
// into LineBuf, which keeps it until the next read there.
//
// It names files of the distribution directory, separated by blanks, tabs
// and line ends, up to the word "end_of_list"; it must name itself and
// every archive piece ("pkg_tar.*").
#pragma once

#include <string_view>

// The word that ends the list, and what separates the names.
inline constexpr const char *ListEnd = "end_of_list";
inline constexpr const char *ListDelimiters = " \t\r\n";

// Read the list file of dir into LineBuf; read from "DISKS", every letter
// before "end_of_list" is upper-cased. Ends the run with the list-file
// message (entry 21) and status 1 when neither is a regular file that can
// be read (a named pipe counts as missing) or the list does not fit LineBuf.
void GetDisksData(const char *dir);

// 1 when a listed name is a piece of the archive: it begins with
// "pkg_tar." or "PKG_TAR.".
bool IsArchivePiece(std::string_view word);
