// menudemo: a printer-queue configuration dialogue built on the text menu
// engine (TextMenu.h). It asks for a queue name, the connection (whose state
// shows or hides the host, port and device entries and presets the port),
// host, port, device, copies and paper width as checked entries, a set of
// features through the pick-list, advanced settings in a submenu chosen by
// the connection, and offers hot keys for a test page, the administrator
// pass phrase, restoring the defaults, applying and quitting. The key s
// stores the settings in a file; a settings file named on the command line
// is restored at start. The key h opens the help pages installed beside the
// program (help/menudemo.html) in the terminal help viewer (HelpTty.h).
//
//   menudemo [-n] [settings file]
//
// -n applies the settings without asking anything (the queue definition is
// printed). Labels and messages come from group 40 of the core string store.
#include "Dbm.h"
#include "HelpTty.h"
#include "MemMgr.h"
#include "NlsUtils.h"
#include "TextMenu.h"
#include "utils.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

inline constexpr int DemoGroup = 40;

// Texts of group 40.
enum DemoText : int {
    TitleText = 1,
    SavePromptText = 2,
    NetworkTitleText = 3,
    LocalTitleText = 4,
    KeepPromptText = 5,
    IntroText = 10,
    QueueText = 11,
    QueuePromptText = 12,
    ConnectionText = 13,
    ConnectionStatesText = 14,
    HostText = 15,
    HostPromptText = 16,
    PortText = 17,
    PortPromptText = 18,
    DeviceText = 19,
    DevicePromptText = 20,
    CopiesText = 21,
    CopiesPromptText = 22,
    WidthText = 23,
    WidthPromptText = 24,
    FeaturesText = 25,
    FeatureStatesText = 26,
    AdvancedText = 27,
    TestPageText = 28,
    PassPhraseText = 29,
    DefaultsText = 30,
    ApplyText = 31,
    QuitText = 32,
    NoFileText = 33,
    TimeoutText = 40,
    TimeoutPromptText = 41,
    RetriesText = 42,
    RetriesPromptText = 43,
    StatusText = 44,
    StatusStatesText = 45,
    AcceptText = 46,
    SpeedText = 47,
    SpeedStatesText = 48,
    FlowText = 49,
    FlowStatesText = 50,
    QueueLineText = 60,
    ConnectionLineText = 61,
    HostLineText = 62,
    DeviceLineText = 63,
    CopiesLineText = 64,
    WidthLineText = 65,
    FeaturesLineText = 66,
    NetworkLineText = 67,
    LocalLineText = 68,
    PassPhraseLineText = 69,
    TestPageMessageText = 70,
    PassPhrasePromptText = 71,
    RepeatPromptText = 72,
    MismatchText = 73,
    PassPhraseSetText = 74,
    NoSettingsText = 75,
    UsageText = 76,
    NotAppliedText = 77,
};

// A new copy of text 40/index (kept for the life of the program).
char *Text(int index) {
    char *text = NlsFetchString(NlsGetCoreDB(), nullptr, NlsByIndex, DemoGroup, index);
    if (text == nullptr || text == pNlsFallback) return SaveStr_(text != nullptr ? text : "");
    return text;
}

// Print format 40/index with the arguments. The stored text is used only
// when it takes the same arguments as the built-in English model
// (NlsCorePrintf).
[[gnu::format(printf, 2, 3)]] void Say(int index, const char *model, ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVPrintf(DemoGroup, index, model, args);
    va_end(args);
}

// The same into a buffer.
[[gnu::format(printf, 4, 5)]] void SayInto(char *target, size_t size, int index, const char *model,
                                           ...) {
    va_list args;
    va_start(args, model);
    NlsCoreVSnprintf(target, size, DemoGroup, index, model, args);
    va_end(args);
}

// The state name of an index, without its visibility mark.
const char *StateName(const char *states, intptr_t index) {
    const char *name = GetTokenN(states, ",", int(index) + 1);
    if (name == nullptr) return "";
    return name[0] == '_' || name[0] == ' ' ? name + 1 : name;
}

