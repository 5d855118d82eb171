// html_private: what the help viewer's parser, layout and table code share
// among themselves and nobody else needs: the body tag vocabulary as indices,
// the bounded image writer and the table nesting depth.
#pragma once

#include "html.h"

#include <cstdint>

// Positions in HtmlKeys; TagNone for a text run or a tag the layout ignores.
enum HtmlBodyTag {
    TagNone = 0,
    TagP,
    TagEndP,
    TagB,
    TagEndB,
    TagFont,
    TagEndFont,
    TagA,
    TagEndA,
    TagTr,
    TagEndTr,
    TagBr,
    TagTable,
    TagFitab,
    TagEndTable,
    TagTd,
    TagEndTd,
    TagH1,
    TagH2,
    TagH3,
    TagH4,
    TagH5,
    TagH6,
    TagEndH1,
    TagEndH2,
    TagEndH3,
    TagEndH4,
    TagEndH5,
    TagEndH6,
    TagOl,
    TagEndOl,
    TagLi,
    TagEndLi,
    TagDiv,
    TagEndDiv,
    TagImg,
    TagCount
};

// The tag of a body item. A "fitab" written by an author is not a measured
// table and counts as unknown.
HtmlBodyTag HtmlTagOf(const HtmlItem *item);

// 1-based position of name in a delimited list, ignoring case; 0 when absent
// or when name is empty or holds the list's separator (so it cannot span
// two entries).
int HtmlFindKey(const char *name, const char *list);

// Limits that keep hostile pages from making the layout huge. A terminal
// page is 80 columns wide, so none of them bites a real help page.
inline constexpr int HtmlMaxImageLines = 1 << 19; // the image never grows beyond this
inline constexpr int HtmlMaxTableWidth = 4096;    // columns of any computed width
inline constexpr int HtmlMaxCellPadding = 64;     // columns of padding or spacing
inline constexpr int HtmlMaxAttrNumber = 99999;   // pixels or percent read from a page
inline constexpr int HtmlMaxTableNesting = 32;    // deeper tables are left out

// Nesting depth of the table being measured or written (0 outside tables).
extern int HtmlTableDepth;

// Write into the current page's image at the linear offset line * 132 +
// column: len bytes of text, or len copies of fill when text is null. The
// image grows (zero-filled) as needed; bytes beyond HtmlMaxImageLines are
// dropped, and when memory runs out the program ends ("Unable to allocate
// memory", status 1) rather than lay out part of the page. Terminators left
// before the offset on its line become blanks, so that nothing written later
// on a line is cut off by a gap.
void HtmlImagePut(HtmlPage *page, int64_t line, int64_t column, const char *text, int64_t len,
                  char fill);

// Move the body walk past the elements of the table whose opening item was
// just read, through its matching "/table".
void HtmlSkipTable(List *body);

// Release what an item carries beyond its texts (anchor, table record).
void HtmlFreeItemData(HtmlItem *item);

// Number read from an attribute value (a leading double quote skipped):
// 0 when it is not a number or negative, at most HtmlMaxAttrNumber.
int HtmlAttrNumber(const char *value);
