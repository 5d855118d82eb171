// Fuzz target: conditions and the submenu choice. The first eight bytes set
// the values and visibility of a small menu's items; the rest is a
// condition text, evaluated directly and as the conditions of a submenu
// item.
#include "TextMenu.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

inline constexpr int ItemCount = 8;
TextMenu Chosen{.pTitle = "chosen"};
// One entry for every condition the longest input can hold.
TextMenu *Menus[8192];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < ItemCount) return 0;
    for (TextMenu *&m : Menus)
        m = &Chosen;
    TextMenuItem items[ItemCount + 2] = {};
    for (int k = 0; k < ItemCount; ++k) {
        items[k].pText = "item";
        items[k].nKind = TMI_INT;
        items[k].nValue = data[k] % 4;
        items[k].nHidden = (data[k] >> 4) % 3;
    }
    std::string condition(reinterpret_cast<const char *>(data + ItemCount), size - ItemCount);
    condition = condition.c_str();
    items[ItemCount].pText = "submenu";
    items[ItemCount].nKind = TMI_SUBMENU;
    items[ItemCount].nValue = TextMenuWord(Menus);
    items[ItemCount].pFormat = condition.c_str();
    TextMenu menu{.pTitle = "fuzz", .pItems = items};

    for (int owner = 0; owner <= ItemCount; owner += 4) {
        int value = TestStateCondition(&menu, condition.c_str(), owner);
        if (value != 0 && value != 1) __builtin_trap();
    }
    int state = TestState(&menu, condition.c_str(), 3);
    if (state < 0 || state > 2) __builtin_trap();
    TextMenu *sub = ValidateMenu(&menu, ItemCount);
    if (sub != nullptr && sub != &Chosen) __builtin_trap();
    return 0;
}
