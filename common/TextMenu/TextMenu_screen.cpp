// TextMenu: the character screen buffer. The pick-list screen is composed
// in memory as a grid of characters and sent to the terminal in one pass.
// The engine is built for terminals without cursor addressing: output is a
// plain stream on standard output and the cursor and clearing hooks do
// nothing.
#include "TextMenu.h"

#include "MemMgr.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A positive decimal environment value, or 0.
int EnvSize(const char *name) {
    const char *text = getenv(name);
    if (text == nullptr || *text == '\0') return 0;
    char *end = nullptr;
    long v = strtol(text, &end, 10);
    if (*end != '\0' || v <= 0) return 0;
    return v > 100000 ? 100000 : int(v);
}

} // namespace

TextScreen *GetTermInfo(TextScreen *screen) {
    int columns = 0;
    int rows = 0;
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    } else if (EnvSize("COLUMNS") > 0 && EnvSize("LINES") > 0) {
        columns = EnvSize("COLUMNS");
        rows = EnvSize("LINES");
    } else {
        columns = 80;
        rows = 24;
    }
    // Refresh sends a line through a 4096-byte buffer: a wider terminal is
    // used over its first 4095 columns.
    columns = std::clamp(columns, 1, ScreenMaxColumns);
    rows = std::clamp(rows, 1, ScreenMaxRows);

    if (screen == nullptr) {
        screen = static_cast<TextScreen *>(GetMem(sizeof(TextScreen)));
        if (screen == nullptr) SysError("%s", OutOfMem);
    }
    if (screen->pCells == nullptr || screen->nColumns != columns || screen->nRows != rows) {
        PutMem(screen->pCells);
        screen->pCells = static_cast<char *>(GetMem(size_t(columns) * size_t(rows)));
        if (screen->pCells == nullptr) SysError("%s", OutOfMem);
        screen->nColumns = columns;
        screen->nRows = rows;
    }
    memset(screen->pCells, ' ', size_t(columns) * size_t(rows));
    return screen;
}

void MoveCursor(TextScreen *, int, int) {}

void ClearScreen(TextScreen *) {}

void SetPosition(TextScreen *screen, int x, int y) {
    if (screen == nullptr) return;
    screen->nX = x;
    screen->nY = y;
}

void SetOvlInfo(TextScreen *screen, int x, int y, int width, int height) {
    if (screen == nullptr) return;
    screen->nOvlX = x;
    screen->nOvlY = y;
    screen->nOvlWidth = width;
    screen->nOvlHeight = height;
}

void WriteString(TextScreen *screen, const char *format, ...) {
    if (screen == nullptr || screen->pCells == nullptr || format == nullptr) return;
    if (screen->nY > screen->nRows || screen->nY < 1) screen->nY = 1;
    // A cursor exactly at the right edge writes at the next line's start.
    if (screen->nX > screen->nColumns || screen->nX < 1) screen->nX = 0;
    char text[512];
    va_list args;
    va_start(args, format);
    int len = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (len < 0) return;
    size_t n = std::min(size_t(len), sizeof text - 1);
    size_t cells = size_t(screen->nColumns) * size_t(screen->nRows);
    size_t start = size_t(screen->nY - 1) * size_t(screen->nColumns) + size_t(screen->nX);
    for (size_t k = 0; k < n && start + k < cells; ++k)
        screen->pCells[start + k] = text[k];
}

void FillArea(TextScreen *screen, int x, int y, int width, int height, char c) {
    if (screen == nullptr || screen->pCells == nullptr || width <= 0 || height <= 0) return;
    long long x0 = std::max(x, 0);
    long long x1 = std::min<long long>(static_cast<long long>(x) + width, screen->nColumns);
    long long y0 = std::max(y, 0);
    long long y1 = std::min<long long>(static_cast<long long>(y) + height, screen->nRows);
    for (long long r = y0; r < y1; ++r)
        for (long long col = x0; col < x1; ++col)
            screen->pCells[r * screen->nColumns + col] = c;
}

int Refresh(TextScreen *screen) {
    if (screen == nullptr || screen->nRows <= 0 || screen->pCells == nullptr) {
        fflush(stdout);
        return 0;
    }
    static char out[ScreenMaxColumns + 1];
    for (int y = 0; y < screen->nRows; ++y) {
        // The very last cell is never written, so that the terminal does not
        // scroll.
        int width = y == screen->nRows - 1 ? screen->nColumns - 1 : screen->nColumns;
        width = std::min(width, ScreenMaxColumns);
        const char *cells = screen->pCells + size_t(y) * size_t(screen->nColumns);
        size_t n = 0;
        for (int x = 0; x < width; ++x) {
            char c = cells[x];
            if (c == '\0') break; // the rest of the line is not shown
            out[n++] = c;
            if (c == '\n') break; // the rest of the line is skipped
        }
        fwrite(out, 1, n, stdout);
    }
    fflush(stdout);
    return 0;
}

void Overlay(TextScreen *screen, const char *text, int wait) {
    if (screen == nullptr) return;
    int savedX = screen->nX;
    int savedY = screen->nY;
    int width = std::max(screen->nOvlWidth, 0);
    int height = std::max(screen->nOvlHeight, 0);
    int line = 0;
    auto border = [&] {
        MoveCursor(screen, screen->nOvlX, screen->nOvlY + line++);
        for (int k = 0; k < width + 4; ++k)
            putchar('*');
        putchar('\n');
    };

    border();
    const char *t = text != nullptr ? text : "";
    for (int lines = 0; *t != '\0' && lines < height + 3; ++lines) {
        MoveCursor(screen, screen->nOvlX, screen->nOvlY + line++);
        fputs("* ", stdout);
        for (int col = 0; col < width; ++col) {
            if (*t == '\0' || *t == '\n')
                putchar(' ');
            else
                putchar(*t++);
        }
        if (*t == '\n') ++t;
        fputs(" *\n", stdout);
    }
    if (wait) {
        MoveCursor(screen, screen->nOvlX, screen->nOvlY + line++);
        printf("* Press enter%*s*\n", std::max(width - 8, 0), "");
    }
    border();
    if (wait) {
        MoveCursor(screen, screen->nOvlX + 15, screen->nOvlY + line - 2);
        menu_detail::WaitForKey();
    }
    MoveCursor(screen, savedX, savedY);
    fflush(stdout);
}

void NumberScreen(TextScreen *screen) {
    if (screen == nullptr || screen->pCells == nullptr) return;
    size_t cells = size_t(screen->nColumns) * size_t(screen->nRows);
    size_t n = std::min<size_t>(24 * 80, cells);
    for (size_t k = 0; k < n; ++k)
        screen->pCells[k] = char('0' + k % 10);
}
