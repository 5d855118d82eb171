// html: the layout of one page as a text image of 132-byte lines, and its
// compaction into newline-separated text with anchor offsets.
#include "html.h"

#include "MemMgr.h"
#include "html_private.h"
#include "utils.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>

constexpr char HtmlKeys[] = ",p,/p,b,/b,font,/font,a,/a,tr,/tr,br,table,fitab,/table,td,/td,"
                            "h1,h2,h3,h4,h5,h6,/h1,/h2,/h3,/h4,/h5,/h6,ol,/ol,li,/li,div,/div,img,";

namespace {

constexpr int CountKeys(const char *list) {
    int n = 0;
    for (const char *p = list; *p != '\0'; ++p)
        n += *p == ',';
    return n - 1;
}
static_assert(CountKeys(HtmlKeys) == TagCount - 1, "HtmlBodyTag follows HtmlKeys");

// HtmlKeys split once, for the lookup every element of a page goes through.
constexpr auto kBodyTagNames = [] {
    std::array<std::string_view, TagCount> names{};
    std::string_view list(HtmlKeys);
    size_t at = 1;
    for (int n = 1; n < TagCount; ++n) {
        size_t end = list.find(',', at);
        names[n] = list.substr(at, end - at);
        at = end + 1;
    }
    return names;
}();
static_assert(kBodyTagNames[TagFitab] == "fitab" && kBodyTagNames[TagImg] == "img");

// Room for the image before any growth: one line per body element, two per
// title run, and one for the line the body ends on.
int InitialImageLines(HtmlPage *page) {
    int titleRuns = 0;
    bool inTitle = false;
    for (ListLink *link = page->Head.pFirst; link != nullptr; link = link->pNext) {
        auto *item = static_cast<HtmlItem *>(link->pData);
        if (item->pTag == nullptr) {
            titleRuns += inTitle;
        } else if (strcasecmp(item->pTag, "title") == 0) {
            inTitle = true;
        } else if (strcasecmp(item->pTag, "/title") == 0) {
            inTitle = false;
        }
    }
    int64_t lines = int64_t(page->Body.nCount) + 2 * int64_t(titleRuns) + 1;
    return int(std::min<int64_t>(lines, HtmlMaxImageLines));
}

// Grow the image to hold at least lines lines (zero-filled); false, with the
// image as it was, beyond the largest image. A page comes out whole or not
// at all: short of memory the program ends (as the SaveStr family does)
// rather than go on with text left out.
bool ReserveLines(HtmlPage *page, int64_t lines) {
    if (lines <= page->nImageLines) return true;
    if (lines > HtmlMaxImageLines) return false;
    int64_t want = std::clamp<int64_t>(2 * int64_t(page->nImageLines), lines, HtmlMaxImageLines);
    void *grown = AdjustMem(page->pImage, size_t(want) * HtmlLineWidth);
    if (grown == nullptr) SysError("%s", OutOfMem);
    page->pImage = static_cast<char *>(grown);
    page->nImageLines = int(want);
    return true;
}

// The state of one BuildTextBody call: the position and what the elements
// so far have opened.
struct BodyWriter {
    HtmlFile *pFile;
    HtmlTable *pTable; // the table being written, or null for the page body
    int nLine;
    int nColumn;
    int nCellStart = 0;     // left text column of the current cell
    int nRowStart = 0;      // first content line of the current row
    int nCell = -1;         // cell index in the row; -1 before its first "td"
    int nRow = 0;           // row index
    bool flOrdered = false; // inside an ordered list
    int nItemNumber = 0;    // the list's item counter
    bool flLink = false;    // a link's "<" is written, its ">" is due
    HtmlAnchor *pAnchor = nullptr;

    void Write(const char *text, int length, int fill) {
        PrintText(pFile, &nLine, &nColumn, text, length, fill);
    }
    void NewLine() {
        ++nLine;
        nColumn = pTable != nullptr ? nCellStart : 0;
    }
    void NewLines(int n) {
        for (int i = 0; i < n; ++i)
            NewLine();
    }
    int ColumnWidth(int cell) const {
        if (pTable == nullptr || cell < 0 || cell >= pTable->nCols) return 0;
        return pTable->pColWidths[cell];
    }
    int RowHeight(int row) const {
        if (pTable == nullptr || row < 0 || row >= pTable->nRows) return 0;
        return pTable->pRowHeights[row];
    }
    int64_t Offset() const { return int64_t(nLine) * HtmlLineWidth + nColumn; }

