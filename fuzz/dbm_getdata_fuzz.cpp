// Reads arbitrary bytes as a record file with GetData, and copies them with
// PurgeRecord: every record accepted must fit the record layout and its
// buffer, and nothing may be read past the bytes given.
#include "Dbm.h"
#include "MemMgr.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    std::vector<char> input(data, data + size);
    std::vector<char> record(DbRecBufSize);

    FILE *in = fmemopen(input.data(), input.size(), "rb");
    if (in == nullptr) return 0;
    while (GetData(in, record.data())) {
        uint16_t len, keyLen;
        memcpy(&len, record.data(), 2);
        memcpy(&keyLen, record.data() + 2, 2);
        if (len == 0 || len > DbMaxPayload) abort();
        if (keyLen < 1 || keyLen > len - 2) abort();
        if (record[4 + keyLen - 1] != '\0') abort();
    }
    fclose(in);

    in = fmemopen(input.data(), input.size(), "rb");
    char *copied = nullptr;
    size_t copiedSize = 0;
    FILE *out = open_memstream(&copied, &copiedSize);
    if (in != nullptr && out != nullptr) {
        PurgeRecord("fuzz", in, out, "a", 1);
        fflush(out);
        if (copiedSize > size) abort(); // a copy never grows
    }
    if (in != nullptr) fclose(in);
    if (out != nullptr) fclose(out);
    free(copied);
    return 0;
}
