// Catalogue: every text the installer itself shows to the operator, by
// number, in six languages. The language is chosen once, at the first
// lookup, from LANG. Texts are ISO 8859-1 and constant; nothing returned
// here is ever released.
//
// Texts with placeholders are printf formats: every table keeps the
// placeholders of the English text, in the same order.
#pragma once

inline constexpr int NlsSetupCount = 73;

// The entries the installer prints or hands out, by number.
enum NlsSetupIndex : int {
    NlsCouldntOpen = 3,   // "ERROR: couldn't open %s"
    NlsHelpFullPath = 10, // help texts of InstallInfo and InstallSiteInfo
    NlsHelpSpecify = 11,
    NlsHelpInstallDir1 = 12,
    NlsHelpInstallDir2 = 13,
    NlsHelpInstallDir3 = 14,
    NlsHelpSite1 = 17,
    NlsHelpSite2 = 18,
    NlsListFileMissing = 21,   // "can't open file, %sInstall/disks"
    NlsNotRoot = 35,           // user name, program name
    NlsWorkAreaShort = 49,     // work area, its need
    NlsInstallShort = 55,      // installation directory, its need
    NlsSharedShort = 56,       // work area, installation directory, both needs
    NlsReleaseUnreadable = 60, // perror prefix
    NlsWrongRelease = 61,
    NlsOldDaemon = 62,      // company, company, company, product
    NlsContinuePrompt = 63, // yes/no question
    NlsSizeFileMissing = 65,
    NlsRunning = 66, // the running-program menu, 66 to 70
    NlsWouldYouLike = 67,
    NlsWaitChoice = 68,
    NlsQuitChoice = 69,
    NlsEnterSelection = 70,
    NlsUnsafeWorkArea = 71,    // work area, the directory another user can change
    NlsArchiveIncomplete = 72, // the joined archive
};

// The six tables, indexed 0 to 72; the same index means the same message.
extern const char *const NLS_ENGLISH[NlsSetupCount];
extern const char *const NLS_SPANISH[NlsSetupCount];
extern const char *const NLS_ITALIAN[NlsSetupCount];
extern const char *const NLS_FRENCH[NlsSetupCount];
extern const char *const NLS_GERMAN[NlsSetupCount];
extern const char *const NLS_PORTUGUESE[NlsSetupCount];

// Help texts in the chosen language, each ended by a null entry; filled by
// FillInstallInfo (entries 10 to 14, and 10, 11, 17, 18).
extern const char *InstallInfo[6];
extern const char *InstallSiteInfo[5];

// The text with that index (0..72) in the chosen language. The first call
// chooses the language from LANG: the value is cut at its first "." (LANG
// itself then holds the shortened value, for the commands started later)
// and looked up exactly in ",en_US,es_ES,it_IT,fr_FR,ge_GE,pr_BR"; unset or
// any other value gives English. Later changes of LANG have no effect.
const char *nlsSetupStrCvt(int index);

// The table a LANG value selects, without the cut at "." (none gives English).
const char *const *NlsSetupTableFor(const char *lang);

// Fill InstallInfo and InstallSiteInfo from the catalogue.
void FillInstallInfo();
