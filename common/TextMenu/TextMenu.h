// TextMenu: question-and-answer menus for plain character terminals.
//
// A program declares a menu tree as static data: one TextMenu record per
// menu and an array of TextMenuItem records ended by an item whose pText is
// null. RunMenu draws the menu as numbered lines, reads one answer line at a
// time from standard input and acts on it: a number or hot key chooses an
// item, "3 value" gives item 3 a value without a further question, an empty
// answer leaves. Items cycle through named states, take checked entries,
// open submenus, run callbacks, and can show, grey out or hide each other
// through state actions. The values of a menu tree can be stored in and
// restored from a settings file.
//
// Sections: the model (TextMenu_model.cpp) and settings files
// (TextMenu_settings.cpp), entry validation (TextMenu_validate.cpp), states,
// state actions and conditions (TextMenu_states.cpp), the character screen
// buffer (TextMenu_screen.cpp), drawing and the pick-list screen
// (TextMenu_draw.cpp), the run loop (TextMenu_run.cpp), prompts and
// pass-phrase entry (TextMenu_prompt.cpp); the catalogue texts they share
// (TextMenu_text.cpp, each named in TextMenu_private.h).
// Every fixed label and message comes from the core string store (NlsUtils.h,
// groups 25 and 30); NlsTtyMenuItem...Cvt fill item texts from group 25. A
// program built on the engine prints its own translated formats the way the
// engine does, checked against its English model: NlsCorePrintf and
// NlsCoreSnprintf (NlsUtils.h).
//
// Ownership: the records and their texts belong to the caller, except the
// 256-byte value buffers of text items (kinds TMI_NAME and TMI_STRING):
// InitMenu allocates one with GetMem for every such item whose nValue is
// null, and FreeMenu releases them (so a caller that presets nValue of a text
// item gives a GetMem block). pStates is changed in place and must be
// writable. pState points into the shared tokenizer's GetTokenBuf (utils.h)
// and is valid only until the next tokenizer call. PromptUser (without a
// buffer) and GetPassPhrase return new texts the caller releases with PutMem.
//
// Single-threaded: the engine uses process-wide buffers (LineBuf, pOption,
// NlsBuf, pIn, pOut) and must not be entered from two threads.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

struct TextMenu;
struct TextMenuItem;

// Callbacks. An item callback returns 0 for success (kinds 4 to 7).
using TextMenuFn = void (*)(TextMenu *menu);
using TextMenuItemFn = int (*)(TextMenu *menu, TextMenuItem *item);

// Behaviour flags of TextMenu::nFlags.
inline constexpr uint16_t TMF_STAY = 0x0001;        // an empty answer does not leave
inline constexpr uint16_t TMF_HELP = 0x0002;        // h opens help; the help hint is shown
inline constexpr uint16_t TMF_KEEP = 0x0004;        // no FreeMenu when left by an exit/apply item
inline constexpr uint16_t TMF_STORE_ASK = 0x0008;   // s asks for a settings file and stores there
inline constexpr uint16_t TMF_STORE_QUIT = 0x0010;  // s stores in ".settings" and ends (status 0)
inline constexpr uint16_t TMF_REINIT = 0x0040;      // InitMenu again after an action item succeeds
inline constexpr uint16_t TMF_KIND_BEFORE = 0x0080; // leave by the kind before processing
inline constexpr uint16_t TMF_COMPACT = 0x0100;     // no blank line between items

// Item kinds (TextMenuItem::nKind).
enum TextMenuKind : int {
    TMI_TEXT = 0,     // text line, drawn unchanged, no key
    TMI_GRID = 1,     // grid header: rows begun by TMI_TEXT items (nValue columns)
    TMI_LINE = 2,     // line drawn with a number, no key of its own
    TMI_GRID_ALL = 3, // grid header taking every following item (nValue columns)
    TMI_APPLY = 4,    // name entries must be filled; callback; leave
    TMI_NOFILE = 5,   // callback when the settings file given to RunMenu cannot be opened
    TMI_EXIT = 6,     // callback, then leave
    TMI_ACTION = 7,   // callback, stay
    TMI_SUBMENU = 8,  // nValue: the submenu, or an array of submenus chosen by pFormat
    TMI_ONE_OF = 9,   // one of the states of pStates (nValue: the state index)
    TMI_MANY_OF = 10, // many of the states (nValue: bit k-1 for state k)
    TMI_NAME = 11,    // name entry (256-byte text buffer); must be filled before applying
    TMI_STRING = 12,  // text entry (256-byte text buffer)
    TMI_INT = 13,     // integer entry
    TMI_FLOAT = 14,   // floating-point entry (single precision, its bits in nValue)
};

