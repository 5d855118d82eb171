// Archive: whether the distribution's tar archive arrived whole.
//
// A piece cut short, or a piece left out of the list, gives a compressed
// stream that uncompress may still accept, and a tar archive that tar may
// unpack in part without a word. The archive is whole when every member's
// header (by its checksum) and data are there, followed by the end-of-archive
// block, as tar writes it (ustar, and the older and GNU headers alike).
#pragma once

#include <cstddef>

// 1 when data (size bytes) is a whole tar archive: a run of members, each a
// 512-byte header with a valid checksum and its data rounded up to 512
// bytes, ended by a block of zeros. Anything after that block is not looked
// at.
int TarArchiveWhole(const unsigned char *data, size_t size);

// The same for the file at path; 0 when it cannot be read.
int TarFileWhole(const char *path);
