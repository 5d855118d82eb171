// SysCmd: parsers of the listings the system queries read, kept apart from
// the commands so that they can be tested and fuzzed on any text.
//
// Words are runs of characters other than blank, tab and line feed. Every
// append into the caller's buffer is bounded and leaves it terminated.
#include "SysCmd.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace {

constexpr std::string_view WordDelimiters = " \t\n";
constexpr size_t NumberSize = 128; // a number word longer than this is not a number

// The n-th word (from 1) of text; empty when there are fewer.
std::string_view WordN(std::string_view text, int n) {
    size_t at = 0;
    for (int k = 1;; ++k) {
        at = text.find_first_not_of(WordDelimiters, at);
        if (at == std::string_view::npos) return {};
        size_t end = text.find_first_of(WordDelimiters, at);
        if (end == std::string_view::npos) end = text.size();
        if (k == n) return text.substr(at, end - at);
        at = end;
    }
}

bool IsDecimal(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word)
        if (c < '0' || c > '9') return false;
    return true;
}

// Append " <word>" when it fits whole.
bool AppendWord(char *out, size_t size, size_t &len, std::string_view word) {
    if (len + 1 + word.size() + 1 > size) return false;
    out[len++] = ' ';
    memcpy(out + len, word.data(), word.size());
    len += word.size();
    out[len] = '\0';
    return true;
}

double ToNumber(std::string_view word) {
    char number[NumberSize];
    size_t n = word.size() < sizeof number ? word.size() : sizeof number - 1;
    memcpy(number, word.data(), n);
    number[n] = '\0';
    return strtod(number, nullptr);
}

} // namespace

int ParsePsResponse(const CmdResponse *response, const char *name, char *out, size_t size) {
    if (out == nullptr || size == 0) return 0;
    size_t len = strlen(out) < size ? strlen(out) : size - 1;
    out[len] = '\0';
    if (name == nullptr) return 0;
    int count = 0;
    for (const CmdResponse *r = response; r != nullptr; r = r->next) {
        // PID first, command fourth; only the whole command word counts, and
        // a line whose first word is no process id (the header) never does.
        std::string_view line(r->text);
        if (WordN(line, 4) != name) continue;
        std::string_view id = WordN(line, 1);
        if (!IsDecimal(id)) continue;
        if (!AppendWord(out, size, len, id)) break;
        ++count;
    }
    return count;
}

int ParseDfResponse(const CmdResponse *response, DiskSpace *space) {
    if (space == nullptr) return 0;
    space->avail = 0;
    space->line[0] = '\0'; // defined even when there is no data line
    if (response == nullptr) return 0;

    std::string_view header(response->text);
    int column = 0;
    for (int k = 1;; ++k) {
        std::string_view word = WordN(header, k);
        if (word.empty()) return 0;
        if (word.size() >= 5 && strncasecmp(word.data(), "avail", 5) == 0) {
            column = k;
            break;
        }
    }

    const CmdResponse *data = response->next;
    if (data == nullptr) return 1; // a header alone: found, nothing available
    snprintf(space->line, sizeof space->line, "%s", data->text);
    std::string_view word = WordN(space->line, column);
    if (word.empty()) return 0;
    space->avail = ToNumber(word);
    return 1;
}

double ParseDuResponse(const CmdResponse *response) {
    if (response == nullptr) return 0;
    return strtod(response->text, nullptr);
}

int ParsePkgResponse(const CmdResponse *response, char *out, size_t size) {
    if (out == nullptr || size == 0) return 0;
    size_t len = strlen(out) < size ? strlen(out) : size - 1;
    out[len] = '\0';
    int count = 0;
    for (const CmdResponse *r = response; r != nullptr; r = r->next) {
        std::string_view instance = WordN(r->text, 2);
        if (instance.empty()) continue;
        if (!AppendWord(out, size, len, instance)) break;
        ++count;
    }
    return count;
}
