// Drives the tokenizer family over arbitrary text and delimiters: the first
// input byte chooses how many following bytes are delimiters, the rest is the
// text. Every token must fit its buffer and no scan may read past the text.
#include "MemMgr.h"
#include "utils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    size_t nDelims = data[0] % 5;
    if (nDelims + 1 > size) return 0;
    std::string delimiters(reinterpret_cast<const char *>(data + 1), nDelims);
    delimiters = delimiters.c_str(); // a delimiter set ends at its first NUL
    std::string text(reinterpret_cast<const char *>(data + 1 + nDelims), size - 1 - nDelims);
    text = text.c_str();

    int count = 0;
    for (char *t = GetToken(text.c_str(), delimiters.c_str()); t;
         t = GetToken(nullptr, delimiters.c_str())) {
        if (strlen(t) >= TokenBufSize) abort();
        ++count;
    }
    if (GetTokenCount(text.c_str(), delimiters.c_str()) != count) abort();
    for (char *t = GetToken(text.c_str(), delimiters.c_str()); t;
         t = GetToken(pTokenEol, delimiters.c_str())) {
    }

    const char *cursor = nullptr;
    char out[TokenBufSize];
    int countD = 0;
    for (char *t = GetTokenD(text.c_str(), delimiters.c_str(), &cursor, out); t;
         t = GetTokenD(nullptr, delimiters.c_str(), &cursor, out))
        ++countD;
    if (countD != count) abort();

    char *copy = SaveStr_(text.c_str());
    for (char *t = GetTokenParse(copy, delimiters.c_str()); t;
         t = GetTokenParse(nullptr, delimiters.c_str())) {
    }
    PutMem(copy);

    copy = SaveStr_(text.c_str());
    char *words[8];
    int n = ParseStr(copy, delimiters.c_str(), words, 8);
    for (int k = 0; k < n; ++k)
        if (words[k] == nullptr) abort();
    PutMem(copy);

    if (!delimiters.empty()) {
        StrChr(text.c_str(), delimiters[0]);
        StrNChr(text.c_str(), delimiters[0], 2);
        StrNStr(text.c_str(), delimiters.c_str(), 3);
        StrCaseStr(text.c_str(), delimiters.c_str());
    }
    StripFn(text.c_str());
    StripPath(text.c_str());
    StripPathExt(text.c_str());
    StripExt(text.c_str());
    StripPathName(text.c_str());
    copy = SaveStr_(text.c_str());
    StripAllBackslashes(copy);
    StripNonPrint(copy, 0);
    PutMem(copy);
    return 0;
}
