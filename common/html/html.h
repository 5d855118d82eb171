// html: the terminal help viewer's pages. Help files are written in a small
// subset of HTML; this facility loads them into a process-wide registry,
// splits each file into pages of head and body elements, lays every page out
// as plain text for a character terminal, and moves between pages, targets
// and files with a history for going back.
//
// Sections: the parser and registry (html_parser.cpp), the page layout
// (html_layout.cpp), tables (html_tables.cpp), history and navigation
// (html_navigation.cpp).
//
// Ownership: the registry owns every loaded file, its text, its pages and
// everything hanging off them, for the life of the process (HtmlFreeAll
// empties it for tests and tools). Element texts, names and targets point
// into the file's own copy of its text, which parsing cuts in place; a text
// given by a caller is copied first and never changed. A page's pImage is
// the laid-out text once the page is built. Nothing returned here is
// released by the caller.
//
// The help menu (HelpTty) sits on top: it shows pImage, offers the page's
// Links as entries, and calls ProcessLink, HtmlSetHistory and HtmlProcessLink
// to move. Nothing here calls into the menu.
//
// Single-threaded: all state is process-wide.
#pragma once

#include "List.h"

#include <array>
#include <cstdint>

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

struct HtmlTable;

// An "a" element: a named target, a link, or neither.
struct HtmlAnchor {
    char *pTarget; // value of the name or href attribute, or null
    int nStart;    // layout: image line of the start; afterwards offset of the first character
    int nEnd;      // layout: column of the start; afterwards offset just past the last character
    int nWidth;    // columns the anchor's text takes, brackets of a link included
    int nType;     // AnchorNone, AnchorTarget or AnchorLink
};

enum HtmlAnchorType { AnchorNone = 0, AnchorTarget = 1, AnchorLink = 2 };

// One element of a head or body list: a tag with its attribute text, or a
// run of text (pTag null). An "a" tag carries its anchor instead of the
// attribute text; a measured table ("fitab") carries its layout record.
struct HtmlItem {
    char *pTag; // tag name as written ("td", "/td"), or null for a text run
    union {
        char *pValue;        // attribute text (may be empty) or the run's text
        HtmlAnchor *pAnchor; // tag "a"
        HtmlTable *pTable;   // tag "fitab" (see HtmlIsMeasuredTable)
    };
    int nLen; // length of the attribute text or of the run
};

// One page: an html section of a help file.
struct HtmlPage {
    char *pName;  // from the page attribute of its html tag, or null
    char *pImage; // the laid-out text, null until built
    List Head;    // HtmlItem: elements between head and /head
    List Body;    // HtmlItem: elements between body and /body
    List Links;   // HtmlAnchor *: the anchors in layout order
    int nLines;   // lines in pImage
    // Layout bookkeeping (not part of the page's public face).
    int nImageLines;     // lines of 132 bytes the image block holds while it is built
    int nLinesWritten;   // one past the highest image line written
    uint8_t flTextReady; // pImage holds the compacted text and anchors hold offsets
};

// One help file of the registry.
struct HtmlFile {
    char *pName;    // file name without a leading "file://" and without a "#" target
    char *pContent; // the file's text, owned here and cut in place by parsing
    char *pCursor;  // where parsing continues
    List Pages;     // HtmlPage, in order
};

// The layout record of one table, made when the table is measured.
struct HtmlTable {
    int nCol;         // left column in the image
    int nRow;         // top line in the image
    int nTotalWidth;  // columns, rules included
    int nTotalHeight; // lines, rules included
    int nPadding;     // cell padding in columns
    int nSpacing;     // cell spacing in columns
    int nRuleWidth;   // width of one column rule: 1
    uint8_t flBorder; // drawn with rules
    int *pRowHeights; // text lines of each row (nRows entries)
    int *pColWidths;  // text columns of each column (nCols entries)
    int nRows;        // rows measured (at most HtmlMaxTableRows)
    int nCols;        // columns measured (at most HtmlMaxTableCols)
};

// ---------------------------------------------------------------------------
// Limits and vocabularies
// ---------------------------------------------------------------------------

inline constexpr int HtmlMaxFiles = 100;      // files in the registry
inline constexpr int HtmlLineWidth = 132;     // bytes of one image line
inline constexpr int HtmlScreenWidth = 80;    // titles are centred for this width
inline constexpr int HtmlPixelsPerColumn = 7; // table attributes are pixels
inline constexpr int HtmlMaxTableRows = 1000; // rows measured and drawn per table
inline constexpr int HtmlMaxTableCols = 1000; // columns measured and drawn per table
inline constexpr int HtmlMaxHistory = 100;    // entries of History

