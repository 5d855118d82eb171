// Fuzz target: the df -b listing parser, on any text a df could print.
#include "SysCmd.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    std::vector<char> text(data, data + size);
    FILE *stream = fmemopen(text.data(), text.size(), "r");
    if (stream == nullptr) return 0;
    CmdResponse *response = ReadResponseList(stream, nullptr);
    fclose(stream);

    DiskSpace space;
    memset(&space, 0x5a, sizeof space);
    int found = ParseDfResponse(response, &space);
    if (found && strnlen(space.line, sizeof space.line) == sizeof space.line) __builtin_trap();
    if (!found && response == nullptr && space.avail != 0) __builtin_trap();
    ParseDuResponse(response);
    FreeResponseList(response);
    return 0;
}