    void Anchor(HtmlAnchor *anchor);
    void EndAnchor();
    void PlaceTable();
    bool LineBreak(HtmlBodyTag tag);
    void ListItem();
    void StartRow();
    void StartCell();
    void EndRow();
    void Table(HtmlItem *item);
    void MeasuredTable(HtmlTable *table);
    void Element(HtmlItem *item);
};

void BodyWriter::Anchor(HtmlAnchor *anchor) {
    if (anchor == nullptr) return;
    pAnchor = anchor;
    anchor->nStart = nLine;
    anchor->nEnd = nColumn;
    if (anchor->nType == AnchorLink) {
        Write("<", 1, 0);
        flLink = true;
    }
}

// Close the current anchor: its width is measured in the image itself, so a
// link that wraps onto the next line still gets its true (never negative)
// width; the anchor joins the page's Links once.
void BodyWriter::EndAnchor() {
    if (pAnchor == nullptr) return;
    if (flLink) {
        Write(">", 1, 0);
        flLink = false;
    }
    int64_t start = int64_t(pAnchor->nStart) * HtmlLineWidth + pAnchor->nEnd;
    pAnchor->nWidth = int(std::clamp<int64_t>(Offset() - start, 0, INT32_MAX));
    if (pCurrentPage != nullptr)
        ListPushItem(&pCurrentPage->Links, &pAnchor, int32_t(sizeof pAnchor));
    pAnchor = nullptr;
}

void BodyWriter::Table(HtmlItem *item) {
    if (flOrdered) NewLine();
    if (HtmlTableDepth >= HtmlMaxTableNesting) {
        HtmlSkipTable(&pCurrentPage->Body);
        return;
    }
    // Measuring walks the table's elements; they are written afterwards.
    List *body = &pCurrentPage->Body;
    ListLink *resume = body->pWalk;
    HtmlTable *table = GetTextTable(pFile, item, pTable != nullptr ? ColumnWidth(nCell) : 0);
    body->pWalk = resume;
    MeasuredTable(table);
}

void BodyWriter::MeasuredTable(HtmlTable *table) {
    if (table == nullptr) return;
    if (pTable != nullptr) {
        // Inside a cell: at the cell's left edge, below text on this line.
        int line = nColumn > nCellStart ? nLine + 1 : nLine;
        BuildTextBody(pFile, table, line, nCellStart);
        nLine = line + table->nTotalHeight;
        nColumn = nCellStart;
        return;
    }
    BuildTextBody(pFile, table, nLine, nColumn);
    nLine = table->nRow + table->nTotalHeight;
    nColumn = table->nCol;
}

// The table being written takes its place at the writer's position: its
// frame is drawn there (measured before, filled after), and its cells are
// written from the line below its top rule.
void BodyWriter::PlaceTable() {
    pTable->nRow = nLine;
    pTable->nCol = nColumn;
    DrawTableArea(pFile, pTable);
    nRowStart = ++nLine;
    nCellStart = pTable->nCol + pTable->nPadding + 1;
}

// The line breaks that tags of running text make; false for other tags.
bool BodyWriter::LineBreak(HtmlBodyTag tag) {
    switch (tag) {
    case TagP:
        if (pTable == nullptr) NewLines(2);
        return true;
    case TagEndP:
        if (pTable == nullptr) NewLine();
        return true;
    case TagEndOl:
        flOrdered = false;
        NewLine();
        return true;
    case TagBr:
    case TagH1:
    case TagH2:
    case TagH3:
    case TagH4:
    case TagH5:
    case TagH6:
    case TagDiv:
        NewLine();
        return true;
    case TagEndH1:
    case TagEndH2:
    case TagEndH3:
    case TagEndH4:
    case TagEndH5:
    case TagEndH6:
    case TagEndDiv:
        NewLines(2);
        return true;
    default:
        return false;
    }
}

void BodyWriter::ListItem() {
    if (!flOrdered) return;
    NewLine();
    char number[32];
    int len = snprintf(number, sizeof number, "   %i. ", ++nItemNumber);
    Write(number, len, 0);
}

void BodyWriter::StartRow() {
    if (pTable == nullptr) return;
    nCell = -1;
    nCellStart = pTable->nCol + pTable->nPadding + 1;
    nRowStart = nLine;
    nColumn = pTable->nCol + 1;
}

void BodyWriter::StartCell() {
    if (pTable == nullptr) return;
    nLine = nRowStart;
    if (++nCell > 0) nCellStart += ColumnWidth(nCell - 1) + 2 * pTable->nPadding + 1;
    nColumn = nCellStart;
}

void BodyWriter::EndRow() {
    if (pTable == nullptr) return;
    nLine = nRowStart + RowHeight(nRow) + 1;
    ++nRow;
}

void BodyWriter::Element(HtmlItem *item) {
    if (item->pTag == nullptr) {
        Write(item->pValue, item->nLen, 0);
        return;
    }
    const HtmlBodyTag tag = HtmlTagOf(item);
    if (LineBreak(tag)) return;
    switch (tag) {
    case TagA:
        Anchor(item->pAnchor);
        break;
    case TagEndA:
        EndAnchor();
        break;
    case TagOl:
        flOrdered = true;
        nItemNumber = 0;
        break;
    case TagLi:
        ListItem();
        break;
    case TagTr:
        StartRow();
        break;
    case TagTd:
        StartCell();
        break;
    case TagEndTr:
        EndRow();
        break;
    case TagTable:
        Table(item);
        break;
    case TagFitab:
        if (HtmlTableDepth >= HtmlMaxTableNesting)
            HtmlSkipTable(&pCurrentPage->Body);
        else
            MeasuredTable(item->pTable);
        break;
    default: // b, /b, font, /font, /td, /li, img and unknown tags
        break;
    }
}

// Where each line of the image lands in the compacted text.
struct LineIndex {
    const int nLines;
    ScopedMem<int64_t> Offsets; // per line: where its text starts in the result
    ScopedMem<int64_t> Lengths; // per line: its length; -1 for a line passed over
    int64_t nTotal = 0;         // the result's length, line feeds included

