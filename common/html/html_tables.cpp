// html: tables in passes. GetTextTable counts the rows and columns
// (CountTable), measures the cells (MeasureCells; nested tables first) and
// sizes the table (SizeTable); the layout then places it (PlaceTable in
// html_layout.cpp), DrawTableArea draws its frame, and the layout writes the
// cells into it.
#include "html.h"

#include "MemMgr.h"
#include "html_private.h"
#include "utils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

int HtmlTableDepth = 0;

namespace {

// The tag text of a measured table. Measured tables are told apart by this
// very pointer, so a "fitab" that an author writes stays an unknown tag.
char FitabTag[] = "fitab";

constexpr char kTableAttributes[] = ",border,cellspacing,cellpadding,width,";
enum TableAttribute { AttrNone = 0, AttrBorder, AttrCellSpacing, AttrCellPadding, AttrWidth };

constexpr char kWordDelimiters[] = " \t\n\r";

struct TableShape {
    int nRows; // "/tr" at the table's own level
    int nCols; // the most "td" in one of those rows
};

// Count the table that starts at the body walk position; the walk is left
// where it was.
TableShape CountTable(List *body) {
    ListLink *resume = body->pWalk;
    TableShape shape{0, 0};
    int depth = 0;
    int cells = 0;
    for (auto *item = static_cast<HtmlItem *>(ListWalk(body, 1)); item != nullptr;
         item = static_cast<HtmlItem *>(ListWalk(body, 1))) {
        HtmlBodyTag tag = HtmlTagOf(item);
        if (tag == TagTable || tag == TagFitab) {
            ++depth;
        } else if (tag == TagEndTable) {
            if (depth == 0) break;
            --depth;
        } else if (depth == 0) {
            if (tag == TagTr) cells = 0;
            if (tag == TagTd) ++cells;
            if (tag == TagEndTr) {
                shape.nCols = std::max(shape.nCols, cells);
                ++shape.nRows;
            }
        }
    }
    body->pWalk = resume;
    return shape;
}

// The value of a "width" attribute in a tag's attribute text, copied into
// value (without a leading double quote); false when there is none. Keeps
// its own cursor: the shared tokenizer may be in use around the layout.
bool FindWidth(const char *attributes, char (&value)[TokenBufSize]) {
    const char *cursor = nullptr;
    char word[TokenBufSize];
    for (char *w =
             GetTokenD(attributes != nullptr ? attributes : "", kWordDelimiters, &cursor, word);
         w != nullptr; w = GetTokenD(nullptr, kWordDelimiters, &cursor, word)) {
        char *equals = strchr(w, '=');
        if (equals == nullptr) continue;
        *equals = '\0';
        if (HtmlFindKey(w, kTableAttributes) != AttrWidth) continue;
        const char *v = equals + 1;
        if (*v == '"') ++v;
        snprintf(value, sizeof value, "%s", v);
        return true;
    }
    return false;
}

int ClampWidth(int64_t width) {
    return int(std::clamp<int64_t>(width, 0, HtmlMaxTableWidth));
}

int ClampHeight(int64_t height) {
    return int(std::clamp<int64_t>(height, 0, HtmlMaxImageLines));
}

// The table's own attributes, in pixels.
struct TableAttributes {
    int nBorder = 0;
    int nSpacing = 0;
    int nPadding = 0;
    bool flBorder = false;
    bool flWidth = false;
    char Width[TokenBufSize] = "";
};

TableAttributes ReadTableAttributes(const char *text) {
    TableAttributes a;
    const char *cursor = nullptr;
    char word[TokenBufSize];
    for (char *w = GetTokenD(text != nullptr ? text : "", kWordDelimiters, &cursor, word);
         w != nullptr; w = GetTokenD(nullptr, kWordDelimiters, &cursor, word)) {
        char *equals = strchr(w, '=');
        if (equals != nullptr) *equals = '\0';
        const char *value = equals != nullptr ? equals + 1 : "";
        switch (HtmlFindKey(w, kTableAttributes)) {
        case AttrBorder:
            a.flBorder = true;
            a.nBorder = *value != '\0' ? HtmlAttrNumber(value) : 1;
            break;
        case AttrCellSpacing:
            a.nSpacing = HtmlAttrNumber(value);
            break;
        case AttrCellPadding:
            a.nPadding = HtmlAttrNumber(value);
            break;
        case AttrWidth:
            if (equals == nullptr) break;
            a.flWidth = true;
            snprintf(a.Width, sizeof a.Width, "%s", *value == '"' ? value + 1 : value);
            break;
        default:
            break;
        }
    }
    return a;
}

int *NewInts(int count, int value) {
    auto *ints = static_cast<int *>(GetMem(size_t(std::max(count, 1)) * sizeof(int)));
    if (ints == nullptr) SysError("%s", OutOfMem);
    for (int i = 0; i < count; ++i)
        ints[i] = value;
    return ints;
}

// Write one line of a bordered frame: ends, fill between, and a mark at
// each column boundary that lies inside the frame.
void DrawFrameLine(HtmlPage *page, const HtmlTable *table, int line, char end, char fill,
                   char mark) {
    const int width = table->nTotalWidth;
    HtmlImagePut(page, line, table->nCol, nullptr, width, fill);
    int64_t boundary = 0;
    for (int c = 0; c + 1 < table->nCols; ++c) {
        boundary += int64_t(table->pColWidths[c]) + 2 * table->nPadding + 1;
        if (boundary >= width - 1) break;
        HtmlImagePut(page, line, table->nCol + boundary, nullptr, 1, mark);
    }
    HtmlImagePut(page, line, table->nCol, nullptr, 1, end);
    HtmlImagePut(page, line, int64_t(table->nCol) + width - 1, nullptr, 1, end);
}

// The total width a table's own attributes give it: a percentage of the
// room the table is placed in (ignored where that is unknown), or pixels
// less the padding, spacing and rules.
struct GivenWidth {
    bool flGiven = false;
    int nWidth = 0;
};

GivenWidth GivenTotalWidth(const TableAttributes &a, const TableShape &shape, int availableWidth) {
    GivenWidth given;
    if (!a.flWidth) return given;
    int64_t w = HtmlAttrNumber(a.Width);
    if (strchr(a.Width, '%') != nullptr) {
        if (availableWidth > 0) {
            given.flGiven = true;
            given.nWidth = ClampWidth(int64_t(availableWidth) * w / 100);
        }
        return given;
    }
    int64_t n = shape.nCols;
    given.flGiven = true;
    given.nWidth =
        ClampWidth((w - 2 * n * a.nPadding - (n + 1) * a.nSpacing - (n + 1) * a.nBorder) /
                   HtmlPixelsPerColumn);
    return given;
}

// What measuring the cells of one table collects: the lines of each row,
// the text columns of each column, and the column widths the page fixes.
struct CellMeasure {
    const int nRows;
    const int nCols;
    int *pHeights;
    int *pWidths;
    ScopedMem<int> FixedWidths; // -1 = none fixed
    int nRow = 0;
    int nCell = -1; // before the first "td" of a row
    int64_t nLineCount = 0;

