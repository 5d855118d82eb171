// Fuzz target: the ps -e and pkginfo listing parsers. The first line of the
// input is the program name looked for, the rest the listing.
#include "SysCmd.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *begin = reinterpret_cast<const char *>(data);
    const char *newline = static_cast<const char *>(memchr(begin, '\n', size));
    if (newline == nullptr) return 0;
    std::string name(begin, newline);
    std::vector<char> listing(newline + 1, begin + size);
    if (listing.empty()) return 0;
    FILE *stream = fmemopen(listing.data(), listing.size(), "r");
    if (stream == nullptr) return 0;
    CmdResponse *response = ReadResponseList(stream, name.c_str());
    fclose(stream);

    // A small buffer makes the bounds matter; the guard bytes must survive.
    char out[40];
    memset(out, 0x5a, sizeof out);
    out[0] = '\0';
    ParsePsResponse(response, name.c_str(), out, 32);
    for (size_t k = 32; k < sizeof out; ++k)
        if (out[k] != 0x5a) __builtin_trap();
    if (strnlen(out, 32) == 32) __builtin_trap();

    out[0] = '\0';
    ParsePkgResponse(response, out, 32);
    if (strnlen(out, 32) == 32) __builtin_trap();
    FreeResponseList(response);
    return 0;
}
