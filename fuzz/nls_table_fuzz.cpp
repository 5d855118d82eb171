// Arbitrary text as a translation table and as a fetched format. The table
// is normalised within its bound and searched for a LANG value taken from
// the input; a format that NlsCheckFormat accepts for a string and an int
// must print safely with exactly those.
#include "MemMgr.h"
#include "NlsUtils.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

char ToolDir[64];

void RemoveTool() {
    std::string file = std::string(ToolDir) + "/trans.conf";
    unlink(file.c_str());
    rmdir(ToolDir);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (ToolDir[0] == '\0') {
        snprintf(ToolDir, sizeof ToolDir, "/dev/shm/nls_fuzz.XXXXXX");
        if (mkdtemp(ToolDir) == nullptr) {
            snprintf(ToolDir, sizeof ToolDir, "/tmp/nls_fuzz.XXXXXX");
            if (mkdtemp(ToolDir) == nullptr) abort();
        }
        atexit(RemoveTool);
        pToolPath = ToolDir;
    }
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t cut = text.find('\n');
    std::string lang = cut == std::string::npos ? text : text.substr(0, cut);
    lang = lang.c_str(); // an environment value ends at its first NUL

    std::string format = text.c_str();
    if (NlsCheckFormat(format.c_str(), "%s %d")) {
        char out[256];
        // That a format NlsCheckFormat passed is safe to print is what this checks.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        snprintf(out, sizeof out, format.c_str(), "text", 42);
#pragma GCC diagnostic pop
    }

    FILE *file = fopen((std::string(ToolDir) + "/trans.conf").c_str(), "wb");
    if (file == nullptr) return 0;
    fwrite(data, 1, size, file);
    fclose(file);
    char *table = ParseTransFile("trans.conf");
    if (table != nullptr && strlen(table) >= NlsTransTableSize) abort();
    PutMem(table);

    setenv("LANG", lang.c_str(), 1);
    NlsReset();
    char *chosen = GetDesiredNLSLang();
    if (chosen == nullptr || chosen[0] == '\0') abort();
    NlsReset();
    return 0;
}