// TextMenuItem::nHidden.
enum TextMenuHidden : int {
    TMH_SHOWN = 0, // shown and selectable
    TMH_GREY = 1,  // shown without key, not selectable
    TMH_GONE = 2,  // neither shown nor selectable
};

// Every field has a default, so that a program declares only what an item
// or menu uses, for example {"~q Quit", TMI_EXIT} or
// {.pText = "Copies", .nKind = TMI_INT, .nDefault = 1, .pFormat = "d(1,99)"}.
struct TextMenu {
    const char *pTitle = nullptr;      // may hold several lines; only the first is measured
    int nStyle = 0;                    // 0 plain, 1 centred, 2 right-aligned
    const char *pSavePrompt = nullptr; // question when leaving after a change; null: none
    TextMenuFn pfnDone = nullptr;      // apply callback
    TextMenu *pParent = nullptr; // the menu this one was opened from (named in the leave question)
    TextMenuFn pfnEnter =
        nullptr; // run at start, after a submenu returns, after declining to leave
    TextMenuItem *pItems = nullptr; // ended by an item whose pText is null
    uint16_t nFlags = 0;            // TMF_ flags
};

struct TextMenuItem {
    const char *pText = nullptr;   // label; "~x rest" makes x the key. Null ends the array
    int nKind = 0;                 // a TextMenuKind
    int nHidden = 0;               // a TextMenuHidden
    const char *pPrompt = nullptr; // entry prompt, shown as "%s: "
    char *pStates = nullptr; // kinds 9, 10: "_a,_b, c" (first character: "_" shown, " " hidden)
    const char *pState = nullptr;       // kind 9: the current state's name (in GetTokenBuf)
    intptr_t nDefault = 0;              // default value, same representation as nValue
    intptr_t nValue = 0;                // current value; see the kinds
    int nPrevValue = 0;                 // value before the last change (kinds 9, 10)
    TextMenuItemFn pfnAction = nullptr; // item callback
    int nTextLen = 0;                   // length of pText (InitMenu)
    const char *pFormat = nullptr; // entry format; kind 8: conditions; kinds 9, 10: state actions
    int nSavedValue = -1;          // value put aside by an S action; -1 when none
    int nStates = 0;               // number of names in pStates (InitMenu)
    void *pUserData = nullptr;     // the item owner's word; never read by the engine
    int nKey = 0;                  // selection key (InitMenu): a number, or the "~" character
};

// Value words. A text value or a submenu is a pointer held in the word; a
// float value is its single-precision bit pattern.
inline intptr_t TextMenuWord(const void *pointer) {
    return reinterpret_cast<intptr_t>(pointer);
}
constexpr intptr_t TextMenuFloat(float value) {
    return intptr_t(std::bit_cast<uint32_t>(value));
}
constexpr float TextMenuGetFloat(intptr_t word) {
    return std::bit_cast<float>(uint32_t(uintptr_t(word)));
}
inline char *TextMenuText(const TextMenuItem *item) {
    return reinterpret_cast<char *>(item->nValue);
}

inline constexpr int TextValueSize = 256;     // value buffer of a text item (255 characters)
inline constexpr int TextMenuMaskBits = 31;   // states a many-of item can select
inline constexpr int TextMenuMaxDepth = 32;   // nesting of submenus in settings files
inline constexpr size_t NlsBufSize = 2048;    // ValidateEntryLen's message
inline constexpr size_t PassPhraseSize = 257; // 256 characters and the terminator

// A global request to leave every running menu after the current selection.
extern uint8_t flExitTextMenu;
// Set to 1 by every LoadMenu.
extern uint8_t flLoadedSettings;

// ---------------------------------------------------------------------------
// Menu model and settings files
// ---------------------------------------------------------------------------

// Prepare every item (lengths, keys, state counts, value buffers, defaults,
// states and state actions); the length of the longest label, 0 for an
// empty item array.
int InitMenu(TextMenu *menu);
// Release the value buffers of the text items (their nValue becomes 0).
void FreeMenu(TextMenu *menu);
// The first item of the kind, or null.
TextMenuItem *FindTextMenuItem(TextMenu *menu, int kind);
// Write the values of the menu tree to pOut (utils.h), one "i[value] kind
// hidden" line per valued item, then "i{" ... "}" for each available submenu.
void StoreMenu(TextMenu *menu);
// Restore values from pIn (opened with OpenInputFile) up to its end or to the
// "}" that ends this menu's block.
void LoadMenu(TextMenu *menu);

