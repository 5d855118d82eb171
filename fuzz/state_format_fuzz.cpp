// Fuzz target: state actions. Every item of a small menu of all value kinds
// but the submenu carries the input as its state actions (so P actions run
// each other), and the actions are applied from each item. Afterwards text
// and submenu words must be untouched and one-of values within their lists.
#include "TextMenu.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int Calls = 0;

int Callback(TextMenu *menu, TextMenuItem *) {
    // A callback that reads the menu the way application code does.
    ++Calls;
    return ValidateMenu(menu, 5) != nullptr ? 0 : 1;
}

TextMenu Sub{.pTitle = "sub"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    std::string format(reinterpret_cast<const char *>(data + 1), size - 1);
    format = format.c_str();
    char states[2][32] = {"_a,_b, c", "_x,_y,_z,_w"};
    char text[TextValueSize] = "text";
    TextMenuItem items[] = {
        {.pText = "one", .nKind = TMI_ONE_OF, .pStates = states[0]},
        {.pText = "many", .nKind = TMI_MANY_OF, .pStates = states[1], .nValue = 5},
        {.pText = "int", .nKind = TMI_INT, .nValue = 42},
        {.pText = "text", .nKind = TMI_STRING, .nValue = TextMenuWord(text)},
        {.pText = "float", .nKind = TMI_FLOAT, .nValue = TextMenuFloat(1.5f)},
        {.pText = "sub", .nKind = TMI_SUBMENU, .nValue = TextMenuWord(&Sub)},
        {.pText = "action", .nKind = TMI_ACTION},
        {},
    };
    TextMenu menu{.pTitle = "fuzz", .pItems = items};
    for (TextMenuItem &item : items) {
        if (item.pText == nullptr) break;
        // A submenu item's format lists the conditions that choose among an
        // array of menus of the same length, both written by the program;
        // this one names a single menu and keeps no format.
        if (item.nKind != TMI_SUBMENU) item.pFormat = format.c_str();
        item.pfnAction = Callback;
        item.nStates = item.pStates != nullptr ? 3 + (item.nKind == TMI_MANY_OF) : 0;
    }
    items[0].nValue = data[0] % 3;
    items[1].nValue = data[0] >> 2;

    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 7; ++i) {
            ProcessStateFormat(&menu, i);
            if (TextMenuText(&items[3]) != text) __builtin_trap();
            if (items[5].nValue != TextMenuWord(&Sub)) __builtin_trap();
            if (items[0].nValue < 0 || items[0].nValue >= 3) __builtin_trap();
            for (const TextMenuItem &item : items)
                if (item.pText != nullptr && (item.nHidden < 0 || item.nHidden > 2))
                    __builtin_trap();
        }
        items[0].nValue = (items[0].nValue + 1) % 3;
    }
    UpdateStateSelection(&items[0]);
    HideStateSelection(&items[1], data[0] % 8);
    ShowStateSelection(&items[1], data[0] % 5);
    (void)TestFormatState(format.c_str(), data[0]);
    return 0;
}