    explicit LineIndex(int lines)
        : nLines(lines),
          Offsets(static_cast<int64_t *>(GetMem(size_t(lines + 1) * sizeof(int64_t)))),
          Lengths(static_cast<int64_t *>(GetMem(size_t(lines + 1) * sizeof(int64_t)))) {
        if (!Offsets || !Lengths) SysError("%s", OutOfMem);
    }
    int64_t *Offset() const { return Offsets.get(); }
    int64_t *Length() const { return Lengths.get(); }
};

int64_t ImageCapacity(const HtmlPage *page) {
    return int64_t(page->nImageLines) * HtmlLineWidth;
}

// First pass: where each line's text starts in the result. A text longer
// than a line has run into the following lines, which are passed over;
// their offsets lie inside that text.
void IndexLines(const HtmlPage *page, LineIndex &index) {
    const int64_t capacity = ImageCapacity(page);
    const char *image = page->pImage;
    int64_t *offset = index.Offset();
    int64_t *length = index.Length();
    int64_t total = 0;
    for (int i = 0; i < index.nLines;) {
        int64_t start = int64_t(i) * HtmlLineWidth;
        int64_t len = 0;
        if (start < capacity) {
            const char *nul =
                static_cast<const char *>(memchr(image + start, 0, size_t(capacity - start)));
            len = (nul != nullptr ? nul - image : capacity) - start;
        }
        offset[i] = total;
        length[i] = len;
        total += len + 1;
        int next = int((start + len) / HtmlLineWidth) + 1;
        for (int k = i + 1; k < next && k < index.nLines; ++k) {
            offset[k] = offset[i] + int64_t(k - i) * HtmlLineWidth;
            length[k] = -1; // passed over
        }
        i = next;
    }
    index.nTotal = total;
}

// Second pass: the text itself. A line's text never starts after its place
// in the image and is never longer than the lines it takes there, so an
// image of ordinary size is compacted in place, front to back, and then
// shrunk: no block is mapped for the text only to unmap the image's. A
// larger image has a dedicated block, which would stay that size; its text
// goes to a block of its own. The image is then the page's no longer when
// it became the text.
char *CompactLines(HtmlPage *page, const LineIndex &index) {
    const int64_t capacity = ImageCapacity(page);
    const int64_t total = index.nTotal;
    const char *image = page->pImage;
    const bool inPlace = capacity < MemBlockSize && total < capacity;
    auto *text = inPlace ? page->pImage : static_cast<char *>(GetMem(size_t(total) + 1));
    if (text == nullptr) SysError("%s", OutOfMem);
    for (int i = 0; i < index.nLines; ++i) {
        const int64_t offset = index.Offset()[i];
        const int64_t length = index.Length()[i];
        if (length < 0) continue;
        memmove(text + offset, image + int64_t(i) * HtmlLineWidth, size_t(length));
        text[offset + length] = '\n';
    }
    if (!inPlace) return text;
    // What is left of the image behind the text, up to the end of the unit
    // that the shrunk block keeps, must not show.
    memset(text + total, 0, size_t(std::min<int64_t>(capacity - total, 2 * MemUnitSize)));
    page->pImage = nullptr; // the block is the text's now
    if (char *shrunk = static_cast<char *>(AdjustMem(text, size_t(total) + 1))) text = shrunk;
    return text;
}

// Runs keep the line breaks written in the page, so the text's lines are
// counted in the text itself.
int CountTextLines(const char *text) {
    int lines = 0;
    for (const char *p = text; (p = strchr(p, '\n')) != nullptr; ++p)
        ++lines;
    return lines;
}

// Each anchor's image position becomes its offsets in the compacted text.
void PlaceAnchors(HtmlPage *page, const LineIndex &index) {
    const int64_t total = index.nTotal;
    for (ListLink *link = page->Links.pFirst; link != nullptr; link = link->pNext) {
        HtmlAnchor *anchor = *static_cast<HtmlAnchor **>(link->pData);
        int64_t at = int64_t(anchor->nStart) * HtmlLineWidth + anchor->nEnd;
        int64_t atLine = at / HtmlLineWidth;
        int64_t offset =
            atLine < index.nLines ? index.Offset()[atLine] + at % HtmlLineWidth : total;
        offset = std::clamp<int64_t>(offset, 0, total);
        anchor->nStart = int(offset);
        anchor->nEnd = int(std::min<int64_t>(offset + anchor->nWidth, total));
    }
}

} // namespace