// Item texts from the core string store (NlsUtils.h; NlsTtyMenuCvt there
// fetches a single text): for item i = 0 .. count - 1, a new copy of text
// 25/(first + i), cut at 127 characters, into the item's pText, pStates or
// pPrompt respectively (the caller owns them; earlier texts are not
// released). The texts are taken unchanged: their hot-key marks and state
// lists are read by the engine. A missing text gives its key.
void NlsTtyMenuItemCvt(TextMenuItem *items, int first, int count);
void NlsTtyMenuItemStateCvt(TextMenuItem *items, int first, int count);
void NlsTtyMenuItemPromptCvt(TextMenuItem *items, int first, int count);

// ---------------------------------------------------------------------------
// Entry validation
// ---------------------------------------------------------------------------

// Result codes of ValidateEntry.
enum ValidateResult : int {
    VE_OK = 0,        // accepted
    VE_RANGE = 1,     // number out of range, or more than one "." in a float
    VE_LENGTH = 2,    // text length out of range
    VE_CHARACTER = 3, // character not allowed, or literal mismatch
    VE_FORBIDDEN = 4, // forbidden entry
};

// The kept range messages (25/1003, 25/1004, 25/1024), fetched on first need.
extern char *pErrIntRange;
extern char *pErrFloatRange;
extern char *pErrLongRange;
// ValidateEntryLen's message.
extern char NlsBuf[NlsBufSize];

// Test entry against format; every rejection is shown with PostMsg. A null
// format accepts.
int ValidateEntry(const char *entry, const char *format);
// A digit string against a length range "(min,max)": 0, 2 (length) or 3.
int ValidateEntryTty(const char *entry, const char *range);
// Null when the length of entry lies within range (null range: 4 to 4),
// else the length message in NlsBuf.
char *ValidateEntryLen(const char *entry, const char *range);
// The first character of entry that is not a decimal digit, or 0.
int ValidateEntryDigit(const char *entry);
// max of a range such as "(2,8)" or "2-8"; *min receives min. A missing max
// equals min.
int getMinMax(const char *range, int *min);

// ---------------------------------------------------------------------------
// States, state actions and conditions
// ---------------------------------------------------------------------------

// A term "k.v", "+k.v" or "-k.v": 0 when item k does not have value v,
// 1 when it has it and is selectable, 2 when it has it but is not.
int TestState(TextMenu *menu, const char *term, int owner);
// Evaluate a condition of terms, "A" suffixes, "!", "&", "|" and
// parentheses from left to right; 1 or 0.
int TestStateCondition(TextMenu *menu, const char *condition, int owner);
// The submenu a kind-8 item leads to, or null.
TextMenu *ValidateMenu(TextMenu *menu, int index);
// 1 when the state selector ("*", or numbers) matches value.
int TestFormatState(const char *selector, intptr_t value);
// Apply the state actions (N, H, S, P groups) of item index.
void ProcessStateFormat(TextMenu *menu, int index);
// Settle pState (and, for kind 9, the value) on a shown state.
void UpdateStateSelection(TextMenuItem *item);
// Mark state n (from 0) hidden / shown.
void HideStateSelection(TextMenuItem *item, int n);
void ShowStateSelection(TextMenuItem *item, int n);

// ---------------------------------------------------------------------------
// Character screen buffer
// ---------------------------------------------------------------------------

inline constexpr int ScreenMaxColumns = 4095; // Refresh's line buffer holds 4096 bytes
inline constexpr int ScreenMaxRows = 1000;

struct TextScreen {
    int nColumns = 0; // width in characters
    int nRows = 0;    // height in lines
    int nX = 0;       // column of the next WriteString, from 0
    int nY = 0;       // line of the next WriteString, from 1
    int nOvlX = 0;    // top-left corner of the Overlay box
    int nOvlY = 0;
    int nOvlWidth = 0; // text area of the Overlay box
    int nOvlHeight = 0;
    char *pCells = nullptr; // nColumns * nRows characters, line after line
};

// The screen record of the terminal: screen updated (or, when null, a new
// record made) with the terminal's size and a blank cell buffer of that size.
TextScreen *GetTermInfo(TextScreen *screen);
// Terminal hooks: nothing to do on a terminal without cursor addressing.
void MoveCursor(TextScreen *screen, int x, int y);
void ClearScreen(TextScreen *screen);
void SetPosition(TextScreen *screen, int x, int y);
void SetOvlInfo(TextScreen *screen, int x, int y, int width, int height);
// Place formatted text at the cursor (the cursor does not move).
[[gnu::format(printf, 2, 3)]] void WriteString(TextScreen *screen, const char *format, ...);
// Fill a rectangle (y from 0), clipped to the screen.
void FillArea(TextScreen *screen, int x, int y, int width, int height, char c);
// Send the cells to standard output; 0.
int Refresh(TextScreen *screen);
// A boxed notice on standard output; with wait, read one character.
void Overlay(TextScreen *screen, const char *text, int wait);
// Fill the cells with a digit pattern.
void NumberScreen(TextScreen *screen);

