// Dbm_format: what the record files and the cached store share — the
// scrambling, the 16-bit length words, the store paths and the safe
// replacement of a store file. Internal to the Dbm sources; the formats
// themselves are described at the top of Dbm_format.cpp.
#pragma once

#include "Dbm.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dbm {

// Chained XOR over a run of n bytes (in place when out == in).
void Scramble(char *out, const char *in, size_t n);
void Unscramble(char *out, const char *in, size_t n);
// The first n plain bytes of a scrambled run of total bytes (n <= total),
// without restoring the rest.
void UnscramblePrefix(char *out, const char *in, size_t n, size_t total);

bool HostIsBigEndian();

// A 16-bit length word at p, byte-swapped when swap is set. Inline: the walk
// reads two of them for every record it passes.
inline uint16_t Load16(const char *p, bool swap) {
    uint16_t value;
    memcpy(&value, p, sizeof value);
    return swap ? uint16_t(value >> 8 | value << 8) : value;
}

inline void Store16(char *p, uint16_t value, bool swap) {
    if (swap) value = uint16_t(value >> 8 | value << 8);
    memcpy(p, &value, sizeof value);
}

// "<tool path>/db/<name>.<extension>" as a new text.
char *NamedPath(const char *name, const char *extension);
// Make the directory that holds path when it is missing (its parents as
// mkdir -p does; the directory itself gets mode 777). 1 when it exists.
int MakeStoreDir(const char *path);

// Open path as a replacement file: created when missing (mode 666), never
// through a link, exclusively locked, and emptied only once the lock is held
// on the file that path still names. The descriptor, or -1.
int OpenReplacement(const char *path);
// Flush the written replacement to disk and rename it over target, still
// holding the lock. 1 on success; the descriptor stays open either way.
int CommitReplacement(int fd, const char *path, const char *target);
// After a failed write or commit: remove the replacement at path while its
// lock is still held (only when path still names the file fd holds), so
// that no partial store is left beside the store. The descriptor stays open.
void DropReplacement(int fd, const char *path);

// Sleep between two attempts to read a store.
void RetryPause();

// A new element of a record chain: one block holding keyLen key bytes and
// dataLen data bytes (pRecData points behind the key), for the caller to
// fill. None when memory runs out.
DbLink *NewDbLink(size_t keyLen, size_t dataLen);

} // namespace dbm