// --- The menu tree -----------------------------------------------------------

// Item positions; state actions and conditions name items by them.
enum MainItem : int {
    MainQueue,
    MainConnection,
    MainHost,
    MainPort,
    MainDevice,
    MainCopies,
    MainWidth,
    MainFeatures,
    MainAdvanced,
    MainGrid,
    MainTestPage,
    MainPassPhrase,
    MainDefaults,
    MainApply,
    MainQuit,
    MainNoFile,
    MainCount,
};
enum NetworkItem : int { NetTimeout, NetRetries, NetStatus, NetAccept, NetCount };
enum LocalItem : int { LocalSpeed, LocalFlow, LocalAccept, LocalCount };

// Connection states: 0 LPD, 1 raw socket, 2 local port.
enum Connection : int { ConnLpd, ConnRaw, ConnLocal };

// The values the dialogue applies; the menus' defaults point at them, so
// that a menu opened again shows what was accepted.
char QueueName[TextValueSize] = "";
char HostName[TextValueSize] = "printhost";
char DevicePath[TextValueSize] = "/dev/lp0";
bool PassPhraseSet = false;
const char *HelpTitle = ""; // the main menu's title without its introduction
bool Interactive = true;

int TestPage(TextMenu *, TextMenuItem *);
int SetPassPhrase(TextMenu *, TextMenuItem *);
int RestoreDefaults(TextMenu *, TextMenuItem *);
int ApplyItem(TextMenu *, TextMenuItem *);
int QuitItem(TextMenu *, TextMenuItem *);
int NoSettingsFile(TextMenu *, TextMenuItem *);
int AcceptAdvanced(TextMenu *, TextMenuItem *);
int FeaturesChanged(TextMenu *, TextMenuItem *);
void ApplyMain(TextMenu *);
void KeepAdvanced(TextMenu *);

extern TextMenu MainMenu;
extern TextMenu NetworkMenu;
extern TextMenu LocalMenu;

TextMenu *AdvancedMenus[] = {&NetworkMenu, &LocalMenu};

// Labels, prompts and state lists are filled from the store at start, and
// the words that point at texts or menus are set there too; the placeholder
// labels only keep the arrays' end marks where they belong.
TextMenuItem MainItems[MainCount + 1] = {
    {.pText = "", .nKind = TMI_NAME, .pFormat = "A(1,14)+-+_&!(all)"},
    // LPD and raw socket need a host and port, a local port a device; the
    // raw socket presets the port to 9100 and gives the old one back after.
    {.pText = "",
     .nKind = TMI_ONE_OF,
     .nDefault = ConnLpd,
     .pFormat = "H2{2,3} H0,1{4} S1{3.9100}"},
    {.pText = "", .nKind = TMI_STRING, .pFormat = "A(1,63)+.+-"},
    {.pText = "", .nKind = TMI_INT, .nDefault = 515, .pFormat = "d(1,65535)"},
    {.pText = "", .nKind = TMI_STRING, .pFormat = "/A(1,63)+/+_+-"},
    {.pText = "", .nKind = TMI_INT, .nDefault = 1, .pFormat = "d(1,99)"},
    {.pText = "", .nKind = TMI_FLOAT, .nDefault = TextMenuFloat(8.5f), .pFormat = "f(1,17)"},
    // The first feature is "none": chosen alone, or when nothing else is.
    {.pText = "", .nKind = TMI_MANY_OF, .nDefault = 1, .pfnAction = FeaturesChanged},
    // The network settings for LPD and raw sockets, the local ones else.
    {.pText = "", .nKind = TMI_SUBMENU, .pFormat = "1.0|1.1 1.2"},
    {.pText = "", .nKind = TMI_GRID_ALL, .nValue = 2},
    {.pText = "", .nKind = TMI_ACTION, .pfnAction = TestPage},
    {.pText = "", .nKind = TMI_ACTION, .pfnAction = SetPassPhrase},
    {.pText = "", .nKind = TMI_ACTION, .pfnAction = RestoreDefaults},
    {.pText = "", .nKind = TMI_APPLY, .pfnAction = ApplyItem},
    {.pText = "", .nKind = TMI_EXIT, .pfnAction = QuitItem},
    // Never shown: called when the settings file named at start is missing.
    {.pText = "", .nKind = TMI_NOFILE, .nHidden = TMH_GONE, .pfnAction = NoSettingsFile},
    {},
};