    CellMeasure(int rows, int cols)
        : nRows(rows), nCols(cols), pHeights(NewInts(rows, 0)), pWidths(NewInts(cols, 0)),
          FixedWidths(NewInts(cols, -1)) {}

    bool InCell() const { return nCell >= 0 && nCell < nCols; }
    int FixedWidth() const {
        return InCell() && FixedWidths.get()[nCell] >= 0 ? FixedWidths.get()[nCell] : 0;
    }
    void AddLines(int64_t n) {
        nLineCount += n;
        if (nRow < nRows)
            pHeights[nRow] = ClampHeight(std::max<int64_t>(pHeights[nRow], nLineCount));
    }
    void Text(const HtmlItem *run) {
        if (!InCell()) return;
        pWidths[nCell] = std::max(pWidths[nCell], ClampWidth(run->nLen));
        AddLines(1);
    }
    void Nested(const HtmlTable *nested) {
        if (nested == nullptr || !InCell()) return;
        pWidths[nCell] = std::max(pWidths[nCell], nested->nTotalWidth);
        AddLines(nested->nTotalHeight);
    }
    void StartRow() {
        if (nRow < nRows) pHeights[nRow] = 0;
        nLineCount = 0;
        nCell = -1;
    }
    // A "td" whose "width" fixes its column, once the table's width is known.
    void StartCell(const HtmlItem *td, const GivenWidth &given, int padding) {
        ++nCell;
        if (!given.flGiven || !InCell() || td->nLen == 0 || FixedWidths.get()[nCell] >= 0) return;
        char value[TokenBufSize];
        if (!FindWidth(td->pValue, value)) return;
        int64_t w = HtmlAttrNumber(value);
        FixedWidths.get()[nCell] =
            strchr(value, '%') != nullptr
                ? ClampWidth(int64_t(given.nWidth) * w / 100 - 2 * padding - 1)
                : ClampWidth(w / HtmlPixelsPerColumn);
    }
    void EndRow() {
        if (nRow < nRows && pHeights[nRow] == 0) pHeights[nRow] = ClampHeight(nLineCount);
        ++nRow;
    }
};

// Walk the table's elements from the body walk position through its
// "/table"; nested tables are measured (and so consumed) on the way.
void MeasureCells(HtmlFile *file, List *body, int padding, const GivenWidth &given,
                  CellMeasure &cells) {
    ++HtmlTableDepth;
    for (auto *it = static_cast<HtmlItem *>(ListWalk(body, 1)); it != nullptr;
         it = static_cast<HtmlItem *>(ListWalk(body, 1))) {
        if (it->pTag == nullptr) {
            cells.Text(it);
            continue;
        }
        HtmlBodyTag tag = HtmlTagOf(it);
        if (tag == TagEndTable) break;
        switch (tag) {
        case TagTr:
            cells.StartRow();
            break;
        case TagTd:
            cells.StartCell(it, given, padding);
            break;
        case TagEndTd:
            cells.nLineCount = 0;
            break;
        case TagTable:
            cells.Nested(GetTextTable(file, it, cells.FixedWidth()));
            break;
        case TagFitab:
            HtmlSkipTable(body);
            cells.Nested(it->pTable);
            break;
        case TagEndTr:
            cells.EndRow();
            break;
        default:
            break;
        }
    }
    --HtmlTableDepth;
}

// The final sizes. A column is never narrower than its text (or than the
// page fixed it), or the text would overwrite the rule after it: a given
// total width narrower than the columns grows to hold them; a wider one
// widens the last column.
void SizeTable(HtmlTable *table, const GivenWidth &given, CellMeasure &cells) {
    const int cols = cells.nCols;
    int *widths = cells.pWidths;
    int64_t sum = int64_t(cols) * 2 * table->nPadding + cols + 1;
    for (int c = 0; c < cols; ++c) {
        if (given.flGiven && cells.FixedWidths.get()[c] >= 0)
            widths[c] = std::max(widths[c], cells.FixedWidths.get()[c]);
        sum += widths[c];
    }
    int64_t height = cells.nRows + 1;
    for (int r = 0; r < cells.nRows; ++r)
        height += cells.pHeights[r];
    table->nTotalWidth = given.flGiven ? std::max(given.nWidth, ClampWidth(sum)) : ClampWidth(sum);
    table->nTotalHeight = ClampHeight(height);
    table->pRowHeights = cells.pHeights;
    table->pColWidths = widths;
    table->nRows = cells.nRows;
    table->nCols = cols;
}

} // namespace

