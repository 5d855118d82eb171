// Fuzz target: entry validation with an arbitrary format and entry. The
// input up to its first line feed is the format, the rest the entry (each
// ending at its first NUL). Notices go to /dev/null and their waits read the
// end of input at once.
#include "Dbm.h"
#include "TextMenu.h"
#include "utils.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void Setup() {
    static bool done = false;
    if (done) return;
    done = true;
    if (freopen("/dev/null", "r", stdin) == nullptr) __builtin_trap();
    if (freopen("/dev/null", "w", stdout) == nullptr) __builtin_trap();
    // The fuzz build's string stores lie beside the program.
    static char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        pToolPath = SaveStr_(StripFn(exe));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Setup();
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t cut = input.find('\n');
    std::string format = input.substr(0, cut);
    std::string entry = cut == std::string::npos ? "" : input.substr(cut + 1);
    format = format.c_str();
    entry = entry.c_str();

    int result = ValidateEntry(entry.c_str(), format.c_str());
    if (result < VE_OK || result > VE_FORBIDDEN) __builtin_trap();
    // The same text as a length range for the digit-string family.
    int min = 0;
    int max = getMinMax(format.c_str(), &min);
    if (min < 0 || max < 0) __builtin_trap();
    int tty = ValidateEntryTty(entry.c_str(), format.c_str());
    if (tty != VE_OK && tty != VE_LENGTH && tty != VE_CHARACTER) __builtin_trap();
    if (const char *message = ValidateEntryLen(entry.c_str(), format.c_str());
        message != nullptr && strnlen(message, NlsBufSize) >= NlsBufSize)
        __builtin_trap();
    return 0;
}
