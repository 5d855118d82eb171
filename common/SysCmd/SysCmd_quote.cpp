// SysCmd: shell quoting of arguments, and the bounded command-line text.
//
// Every command line goes through /bin/sh once (system, popen); table
// commands of the runner go through a second shell inside sh -c "...". A path
// is data, so it must reach the command as one word whatever it holds: an
// ordinary path is left as it is (the command lines stay as they always
// were), anything else goes into single quotes, and inside the runner's
// double quotes the characters that the outer shell still interprets there
// (\ " $ `) get one more backslash.
#include "SysCmd.h"

#include "MemMgr.h"
#include "TextBuilder.h"
#include "utils.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsWordChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && strchr("_./+,:@%=-", c) != nullptr;
}

bool IsWord(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsWordChar(c)) return false;
    return true;
}

bool NeedsOuterEscape(char c) {
    return c == '\\' || c == '"' || c == '$' || c == '`';
}

// Worst case of AddQuoted: each "'" becomes '\'' and, for two shells, its
// backslash is doubled: 5 characters; plus the two quotes.
size_t QuotedBound(size_t len) {
    return 5 * len + 3;
}

char *SaveQuoted(const char *arg, int layers) {
    if (arg == nullptr) return nullptr;
    size_t size = QuotedBound(strlen(arg)) + 1;
    auto *text = static_cast<char *>(GetMem(size));
    if (text == nullptr) SysError("%s", OutOfMem);
    TextBuilder quoted(text, size);
    quoted.AddQuoted(arg, layers);
    return text;
}

} // namespace

void TextBuilder::Add(std::string_view text) {
    if (nSize == 0) {
        flCut = flCut || !text.empty();
        return;
    }
    size_t room = nSize - 1 - nLen;
    size_t n = text.size() <= room ? text.size() : room;
    memcpy(pBuf + nLen, text.data(), n);
    nLen += n;
    pBuf[nLen] = '\0';
    if (n < text.size()) flCut = true;
}

void TextBuilder::Addf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    AddV(format, args);
    va_end(args);
}

void TextBuilder::AddV(const char *format, va_list args) {
    if (nSize == 0) {
        flCut = true;
        return;
    }
    size_t room = nSize - nLen;
    int n = vsnprintf(pBuf + nLen, room, format, args);
    if (n < 0) {
        pBuf[nLen] = '\0';
        flCut = true;
        return;
    }
    if (size_t(n) >= room) {
        nLen = nSize - 1;
        flCut = true;
        return;
    }
    nLen += size_t(n);
}

void TextBuilder::AddQuoted(std::string_view arg, int layers) {
    if (IsWord(arg)) {
        Add(arg);
        return;
    }
    auto put = [&](char c) {
        char pair[2] = {'\\', c};
        if (layers >= TwoShells && NeedsOuterEscape(c))
            Add(std::string_view(pair, 2));
        else
            Add(std::string_view(&c, 1));
    };
    put('\'');
    for (char c : arg) {
        if (c != '\'') {
            put(c);
            continue;
        }
        // Close the quotes, an escaped quote, open again.
        put('\'');
        put('\\');
        put('\'');
        put('\'');
    }
    put('\'');
}

int IsShellWord(const char *text) {
    return text != nullptr && IsWord(text);
}

char *ShellQuote(const char *arg) {
    return SaveQuoted(arg, OneShell);
}

char *SysCmdQuote(int index, const char *arg) {
    bool tableCommand = index >= 2 || index <= -2;
    return SaveQuoted(arg, tableCommand ? TwoShells : OneShell);
}

QuotedArg::QuotedArg(const char *arg) : text(ShellQuote(arg)) {}

QuotedArg::QuotedArg(int index, const char *arg) : text(SysCmdQuote(index, arg)) {}

QuotedArg::~QuotedArg() {
    PutMem(text);
}
