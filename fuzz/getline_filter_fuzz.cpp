// Fuzz target: GetLine and its comment filter. The first byte chooses the
// filter; the rest is the input file.
#include "utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    flInputFilterState = data[0] & 1;
    std::vector<char> text(data + 1, data + size);
    pIn = fmemopen(text.data(), text.size(), "r");
    if (pIn == nullptr) return 0;
    // Every call consumes at least one physical line, so the input ends.
    for (size_t calls = 0; GetLine() != 0; ++calls) {
        if (calls > text.size()) __builtin_trap();
        if (strnlen(Line, LineSize) == LineSize) __builtin_trap();
        if (flInputFilterState && (strchr(Line, '\n') || Line[0] == ' ' || Line[0] == '\t'))
            __builtin_trap();
    }
    fclose(pIn);
    pIn = nullptr;
    return 0;
}