HtmlBodyTag HtmlTagOf(const HtmlItem *item) {
    if (item == nullptr || item->pTag == nullptr) return TagNone;
    if (HtmlIsMeasuredTable(item)) return TagFitab;
    const size_t length = strlen(item->pTag);
    for (int n = 1; n < TagCount; ++n) {
        const std::string_view name = kBodyTagNames[n];
        if (name.size() != length || strncasecmp(name.data(), item->pTag, length) != 0) continue;
        return n == TagFitab ? TagNone : static_cast<HtmlBodyTag>(n);
    }
    return TagNone;
}

void HtmlImagePut(HtmlPage *page, int64_t line, int64_t column, const char *text, int64_t len,
                  char fill) {
    if (page == nullptr || len <= 0 || line < 0 || column < 0) return;
    if (line >= HtmlMaxImageLines || column >= int64_t(HtmlMaxImageLines) * HtmlLineWidth) return;
    int64_t start = line * HtmlLineWidth + column;
    int64_t end = std::min<int64_t>(start + len, int64_t(HtmlMaxImageLines) * HtmlLineWidth);
    if (!ReserveLines(page, (end + HtmlLineWidth - 1) / HtmlLineWidth))
        end = std::min<int64_t>(end, int64_t(page->nImageLines) * HtmlLineWidth); // keep what fits
    if (start >= end) return;
    char *image = page->pImage;
    // A gap of terminators before the text would cut the line short when it
    // is compacted; blanks keep the text visible where it was placed.
    for (int64_t at = start; at > start - start % HtmlLineWidth && image[at - 1] == '\0'; --at)
        image[at - 1] = ' ';
    if (text != nullptr)
        memcpy(image + start, text, size_t(end - start));
    else
        memset(image + start, fill, size_t(end - start));
    int lastLine = int((end - 1) / HtmlLineWidth);
    page->nLinesWritten = std::max(page->nLinesWritten, lastLine + 1);
}

