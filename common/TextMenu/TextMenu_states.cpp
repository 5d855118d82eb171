// TextMenu: item states, state actions and the conditions that choose a
// submenu.
//
// State actions (pFormat of kinds 9 and 10) are groups separated by blanks:
// an action letter, a state selector, and "{" list "}". N1{4,5} greys
// items 4 and 5 out while the item is in state 1 (index 1) and shows them
// otherwise; H hides; S1{7.3} presets item 7 to 3 and puts its old value
// aside until the state changes again; P*{8} re-runs item 8's actions and
// callback. Conditions (pFormat of kind 8) are separated by blanks; the k-th
// that holds chooses the k-th submenu of the item's array.
//
// Neither language uses the shared tokenizer: a P action runs other items'
// actions and callbacks in the middle of a group, so every scan here keeps
// its own position.
#include "TextMenu.h"

#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <cstring>

using namespace menu_detail;

namespace {

bool IsDigit(char c) {
    return isdigit(static_cast<unsigned char>(c)) != 0;
}

// Unsigned decimal digits at p (clamped); p moves past them.
int ReadDigits(const char *&p) {
    long long v = 0;
    while (IsDigit(*p)) {
        if (v < 1000000000) v = v * 10 + (*p - '0');
        ++p;
    }
    return int(v);
}

} // namespace

// ---------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------

void UpdateStateSelection(TextMenuItem *item) {
    if (item == nullptr) return;
    int n = item->nStates;
    if (n <= 0 || item->pStates == nullptr) {
        item->pState = "";
        return;
    }
    if (item->nKind != TMI_MANY_OF) {
        if (item->nValue < 0 || item->nValue >= n) item->nValue = 0;
        item->pState = GetTokenN(item->pStates, ",", int(item->nValue) + 1);
        for (int step = 0; step < n && item->pState != nullptr && item->pState[0] == ' '; ++step) {
            item->nPrevValue = int(item->nValue);
            item->nValue = (item->nValue + 1) % n;
            item->pState = GetTokenN(item->pStates, ",", int(item->nValue) + 1);
        }
    } else if (item->nValue >= 0 && item->nValue < n) {
        // A many-of item keeps its mask; the name is only a reference point.
        item->pState = GetTokenN(item->pStates, ",", int(item->nValue) + 1);
    } else {
        item->pState = nullptr;
    }
    if (item->pState == nullptr) item->pState = "";
}

void HideStateSelection(TextMenuItem *item, int n) {
    if (item == nullptr || n < 0 || n >= item->nStates) return;
    char *name = StateNameAt(item->pStates, n);
    if (name == nullptr) return;
    *name = ' ';
    UpdateStateSelection(item);
}

void ShowStateSelection(TextMenuItem *item, int n) {
    if (item == nullptr || n < 0 || n >= item->nStates) return;
    char *name = StateNameAt(item->pStates, n);
    if (name != nullptr) *name = '_';
}

// ---------------------------------------------------------------------------
// State actions
// ---------------------------------------------------------------------------

int TestFormatState(const char *selector, intptr_t value) {
    if (selector == nullptr) return 0;
    const char *p = selector;
    while (*p != '\0') {
        if (*p == '*') return 1;
        // A piece that does not begin with a digit counts as the number 0.
        int number = ReadDigits(p);
        if (number == value) return 1;
        while (*p != '\0' && !IsDigit(*p))
            ++p;
    }
    return 0;
}