int HtmlAttrNumber(const char *value) {
    if (value == nullptr) return 0;
    if (*value == '"') ++value;
    while (*value == ' ' || *value == '\t')
        ++value;
    if (*value == '+') ++value;
    int number = 0;
    for (; *value >= '0' && *value <= '9'; ++value)
        number = std::min(number * 10 + (*value - '0'), HtmlMaxAttrNumber);
    return number;
}

int HtmlIsMeasuredTable(const HtmlItem *item) {
    return item != nullptr && item->pTag == FitabTag && item->pTable != nullptr;
}

void HtmlFreeItemData(HtmlItem *item) {
    if (item == nullptr || item->pTag == nullptr) return;
    if (HtmlIsMeasuredTable(item)) {
        PutMem(item->pTable->pRowHeights);
        PutMem(item->pTable->pColWidths);
        PutMem(item->pTable);
        item->pTable = nullptr;
    } else if (strcasecmp(item->pTag, "a") == 0) {
        PutMem(item->pAnchor);
        item->pAnchor = nullptr;
    }
}

void HtmlSkipTable(List *body) {
    int depth = 0;
    for (auto *item = static_cast<HtmlItem *>(ListWalk(body, 1)); item != nullptr;
         item = static_cast<HtmlItem *>(ListWalk(body, 1))) {
        HtmlBodyTag tag = HtmlTagOf(item);
        if (tag == TagTable || tag == TagFitab) ++depth;
        if (tag == TagEndTable && depth-- == 0) return;
    }
}