// Named character references of ISO 8859-1 in code order: reference n
// (from 1) stands for the character 159 + n.
extern const char HTMLKeys[];
extern const std::array<int, 97> HTMLKeySizes;        // length of each name with ";" (0 at 0)
extern const std::array<unsigned char, 96> HTMLChars; // the codes 160 to 255
// The tags the layout knows, looked up ignoring case.
extern const char HtmlKeys[];

// ---------------------------------------------------------------------------
// Registry and parser
// ---------------------------------------------------------------------------

extern HtmlFile *aFile[HtmlMaxFiles]; // loaded files in loading order
extern int FileIndex;                 // files registered; the next free slot
extern int CurrentFile;               // index of the file being shown
extern HtmlPage *pCurrentPage;        // the page being built or shown

// Load a help file and make its first page current. name may carry a
// leading "file://" and a "#target"; "http://" names are refused. text, when
// given, is the file's contents (copied, never changed); otherwise the file
// is read. A file already registered is not read again: its first page
// becomes current and a target is followed. Every page is laid out.
// Yields the file, or null (remote, unreadable, no page, registry full).
HtmlFile *ParseHtmlFile(const char *name, const char *text);
// The registered file of exactly this name; sets CurrentFile. Null if none.
HtmlFile *FindHtmlFile(const char *name);
// The first page of a file (its contents page); null for no file or no page.
HtmlPage *HtmlFirstPage(HtmlFile *file);
// The next tag at or after the file's cursor without its angle brackets
// (both overwritten with terminators); the cursor moves past it. Null when
// no "<" or no closing ">" follows.
char *GetKeyWord(HtmlFile *file);
// Append the elements from the cursor up to the closing tag "/" + endTag to
// list, decoding character references; the cursor ends after that tag or at
// the end of the text.
void ParseHtml(HtmlFile *file, List *list, const char *endTag);
// Append one element; for the tag "a" the anchor is built from text.
// Yields the new item.
HtmlItem *AddAtribute(List *list, char *tag, char *text);

// Release every loaded file and empty the registry and the history. For
// tests, fuzzing and programs that are done with help.
void HtmlFreeAll();

// ---------------------------------------------------------------------------
// Layout (all on pCurrentPage)
// ---------------------------------------------------------------------------

// Build the current page's image when it has none, then compact it into
// text and turn the anchors' positions into offsets in that text.
void PrintTextImage(HtmlFile *file);
// Make the image: the centred title, then the body.
void BuildTextImage(HtmlFile *file);
// Write body elements from (line, column). Without a table: the whole body;
// with one: its frame, then the elements after the body walk position up to
// the table's "/table".
void BuildTextBody(HtmlFile *file, HtmlTable *table, int line, int column);
// Measure the table whose "table" item is item and whose elements follow the
// body walk position; the item becomes "fitab" and carries the record.
HtmlTable *GetTextTable(HtmlFile *file, HtmlItem *item, int availableWidth);
// Columns of the table that starts at the body walk position (cursor kept).
int GetColumnCnt();
// Draw a table's frame with rules, or blank its area.
void DrawTableArea(HtmlFile *file, HtmlTable *table);
// Write into the image at (line, column) and move the position past the
// text: length copies of text[0] when fill is set, else length bytes of text.
void PrintText(HtmlFile *file, int *line, int *column, const char *text, int length, int fill);

// 1 when item is a table that has been measured (it carries pTable).
int HtmlIsMeasuredTable(const HtmlItem *item);

// ---------------------------------------------------------------------------
// History and navigation
// ---------------------------------------------------------------------------

struct HtmlHistoryEntry {
    int nFile;       // CurrentFile at the jump
    HtmlPage *pPage; // pCurrentPage at the jump
    int nTargetPos;  // TargetPos at the jump
};

extern HtmlHistoryEntry History[HtmlMaxHistory];
extern int HistoryI;           // entries in use
extern int TargetPos;          // offset in the page text of the link followed or target reached
extern uint8_t flBuildingFile; // set while a file loads or a link is followed

// Open help on a file (or on text given for it): empties the history and
// loads it. Yields 1, or 0 with a message on standard output.
int HtmlHelp(const char *name, const char *text);
// Record the current file, page and TargetPos; nothing when full.
void SetHistory();
// Move to a page name or a named anchor of the current file ("#" optional),
// recording a history entry. Nothing happens without a match.
void GoToTarget(const char *target);
// Follow an anchor's link: a target in this file, or another file.
void ProcessLink(HtmlAnchor *anchor);
// Follow the link under an offset of the current page's text, if any.
void HtmlProcessLink(int position);
// Mode 0: back to the first page of the first file (contents); mode -1: back
// one entry. Yields 0 when the history is empty, else 1.
int HtmlSetHistory(int mode);
