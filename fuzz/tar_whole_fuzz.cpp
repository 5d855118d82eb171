// Fuzz target: the whole-archive check of the installer, on any bytes an
// unpacked distribution archive could hold.
#include "Archive.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A copy of exactly size bytes: a read past the end is the sanitizer's.
    std::vector<unsigned char> archive(data, data + size);
    int whole = TarArchiveWhole(archive.data(), archive.size());
    if (whole != 0 && whole != 1) __builtin_trap();
    // Whole needs at least the end-of-archive block.
    if (whole && size < 512) __builtin_trap();
    return 0;
}
