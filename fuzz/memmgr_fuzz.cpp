// Interprets the input as a program of GetMem/AdjustMem/PutMem steps on up to
// 16 live areas, checking contents and the manager's own consistency.
#include "MemMgr.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Slot {
    unsigned char *p;
    size_t size;
    unsigned char fill;
};

bool Intact(const Slot &s) {
    for (size_t k = 0; k < s.size; ++k)
        if (s.p[k] != s.fill) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Slot slots[16] = {};
    for (size_t at = 0; at + 3 <= size; at += 3) {
        Slot &s = slots[data[at] % 16];
        unsigned op = data[at] >> 6;
        size_t request = (size_t(data[at + 1]) << 8 | data[at + 2]) * (data[at] & 0x20 ? 3 : 1);
        if (s.p != nullptr && !Intact(s)) abort();
        if (op == 0 && s.p != nullptr) {
            PutMem(s.p);
            s = Slot{};
            continue;
        }
        if (s.p == nullptr) {
            s.p = static_cast<unsigned char *>(GetMem(request));
            s.size = s.p ? request : 0;
        } else {
            auto *p = static_cast<unsigned char *>(AdjustMem(s.p, request));
            if (request == 0) {
                s = Slot{};
                continue;
            }
            if (p == nullptr) abort();
            s.p = p;
            s.size = request;
        }
        s.fill = static_cast<unsigned char>(at | 1);
        if (s.p) memset(s.p, s.fill, s.size);
        char why[256];
        if (!MemCheck(why, sizeof why)) {
            fprintf(stderr, "%s\n", why);
            abort();
        }
    }
    for (Slot &s : slots)
        if (s.p != nullptr) PutMem(s.p);
    if (pMemB != nullptr) abort(); // everything released: no block may remain
    return 0;
}