namespace {

// Items whose actions are being applied, so that P actions naming each other
// end instead of recursing for ever.
struct ActiveItem {
    const TextMenu *menu;
    int index;
};
inline constexpr int MaxActive = 64;
ActiveItem Active[MaxActive];
int ActiveCount = 0;

bool IsActive(const TextMenu *menu, int index) {
    for (int k = 0; k < ActiveCount; ++k)
        if (Active[k].menu == menu && Active[k].index == index) return true;
    return false;
}

bool EndsEntry(char c) {
    return c == '\0' || c == ',' || c == '}' || c == ' ' || c == '\t' || c == '\n';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// S on item k: a value preset while the state selector matches. Only items
// whose value is a plain number take part (a text or submenu word must never
// be replaced by a number).
void ApplySet(TextMenu *menu, int k, bool match, int v) {
    TextMenuItem *target = ItemAt(menu, k);
    if (target == nullptr) return;
    int kind = target->nKind;
    if (kind != TMI_ONE_OF && kind != TMI_MANY_OF && kind != TMI_INT) return;
    if (match) {
        if (kind == TMI_ONE_OF && (v < 0 || v >= CountStates(target->pStates))) return;
        // Put aside only the user's own value, not an earlier preset.
        if (target->nSavedValue < 0) target->nSavedValue = int(target->nValue);
        target->nValue = v;
    } else if (target->nSavedValue >= 0) {
        target->nValue = target->nSavedValue;
        target->nSavedValue = -1;
    }
}

void ApplyEntry(TextMenu *menu, char action, bool match, int k, int v, bool hasValue) {
    switch (action) {
    case 'N':
    case 'H': {
        TextMenuItem *target = ItemAt(menu, k);
        if (target != nullptr)
            target->nHidden = match ? (action == 'N' ? TMH_GREY : TMH_GONE) : TMH_SHOWN;
        break;
    }
    case 'S':
        if (hasValue) ApplySet(menu, k, match, v);
        break;
    case 'P':
        if (match && ItemAt(menu, k) != nullptr && !IsActive(menu, k)) {
            ProcessStateFormat(menu, k);
            // The callback may rebuild the array: fetch the item again.
            TextMenuItem *target = ItemAt(menu, k);
            if (target != nullptr && target->pfnAction != nullptr) target->pfnAction(menu, target);
        }
        break;
    default:
        break;
    }
}

} // namespace

void ProcessStateFormat(TextMenu *menu, int index) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr || item->pFormat == nullptr || item->nHidden != TMH_SHOWN) return;
    if (IsActive(menu, index) || ActiveCount >= MaxActive) return;
    Active[ActiveCount++] = {menu, index};

    const char *f = item->pFormat;
    while (*f != '\0') {
        while (IsBlank(*f))
            ++f;
        if (*f == '\0') break;
        char action = *f++;
        // The state selector runs up to the "{".
        char selector[64];
        size_t n = 0;
        while (*f != '\0' && *f != '{' && !IsBlank(*f)) {
            if (n < sizeof selector - 1) selector[n++] = *f;
            ++f;
        }
        selector[n] = '\0';
        if (*f != '{') continue; // no list: the group is incomplete
        ++f;
        // The item's value is read again for every group: a P action in an
        // earlier group may have run callbacks that changed it.
        TextMenuItem *self = ItemAt(menu, index);
        if (self == nullptr) break;
        bool match = TestFormatState(selector, self->nValue) != 0;
        for (;;) {
            const char *start = f;
            int k = ReadDigits(f);
            bool hasK = f != start;
            int v = 0;
            bool hasValue = false;
            if (*f == '.') {
                ++f;
                bool negative = *f == '-';
                if (negative) ++f;
                const char *vs = f;
                v = ReadDigits(f);
                if (negative) v = -v;
                hasValue = f != vs;
            }
            while (!EndsEntry(*f))
                ++f;
            if (hasK) ApplyEntry(menu, action, match, k, v, hasValue);
            if (*f == ',') {
                ++f;
                continue;
            }
            if (*f == '}') ++f;
            break;
        }
    }
    --ActiveCount;
}

// ---------------------------------------------------------------------------
// Conditions
// ---------------------------------------------------------------------------

