// HelpTty: the terminal help menu. It shows the current help page (html.h)
// as a text menu: the page's text, one numbered entry per link, and the
// fixed entries Exit Help, Contents and Back. Choosing an entry follows the
// link (to a target of the same file, another file, or a redirect text) and
// shows the page reached. The menu engine opens it on the key h: a program
// that offers help sets pfnTtyHtmlHelp = TtyHtmlHelp (TextMenu.h) and keeps
// pTtyHtmlName, pTtyHtmlData and pTtyHtmlTitle on its current help page.
//
// Redirect names ("guide$$printers.redirect") name a help text held in the
// printer help store (the language store "PrtHelp", db/<language>/PrtHelp.udb
// of the tool path) instead of a file; the text is loaded as a help file
// registered under its key ("printers").
//
// Ownership: the help menu owns its item array, the link labels, the fixed
// labels fetched from the core string store and its title, and keeps them
// between runs (TtyHelpFreeAll releases them). The page texts and anchors the
// items point at belong to the help registry (html.h). pPrtHelpDB is opened
// on first need and kept for the process, unless the program sets it first.
//
// Single-threaded: the menu and its items are process-wide.
#pragma once

#include "Dbm.h"
#include "TextMenu.h"

#include <cstddef>

inline constexpr int HelpCommonItemCount = 6; // the fixed tail, end mark included
inline constexpr int HelpExtraItems = 7;      // page text + the fixed tail
inline constexpr size_t RedirectKeySize = 64; // a redirect key: 63 characters
inline constexpr size_t HelpNameSize = 2048;  // a name buffer CheckForRedirect may fill
inline constexpr int HelpLabelMax = 127;      // characters of a link label or the title
inline constexpr int HelpLabelGroup = 20;     // the fixed labels: 20/150 to 20/152
inline constexpr int HelpTitleGroup = 30;     // the title: 30/22, "%s Help"
inline constexpr int HelpTitleIndex = 22;
inline constexpr char PrtHelpStoreName[] = "PrtHelp"; // the printer help store

static_assert(HelpNameSize == TtyHtmlNameSize, "the run loop hands over a buffer of this size");

// The printer help store (redirect texts).
extern DbT *pPrtHelpDB;
// The help menu: style 1, TMF_STAY | TMF_REINIT | TMF_KIND_BEFORE | TMF_COMPACT.
extern TextMenu HelpMenu;
// The items of the page shown (null until first built) and its slot count.
extern TextMenuItem *HelpMenuItems;
extern int HelpMenuItemCnt;
// The fixed tail of every help menu: two empty grid headers, Exit Help,
// Contents, Back, and the end mark.
extern TextMenuItem HelpCommonItems[HelpCommonItemCount];
// The key found by CheckForRedirect.
extern char RedirectKey[RedirectKeySize];

// Open help on a file (name may carry "#target", or be a redirect name) or
// on text given for it, and run the help menu until the user leaves it with
// Exit Help. name is a writable buffer of HelpNameSize bytes that a redirect
// name's text replaces; data (the file's contents, or null to read the file)
// is not changed. Nothing happens without a name or a title; a file that
// cannot be loaded is reported on standard output. The menu shows the
// catalogue title (30/22), or title when the catalogue has none.
void TtyHtmlHelp(char *name, char *data, char *title);

// Rebuild HelpMenuItems for pCurrentPage: the page text, an entry for each
// anchor that leads somewhere, then HelpCommonItems with their labels fetched
// again; and the title. The array grows as needed; when it cannot, the old
// array is kept and the entries that do not fit are left out.
void TtyHelpBuildMenuItems();
// Make room for count items in HelpMenuItems (new slots zero-filled). 1 when
// there is room; 0, with the array and HelpMenuItemCnt unchanged, when
// memory cannot be had.
int TtyHelpReserveItems(size_t count);

// Item callbacks of the help menu. TtyHelpGotoLink follows the anchor held
// in the item's pUserData and rebuilds the items; it yields non-zero, so the
// menu is not prepared again. TtyHelpContents and TtyHelpBack return to the
// first page of the first help file (emptying the history) or go back one
// history entry, rebuild the items and yield 0; with an empty history they
// change nothing and yield 1.
int TtyHelpGotoLink(TextMenu *menu, TextMenuItem *item);
int TtyHelpContents(TextMenu *menu, TextMenuItem *item);
int TtyHelpBack(TextMenu *menu, TextMenuItem *item);

// A redirect name holds "$$", and the first "." after it begins ".redirect"
// (any case). For one, the "." is overwritten with a terminator and the key
// (the text after "$$") is returned, pointing into name; otherwise null and
// name is unchanged.
char *FindRedirect(char *name);
// For a redirect name in the writable buffer name (HelpNameSize bytes): the
// key, cut at 63 characters, goes to RedirectKey; the buffer receives the
// text stored under the key in the printer help store (at most 2047
// characters), or the key itself when the store has none; yields
// RedirectKey. Otherwise null, and name is unchanged.
char *CheckForRedirect(char *name);
// The printer help store, opened on first need (the language's store, or the
// English one when that has no texts); null when there is none.
DbT *TtyHelpPrtHelpDB();

// Release the help menu's items, labels and title and close the printer
// help store, as at program start (for tests and programs done with help).
void TtyHelpFreeAll();