// ---------------------------------------------------------------------------
// Drawing and the pick-list screen
// ---------------------------------------------------------------------------

inline constexpr int PickMaxColumns = 512; // columns of states measured
inline constexpr size_t CurSelSize = 64;   // current-selection text: 63 characters

// The pick-list texts (25/201 to 25/205), fetched on the first page drawn.
extern char *PMATTYMENU_SAVE;
extern char *PMATTYMENU_CANCEL;
extern char *PMATTYMENU_CURSEL;
extern char *PMATTYMENU_CURSELTRUNC;
extern char *PMATTYMENU_OPTION;

// Draw the menu on standard output; the number of items in the array.
int PrintMenu(TextMenu *menu, int longest, int titleWidth);
// Draw the grid that header (kind 1 or 3) begins; index and keys advance
// with the items taken; the last item taken.
TextMenuItem *PrintMenuBarItem(TextMenuItem *header, int kind, int *index, int *keys);
// Draw the page of states of item beginning at state first; the number of
// states drawn (0 when the list ends before the page is full, so that the
// next page is the first again), or -1 when nothing can be drawn (screen too
// small, or first beyond the list). *hidden receives the page's hidden
// states (bit k for the page's state k).
int PrintPickOneManyScreen(TextMenuItem *item, intptr_t *hidden, int first);
// Longest state name of each column of rows - 6 states; the largest.
int GetColumnWidths(TextScreen *screen, TextMenuItem *item, int *widths);
void WriteScreenFrame(TextScreen *screen, TextMenuItem *item, const char *current);

// ---------------------------------------------------------------------------
// Run loop
// ---------------------------------------------------------------------------

// The rest of the answer after its first word ("3 hello" gives "hello").
extern char *pOption;

// The help viewer, opened by the key h in a menu with TMF_HELP. The help
// facility provides TtyHtmlHelp; a program that offers help sets
// pfnTtyHtmlHelp = TtyHtmlHelp once at start. While it is null, h does
// nothing. The name is passed in a writable buffer of TtyHtmlNameSize bytes.
using TtyHtmlHelpFn = void (*)(char *name, char *data, char *title);
extern TtyHtmlHelpFn pfnTtyHtmlHelp;
inline constexpr size_t TtyHtmlNameSize = 2048;
// The current help page, kept by the program: file name, text (or null to
// read the file) and title.
extern const char *pTtyHtmlName;
extern const char *pTtyHtmlData;
extern const char *pTtyHtmlTitle;

// Run the menu: prepare it, restore values from the settings file (when
// given), then draw, read and act until the user leaves; without interactive
// only the apply callback runs. 0.
int RunMenu(TextMenu *menu, const char *settingsFile, int interactive);
// The index plus 1 of the item the answer in LineBuf chooses, or 0 (also
// after the keys h and s). The settings of the key s are written beside
// their file and renamed over it once complete: a failed write leaves an
// earlier file as it was, is reported ("ERROR: can't write file, <path> :
// <system error text>") and, with TMF_STORE_QUIT, does not end the program.
int FindSelection(TextMenu *menu, int count);
// Carry out item index; 1 when it changed something or completed.
int ProcessSelection(TextMenu *menu, int index, char *option);
// The pick-list dialogue of a state item.
void ProcessStateValue(TextMenu *menu, int index, char *option);
// 1 when every name entry is filled, else 0 after telling the user.
int TestNames(TextMenu *menu);

// ---------------------------------------------------------------------------
// Prompts, notices and pass-phrase entry
// ---------------------------------------------------------------------------

// Seconds GetPassPhrase waits for each character (60).
extern int nPassPhraseWait;
// The signal caught during GetPassPhrase (0 when none).
extern volatile int signo;

// "<question>? [y/n] " until the answer starts with y (1) or n (0); end of
// input answers no.
[[gnu::format(printf, 1, 2)]] int PromptYN(const char *question, ...);
// The notice, then "Press <Return> to continue"; waits for a line.
[[gnu::format(printf, 1, 2)]] void PostMsg(const char *format, ...);
// Print prompt, read the answer: into buffer (4096 bytes) and return it, or
// without a buffer a new text (at most 1023 characters). End of input gives
// an empty answer.
char *PromptUser(const char *prompt, char *buffer);
// The same into a buffer of size bytes.
char *PromptUserN(const char *prompt, char *buffer, size_t size);
// 1 when name holds only letters, digits, "_" and "-"; else tells the user, 0.
int TestName(const char *name);
// Read a pass phrase from the controlling terminal with echo off (new text,
// at most 256 characters, without its line end).
char *GetPassPhrase(const char *prompt);
// The signal handler of GetPassPhrase: notes the signal in signo.
void handler(int signal);