int TestState(TextMenu *menu, const char *term, int owner) {
    if (term == nullptr) return 0;
    const char *p = term;
    while (IsBlank(*p))
        ++p;
    int sign = 0;
    if (*p == '+' || *p == '-') sign = *p++ == '+' ? 1 : -1;
    const char *start = p;
    long long k = ReadDigits(p);
    if (p == start || *p != '.') return 0;
    ++p;
    bool negative = *p == '-';
    if (negative) ++p;
    start = p;
    long long v = ReadDigits(p);
    if (p == start) return 0;
    if (negative) v = -v;
    if (sign != 0) k = owner + sign * k;
    if (k < 0 || k > 1000000000) return 0;
    TextMenuItem *item = ItemAt(menu, int(k));
    if (item == nullptr || item->nValue != v) return 0;
    return item->nHidden == TMH_SHOWN ? 1 : 2;
}

namespace {

// One evaluation: the reading position is shared by the nested operands and
// groups, which hand it back where they stopped.
struct Condition {
    TextMenu *menu;
    int owner;
    const char *p;
    int depth; // open parentheses
};

inline constexpr int MaxConditionDepth = 200;

bool EndsTerm(char c) {
    return c == '\0' || c == '&' || c == '|' || c == '!' || c == '(' || c == ')';
}

int Expression(Condition &c);

int Operand(Condition &c) {
    bool negate = false;
    for (;;) {
        if (*c.p == '!') {
            negate = !negate;
            ++c.p;
        } else if (*c.p == ')' && c.depth == 0) {
            ++c.p; // a ")" without an open parenthesis is skipped
        } else {
            break;
        }
    }
    int value = 0;
    if (*c.p == '(') {
        ++c.p;
        if (c.depth >= MaxConditionDepth) {
            // Too deep to be meant: the group counts as false.
            int open = 1;
            while (*c.p != '\0' && open > 0) {
                if (*c.p == '(') ++open;
                if (*c.p == ')') --open;
                ++c.p;
            }
        } else {
            ++c.depth;
            value = Expression(c);
            --c.depth;
            if (*c.p == ')') ++c.p;
        }
    } else if (!EndsTerm(*c.p)) {
        char term[128];
        size_t n = 0;
        while (!EndsTerm(*c.p)) {
            if (n < sizeof term - 1) term[n++] = *c.p;
            ++c.p;
        }
        bool onlyGreyed = n > 0 && term[n - 1] == 'A';
        if (onlyGreyed) --n;
        term[n] = '\0';
        int state = TestState(c.menu, term, c.owner);
        value = onlyGreyed ? state == 2 : state != 0;
    }
    return negate ? !value : value;
}

int Expression(Condition &c) {
    int value = Operand(c);
    for (;;) {
        char op = *c.p;
        if (op == '&' || op == '|') {
            ++c.p;
            int next = Operand(c); // every operand is evaluated
            value = op == '&' ? (value && next) : (value || next);
        } else if (op == ')') {
            if (c.depth > 0) return value; // the group's caller takes it
            ++c.p;
        } else {
            // End of the text, or an operand not joined by an operator.
            return value;
        }
    }
}

} // namespace

int TestStateCondition(TextMenu *menu, const char *condition, int owner) {
    if (condition == nullptr) return 0;
    Condition c{menu, owner, condition, 0};
    return Expression(c) ? 1 : 0;
}

TextMenu *ValidateMenu(TextMenu *menu, int index) {
    TextMenuItem *item = ItemAt(menu, index);
    if (item == nullptr || item->nKind != TMI_SUBMENU || item->nHidden != TMH_SHOWN) return nullptr;
    if (item->pFormat == nullptr) return reinterpret_cast<TextMenu *>(item->nValue);
    auto *const *menus = reinterpret_cast<TextMenu *const *>(item->nValue);
    if (menus == nullptr) return nullptr;
    const char *p = item->pFormat;
    for (int k = 0;; ++k) {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0') return nullptr;
        char condition[512];
        size_t n = 0;
        while (*p != '\0' && !IsBlank(*p)) {
            if (n < sizeof condition - 1) condition[n++] = *p;
            ++p;
        }
        condition[n] = '\0';
        if (TestStateCondition(menu, condition, index)) return menus[k];
    }
}