TextMenuItem NetworkItems[NetCount + 1] = {
    {.pText = "", .nKind = TMI_INT, .nDefault = 30, .pFormat = "d(1,600)"},
    {.pText = "", .nKind = TMI_INT, .nDefault = 3, .pFormat = "d(0,10)"},
    {.pText = "", .nKind = TMI_ONE_OF, .nDefault = 1},
    {.pText = "", .nKind = TMI_APPLY, .pfnAction = AcceptAdvanced},
    {},
};

TextMenuItem LocalItems[LocalCount + 1] = {
    {.pText = "", .nKind = TMI_ONE_OF, .nDefault = 0},
    {.pText = "", .nKind = TMI_ONE_OF, .nDefault = 2},
    {.pText = "", .nKind = TMI_APPLY, .pfnAction = AcceptAdvanced},
    {},
};

TextMenu MainMenu = {
    .nStyle = 1, .pfnDone = ApplyMain, .pItems = MainItems, .nFlags = TMF_STORE_ASK | TMF_REINIT};
TextMenu NetworkMenu = {
    .pfnDone = KeepAdvanced, .pParent = &MainMenu, .pItems = NetworkItems, .nFlags = TMF_COMPACT};
TextMenu LocalMenu = {
    .pfnDone = KeepAdvanced, .pParent = &MainMenu, .pItems = LocalItems, .nFlags = TMF_COMPACT};

struct ItemTexts {
    int label;
    int prompt; // 0: none
    int states; // 0: none
};

constexpr ItemTexts MainTexts[MainCount] = {
    {QueueText, QueuePromptText, 0},
    {ConnectionText, 0, ConnectionStatesText},
    {HostText, HostPromptText, 0},
    {PortText, PortPromptText, 0},
    {DeviceText, DevicePromptText, 0},
    {CopiesText, CopiesPromptText, 0},
    {WidthText, WidthPromptText, 0},
    {FeaturesText, 0, FeatureStatesText},
    {AdvancedText, 0, 0},
    {0, 0, 0}, // the grid header has an empty label
    {TestPageText, 0, 0},
    {PassPhraseText, 0, 0},
    {DefaultsText, 0, 0},
    {ApplyText, 0, 0},
    {QuitText, 0, 0},
    {NoFileText, 0, 0},
};
constexpr ItemTexts NetworkTexts[NetCount] = {
    {TimeoutText, TimeoutPromptText, 0},
    {RetriesText, RetriesPromptText, 0},
    {StatusText, 0, StatusStatesText},
    {AcceptText, 0, 0},
};
constexpr ItemTexts LocalTexts[LocalCount] = {
    {SpeedText, 0, SpeedStatesText},
    {FlowText, 0, FlowStatesText},
    {AcceptText, 0, 0},
};

void FillTexts(TextMenuItem *items, const ItemTexts *texts, int count) {
    for (int i = 0; i < count; ++i) {
        if (texts[i].label != 0) items[i].pText = Text(texts[i].label);
        if (texts[i].prompt != 0) items[i].pPrompt = Text(texts[i].prompt);
        if (texts[i].states != 0) items[i].pStates = Text(texts[i].states);
    }
}

