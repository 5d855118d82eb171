// Fuzz target: reading arbitrary settings files into a menu tree whose
// submenu leads back to the top (so blocks can nest without end). Afterwards
// every value must be usable: texts within their buffers, kinds changed only
// between the two text kinds, one-of values within their lists, visibility
// 0 to 2. The tree is then written again.
#include "TextMenu.h"
#include "utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

extern TextMenu Top;
char TopStates[] = "_a,_b,_c";
TextMenuItem SubItems[] = {
    {.pText = "back", .nKind = TMI_SUBMENU},
    {.pText = "count", .nKind = TMI_INT},
    {.pText = "name", .nKind = TMI_NAME},
    {.pText = "apply", .nKind = TMI_APPLY},
    {},
};
TextMenu Sub{.pTitle = "sub", .pItems = SubItems};
TextMenuItem TopItems[] = {
    {.pText = "text", .nKind = TMI_STRING},
    {.pText = "one", .nKind = TMI_ONE_OF, .pStates = TopStates},
    {.pText = "int", .nKind = TMI_INT},
    {.pText = "float", .nKind = TMI_FLOAT},
    {.pText = "sub", .nKind = TMI_SUBMENU},
    {.pText = "name", .nKind = TMI_NAME},
    {.pText = "action", .nKind = TMI_ACTION},
    {},
};
TextMenu Top{.pTitle = "top", .pItems = TopItems};

const int TopKinds[] = {TMI_STRING,  TMI_ONE_OF, TMI_INT,   TMI_FLOAT,
                        TMI_SUBMENU, TMI_NAME,   TMI_ACTION};
const int SubKinds[] = {TMI_SUBMENU, TMI_INT, TMI_NAME, TMI_APPLY};

void Check(const TextMenu &menu, const int *kinds) {
    for (int i = 0; menu.pItems[i].pText != nullptr; ++i) {
        const TextMenuItem &item = menu.pItems[i];
        bool text = kinds[i] == TMI_STRING || kinds[i] == TMI_NAME;
        if (item.nKind != kinds[i] &&
            !(text && (item.nKind == TMI_STRING || item.nKind == TMI_NAME)))
            __builtin_trap();
        if (item.nHidden < 0 || item.nHidden > 2) __builtin_trap();
        if (text && item.nValue != 0 &&
            strnlen(TextMenuText(&item), TextValueSize) >= TextValueSize)
            __builtin_trap();
        if (item.nKind == TMI_ONE_OF && (item.nValue < 0 || item.nValue >= 3)) __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TopItems[4].nValue = TextMenuWord(&Sub);
    SubItems[0].nValue = TextMenuWord(&Top);
    for (size_t k = 0; k < sizeof TopKinds / sizeof TopKinds[0]; ++k) {
        TopItems[k].nKind = TopKinds[k];
        TopItems[k].nHidden = 0;
    }
    for (size_t k = 0; k < sizeof SubKinds / sizeof SubKinds[0]; ++k) {
        SubItems[k].nKind = SubKinds[k];
        SubItems[k].nHidden = 0;
    }
    InitMenu(&Top);
    std::vector<char> text(data, data + size);
    pIn = fmemopen(text.data(), text.size() > 0 ? text.size() : 1, "r");
    if (pIn == nullptr) return 0;
    FileStatus = InputOpen;
    LoadMenu(&Top);
    CloseInputFile();
    Check(Top, TopKinds);
    Check(Sub, SubKinds);

    pOut = fopen("/dev/null", "w");
    StoreMenu(&Top);
    fclose(pOut);
    pOut = nullptr;
    FreeMenu(&Top);
    FreeMenu(&Sub);
    return 0;
}
