// utils: the comment-filtering line reader of the text-file edits.
//
// With flInputFilterState set, a line comes back without "//" comments,
// without "/* */" comments (also those running over several physical
// lines: every physical line up to the closing "*/" is consumed), without
// leading white space and without its line end. The text before a comment
// and the text after its end join into one line.
#include "utils.h"

#include <cstring>
#include <string_view>

uint8_t flInputFilterState = 1;
long InPos = 0;
int LineCnt = 0;
char *pLine = Line;

namespace {

constexpr size_t PieceSize = 512;  // one physical line: 510 characters, line feed, terminator
constexpr size_t ZeroFilled = 512; // Line is clean this far after its text

// Bounded append to Line.
void Append(size_t &len, std::string_view text) {
    size_t room = LineSize - 1 - len;
    size_t n = text.size() < room ? text.size() : room;
    memcpy(Line + len, text.data(), n);
    len += n;
    Line[len] = '\0';
}

void ZeroFillAfter(size_t len) {
    if (len < ZeroFilled) memset(Line + len, 0, ZeroFilled - len);
}

// Append the part of piece outside comments; yields true when piece ends
// inside a "/*" comment that is still open.
bool AppendUncommented(size_t &len, std::string_view piece, bool inComment) {
    while (!piece.empty()) {
        if (inComment) {
            size_t close = piece.find("*/");
            if (close == std::string_view::npos) return true;
            piece.remove_prefix(close + 2);
            inComment = false;
            continue;
        }
        size_t lineComment = piece.find("//");
        size_t blockComment = piece.find("/*");
        if (lineComment != std::string_view::npos &&
            (blockComment == std::string_view::npos || lineComment < blockComment)) {
            Append(len, piece.substr(0, lineComment));
            return false;
        }
        if (blockComment == std::string_view::npos) {
            Append(len, piece);
            return false;
        }
        Append(len, piece.substr(0, blockComment));
        piece.remove_prefix(blockComment + 2);
        inComment = true;
    }
    return inComment;
}

} // namespace

int GetLine() {
    pLine = Line;
    LineCnt = 0;
    if (pIn == nullptr) return 0;
    InPos = ftell(pIn);
    char piece[PieceSize];
    if (!flInputFilterState) {
        if (fgets(Line, FileLineChars + 1, pIn) == nullptr) {
            ZeroFillAfter(0);
            return 0;
        }
        ZeroFillAfter(strlen(Line));
        return LineCnt = 1;
    }

    size_t len = 0;
    Line[0] = '\0';
    bool inComment = false;
    do {
        if (fgets(piece, FileLineChars + 1, pIn) == nullptr) {
            // The input ended inside a comment: what came before it is the
            // line, if anything did.
            if (LineCnt == 0 || len == 0) {
                ZeroFillAfter(0);
                return LineCnt = 0;
            }
            break;
        }
        ++LineCnt;
        std::string_view text(piece);
        text = text.substr(0, text.find_first_of("\n\r"));
        inComment = AppendUncommented(len, text, inComment);
    } while (inComment);

    // Leading white space goes.
    size_t skip = strspn(Line, " \t\v\f");
    if (skip > 0) {
        memmove(Line, Line + skip, len - skip + 1);
        len -= skip;
    }
    ZeroFillAfter(len);
    return LineCnt;
}

int GetLineN(int n) {
    int result = 0;
    for (int k = 0; k < n; ++k)
        result = GetLine();
    return result;
}

int GetLinePos(long position) {
    if (pIn == nullptr || fseek(pIn, position, SEEK_SET) != 0) return 0;
    return GetLine();
}

char *fgetsp(char *buffer, int size, FILE *file, long position) {
    if (buffer == nullptr || file == nullptr || size <= 0) return nullptr;
    if (fseek(file, position, SEEK_SET) != 0) return nullptr;
    return fgets(buffer, size, file);
}
