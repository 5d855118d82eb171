// TextBuilder: a command line or file name built in a fixed buffer, private
// to the foundation layer (SysCmd's command lines and utils' edits; its code is
// in SysCmd_quote.cpp).
//
// Appends never write past the buffer. Once something did not fit, the text
// is marked cut and keeps what fitted: a cut command line or name must be
// refused, never run or opened, since a cut "rm -rf /opt/Corla/vqmm" could
// name a different file.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string_view>

// How many shells read a quoted argument before the command sees it.
enum ShellLayers : int {
    OneShell = 1,  // popen, system, SysCmd with index 0 or 1
    TwoShells = 2, // inside the runner's sh -c "..." wrapper
};

struct TextBuilder {
    char *pBuf;   // the caller's buffer, always terminated
    size_t nSize; // its size in bytes
    size_t nLen;  // characters kept
    bool flCut;   // something did not fit

    TextBuilder(char *buf, size_t size) : pBuf(buf), nSize(size), nLen(0), flCut(false) {
        if (nSize > 0) pBuf[0] = '\0';
    }

    void Add(std::string_view text);
    [[gnu::format(printf, 2, 3)]] void Addf(const char *format, ...);
    [[gnu::format(printf, 2, 0)]] void AddV(const char *format, va_list args);
    // arg as one shell word read through layers shells (see ShellQuote).
    void AddQuoted(std::string_view arg, int layers);

    bool Fits() const { return !flCut; }
    const char *Text() const { return pBuf; }
};