void FillMenuTexts() {
    FillTexts(MainItems, MainTexts, MainCount);
    FillTexts(NetworkItems, NetworkTexts, NetCount);
    FillTexts(LocalItems, LocalTexts, LocalCount);
    // The title's first line is centred; the introduction follows it.
    HelpTitle = Text(TitleText);
    char *intro = Text(IntroText);
    MainMenu.pTitle = SaveStr("%s\n\n%s", HelpTitle, intro);
    PutMem(intro);
    MainMenu.pSavePrompt = Text(SavePromptText);
    NetworkMenu.pTitle = Text(NetworkTitleText);
    LocalMenu.pTitle = Text(LocalTitleText);
    NetworkMenu.pSavePrompt = LocalMenu.pSavePrompt = Text(KeepPromptText);
    MainItems[MainQueue].nDefault = TextMenuWord(QueueName);
    MainItems[MainHost].nDefault = TextMenuWord(HostName);
    MainItems[MainDevice].nDefault = TextMenuWord(DevicePath);
    MainItems[MainAdvanced].nValue = TextMenuWord(AdvancedMenus);
}

// --- Callbacks ----------------------------------------------------------------

// Accepted values become the defaults, so that the menu shows them when it
// is opened (or restored from a settings file) again.
void Commit(TextMenu *menu) {
    for (TextMenuItem *item = menu->pItems; item->pText != nullptr; ++item) {
        switch (item->nKind) {
        case TMI_ONE_OF:
        case TMI_MANY_OF:
        case TMI_INT:
        case TMI_FLOAT:
            item->nDefault = item->nValue;
            break;
        case TMI_NAME:
        case TMI_STRING:
            if (item->nValue != 0 && item->nDefault != 0)
                snprintf(reinterpret_cast<char *>(item->nDefault), TextValueSize, "%s",
                         TextMenuText(item));
            break;
        default:
            break;
        }
    }
}

void KeepAdvanced(TextMenu *menu) {
    Commit(menu);
}

int AcceptAdvanced(TextMenu *menu, TextMenuItem *) {
    Commit(menu);
    return 0;
}

const TextMenuItem &Main(int index) {
    return MainItems[index];
}

void PrintDefinition() {
    Say(QueueLineText, "\nQueue %s\n", QueueName);
    intptr_t connection = Main(MainConnection).nDefault;
    Say(ConnectionLineText, "  connection    %s\n",
        StateName(Main(MainConnection).pStates, connection));
    if (connection == ConnLocal) {
        Say(DeviceLineText, "  device        %s\n", DevicePath);
    } else {
        Say(HostLineText, "  host          %s, port %d\n", HostName, int(Main(MainPort).nDefault));
    }
    Say(CopiesLineText, "  copies        %d\n", int(Main(MainCopies).nDefault));
    Say(WidthLineText, "  paper width   %.1f in\n",
        double(TextMenuGetFloat(Main(MainWidth).nDefault)));
    char features[512] = "";
    size_t n = 0;
    for (int k = 0; k < TextMenuMaskBits; ++k) {
        if (((Main(MainFeatures).nDefault >> k) & 1) == 0) continue;
        int written = snprintf(features + n, sizeof features - n, "%s%s", n > 0 ? ", " : "",
                               StateName(Main(MainFeatures).pStates, k));
        if (written < 0 || size_t(written) >= sizeof features - n) break;
        n += size_t(written);
    }
    Say(FeaturesLineText, "  features      %s\n", features);
    if (connection == ConnLocal) {
        char speed[TokenBufSize];
        snprintf(speed, sizeof speed, "%s",
                 StateName(LocalItems[LocalSpeed].pStates, LocalItems[LocalSpeed].nDefault));
        Say(LocalLineText, "  line speed %s, flow control %s\n", speed,
            StateName(LocalItems[LocalFlow].pStates, LocalItems[LocalFlow].nDefault));
    } else {
        Say(NetworkLineText, "  timeout %d s, %d retries, status reports %s\n",
            int(NetworkItems[NetTimeout].nDefault), int(NetworkItems[NetRetries].nDefault),
            StateName(NetworkItems[NetStatus].pStates, NetworkItems[NetStatus].nDefault));
    }
    if (PassPhraseSet) Say(PassPhraseLineText, "  administrator pass phrase set\n");
    fflush(stdout);
}

void ApplyMain(TextMenu *menu) {
    Commit(menu);
    PrintDefinition();
}

int ApplyItem(TextMenu *menu, TextMenuItem *) {
    ApplyMain(menu);
    return 0;
}