void PrintText(HtmlFile *, int *line, int *column, const char *text, int length, int fill) {
    if (line == nullptr || column == nullptr || text == nullptr || length <= 0) return;
    if (length == 1 || fill)
        HtmlImagePut(pCurrentPage, *line, *column, nullptr, length, text[0]);
    else
        HtmlImagePut(pCurrentPage, *line, *column, text, length, 0);
    // The position follows the text; text that runs past the line's end
    // continues in the next line's bytes, so a long text ends on a later
    // line, after its last character (wherever on its line it started).
    if (length < HtmlLineWidth) {
        *column += length;
        return;
    }
    int64_t end = int64_t(*line) * HtmlLineWidth + *column + length;
    end = std::min<int64_t>(end, int64_t(HtmlMaxImageLines) * HtmlLineWidth);
    *line = int(end / HtmlLineWidth);
    *column = int(end % HtmlLineWidth);
}

void BuildTextImage(HtmlFile *file) {
    HtmlPage *page = pCurrentPage;
    if (page == nullptr) return;
    PutMem(page->pImage);
    page->pImage = nullptr;
    page->nImageLines = 0;
    page->nLinesWritten = 0;
    page->nLines = 0;
    page->flTextReady = 0;
    ListDelAllItems(&page->Links);
    ReserveLines(page, InitialImageLines(page));

    int line = 0;
    int column = 0;
    bool inTitle = false;
    for (ListLink *link = page->Head.pFirst; link != nullptr; link = link->pNext) {
        auto *item = static_cast<HtmlItem *>(link->pData);
        if (item->pTag != nullptr) {
            if (strcasecmp(item->pTag, "title") == 0) inTitle = true;
            if (strcasecmp(item->pTag, "/title") == 0) inTitle = false;
            continue;
        }
        if (!inTitle) continue;
        column = 0;
        if (item->nLen < HtmlScreenWidth)
            PrintText(file, &line, &column, " ", (HtmlScreenWidth - item->nLen) / 2, 1);
        PrintText(file, &line, &column, item->pValue, item->nLen, 0);
        line += 2;
    }
    BuildTextBody(file, nullptr, line, 0);
}

void BuildTextBody(HtmlFile *file, HtmlTable *table, int line, int column) {
    HtmlPage *page = pCurrentPage;
    if (page == nullptr) return;
    BodyWriter writer{.pFile = file, .pTable = table, .nLine = line, .nColumn = column};
    List *body = &page->Body;
    HtmlItem *item;
    if (table != nullptr) {
        if (HtmlTableDepth >= HtmlMaxTableNesting) {
            HtmlSkipTable(body);
            return;
        }
        ++HtmlTableDepth;
        writer.PlaceTable();
        item = static_cast<HtmlItem *>(ListWalk(body, 1));
    } else {
        item = static_cast<HtmlItem *>(ListWalk(body, 0));
    }
    for (; item != nullptr; item = static_cast<HtmlItem *>(ListWalk(body, 1))) {
        // "/table" ends a table's call; a stray one in the page body is
        // passed over rather than ending the page.
        if (HtmlTagOf(item) == TagEndTable) {
            if (table != nullptr) break;
            continue;
        }
        writer.Element(item);
    }
    if (table != nullptr) {
        --HtmlTableDepth;
        return;
    }
    page->nLines = writer.nLine;
}

void PrintTextImage(HtmlFile *file) {
    HtmlPage *page = pCurrentPage;
    if (page == nullptr || page->flTextReady) return;
    if (page->pImage == nullptr) BuildTextImage(file);
    if (page->pImage == nullptr) return;

    // Lines to compact: every line the body reached or wrote.
    LineIndex index(std::min(std::max(page->nLines, page->nLinesWritten), HtmlMaxImageLines));
    IndexLines(page, index);
    char *text = CompactLines(page, index);
    PlaceAnchors(page, index);
    PutMem(page->pImage);
    page->pImage = text;
    page->nImageLines = 0;
    page->nLines = CountTextLines(text);
    page->flTextReady = 1;
}
