// ScopedFile: owns a stream for the duration of one library operation, so
// that every return closes it (for the support library's own use, not part of
// its interface).
#pragma once

#include <cstdio>

struct ScopedFile {
    FILE *f = nullptr;
    explicit ScopedFile(FILE *opened) : f(opened) {}
    ScopedFile(const ScopedFile &) = delete;
    ScopedFile &operator=(const ScopedFile &) = delete;
    ~ScopedFile() {
        if (f != nullptr) fclose(f);
    }
};