int FeaturesChanged(TextMenu *, TextMenuItem *item) {
    intptr_t others = item->nValue & ~intptr_t(1);
    if (others != 0)
        item->nValue = (item->nPrevValue & 1) != 0 || (item->nValue & 1) == 0 ? others : 1;
    else
        item->nValue = 1;
    return 0;
}

int QuitItem(TextMenu *, TextMenuItem *) {
    Say(NotAppliedText, "The queue is not applied.\n");
    return 0;
}

int TestPage(TextMenu *menu, TextMenuItem *) {
    const TextMenuItem &queue = menu->pItems[MainQueue];
    const char *name = queue.nValue != 0 ? TextMenuText(&queue) : "";
    char message[1024];
    SayInto(message, sizeof message, TestPageMessageText,
            "A test page would now be sent to queue %s.", name);
    PostMsg("%s", message);
    return 1; // not a change of the menu: no new preparation
}

int SetPassPhrase(TextMenu *, TextMenuItem *) {
    char *prompt = Text(PassPhrasePromptText);
    char *repeat = Text(RepeatPromptText);
    char *first = GetPassPhrase(prompt);
    char *second = GetPassPhrase(repeat);
    bool same = strcmp(first, second) == 0;
    if (same) PassPhraseSet = true;
    explicit_bzero(first, strlen(first));
    explicit_bzero(second, strlen(second));
    PutMem(first);
    PutMem(second);
    PutMem(prompt);
    PutMem(repeat);
    char *message = Text(same ? PassPhraseSetText : MismatchText);
    PostMsg("%s", message);
    PutMem(message);
    return 1; // the menu's values are untouched: no new preparation
}

// With TMF_REINIT the menu is prepared again after this succeeds: every
// value goes back to its default.
int RestoreDefaults(TextMenu *, TextMenuItem *) {
    snprintf(QueueName, sizeof QueueName, "%s", "");
    snprintf(HostName, sizeof HostName, "%s", "printhost");
    snprintf(DevicePath, sizeof DevicePath, "%s", "/dev/lp0");
    MainItems[MainConnection].nDefault = ConnLpd;
    MainItems[MainPort].nDefault = 515;
    MainItems[MainCopies].nDefault = 1;
    MainItems[MainWidth].nDefault = TextMenuFloat(8.5f);
    MainItems[MainFeatures].nDefault = 1;
    MainItems[MainFeatures].nValue = 0; // InitMenu starts a many-of item from 1
    NetworkItems[NetTimeout].nDefault = 30;
    NetworkItems[NetRetries].nDefault = 3;
    NetworkItems[NetStatus].nDefault = 1;
    LocalItems[LocalSpeed].nDefault = 0;
    LocalItems[LocalFlow].nDefault = 2;
    PassPhraseSet = false;
    return 0;
}

int NoSettingsFile(TextMenu *menu, TextMenuItem *) {
    Say(NoSettingsText, "No settings file %s: starting from the defaults.\n", InputFileName);
    RunMenu(menu, nullptr, Interactive ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    // Named before anything is allocated, so that even running out of
    // memory at once is reported under the program's name.
    static char name[64];
    snprintf(name, sizeof name, "%s", StripPath(argv[0]));
    my_name = name;
    pToolPath = GetToolPath(argv[0]);
    FillMenuTexts();
    // Help on the key h: the help pages live beside the program.
    pTtyHtmlName = SaveStr("%s/help/menudemo.html", pToolPath);
    pTtyHtmlTitle = HelpTitle;
    pfnTtyHtmlHelp = TtyHtmlHelp;
    MainMenu.nFlags |= TMF_HELP;

    const char *settings = nullptr;
    for (int k = 1; k < argc; ++k) {
        if (strcmp(argv[k], "-n") == 0) {
            Interactive = false;
        } else if (argv[k][0] == '-' || settings != nullptr) {
            Say(UsageText, "usage: %s [-n] [settings file]\n", my_name);
            return 2;
        } else {
            settings = argv[k];
        }
    }
    RunMenu(&MainMenu, settings, Interactive ? 1 : 0);
    return 0;
}
