// FindToken, FindTokenC, FindTokenWithDelim and SortTokens on arbitrary
// lists: the input is "token NUL list". Sorting must keep the text's length
// and its multiset of bytes; the positions must agree with each other.
#include "MemMgr.h"
#include "utils.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t nul = input.find('\0');
    if (nul == std::string::npos) return 0;
    std::string token = input.substr(0, nul);
    std::string list = input.substr(nul + 1);
    list = list.c_str();

    int exact = FindToken(token.c_str(), list.c_str());
    int folded = FindTokenC(token.c_str(), list.c_str());
    int separators = list.empty() ? 0 : int(std::count(list.begin(), list.end(), list[0]));
    if (exact < 0 || exact > separators || folded < 0 || folded > separators) abort();
    if (exact != 0 && folded == 0 && token.find(list.empty() ? '\0' : list[0]) == std::string::npos)
        abort(); // an exact hit of a plain token is also a hit ignoring case
    if (!list.empty()) FindTokenWithDelim(list.c_str(), token.c_str(), list[0]);

    for (int ignoreCase = 0; ignoreCase < 2; ++ignoreCase) {
        char *copy = SaveStr_(list.c_str());
        char delimiter = list.empty() ? ',' : list[0];
        SortTokens(copy, delimiter, ignoreCase);
        std::string sorted(copy);
        PutMem(copy);
        std::string a = list, b = sorted;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        if (a != b) abort();
    }
    return 0;
}