int GetColumnCnt() {
    if (pCurrentPage == nullptr) return 0;
    return CountTable(&pCurrentPage->Body).nCols;
}

HtmlTable *GetTextTable(HtmlFile *file, HtmlItem *item, int availableWidth) {
    if (pCurrentPage == nullptr || item == nullptr) return nullptr;
    if (HtmlIsMeasuredTable(item)) return item->pTable; // measured once
    List *body = &pCurrentPage->Body;
    auto *table = static_cast<HtmlTable *>(GetMem(sizeof(HtmlTable)));
    if (table == nullptr) SysError("%s", OutOfMem);
    table->nRuleWidth = 1;
    TableAttributes attributes = ReadTableAttributes(item->pValue);
    item->pTag = FitabTag;
    item->pTable = table;
    if (HtmlTableDepth >= HtmlMaxTableNesting) {
        // Too deep to lay out: left out, with an empty record.
        table->pRowHeights = NewInts(0, 0);
        table->pColWidths = NewInts(0, 0);
        HtmlSkipTable(body);
        return table;
    }

    const TableShape shape = CountTable(body);
    table->flBorder = attributes.flBorder;
    table->nSpacing = std::min(attributes.nSpacing / HtmlPixelsPerColumn, HtmlMaxCellPadding);
    table->nPadding = std::min(attributes.nPadding / HtmlPixelsPerColumn, HtmlMaxCellPadding);
    const GivenWidth given = GivenTotalWidth(attributes, shape, availableWidth);
    CellMeasure cells(std::min(shape.nRows, HtmlMaxTableRows),
                      std::min(shape.nCols, HtmlMaxTableCols));
    MeasureCells(file, body, table->nPadding, given, cells);
    SizeTable(table, given, cells);
    return table;
}

void DrawTableArea(HtmlFile *, HtmlTable *table) {
    HtmlPage *page = pCurrentPage;
    if (page == nullptr || table == nullptr) return;
    if (table->nTotalWidth <= 0 || table->nTotalHeight <= 0) return;
    if (!table->flBorder) {
        for (int i = 0; i < table->nTotalHeight && table->nRow + i < HtmlMaxImageLines; ++i)
            HtmlImagePut(page, int64_t(table->nRow) + i, table->nCol, nullptr, table->nTotalWidth,
                         ' ');
        return;
    }
    int64_t line = table->nRow;
    // Lines past the largest image are dropped anyway: stop there.
    for (int r = 0; r < table->nRows && line < HtmlMaxImageLines; ++r) {
        DrawFrameLine(page, table, int(line++), '|', '-', '+');
        for (int h = 0; h < table->pRowHeights[r] && line < HtmlMaxImageLines; ++h)
            DrawFrameLine(page, table, int(line++), '|', ' ', '|');
    }
    DrawFrameLine(page, table, int(line), '\'', '-', '+');
    HtmlImagePut(page, table->nRow, table->nCol, nullptr, 1, ',');
    HtmlImagePut(page, table->nRow, int64_t(table->nCol) + table->nTotalWidth - 1, nullptr, 1, ',');
}
