// Catalogue: every text the installer itself shows to the operator, by
// number, in six languages. The language is chosen once, at the first
// lookup, from LANG. Texts are ISO 8859-1 and constant; nothing returned
// here is ever released.
//
// The catalogue proper is six tables of 71 texts (0 to 70). The messages
// the installer has beyond them (refusals, failures, the steps of a run)
// are a supplement of six tables of its own, numbered on from 71 and looked
// up the same way, in the same language.
//
// Texts with placeholders are printf formats: every table keeps the
// placeholders of the English text, in the same order. They are printed
// through NlsSetupPrintf and NlsSetupFormat, which check them first.
#pragma once

#include <cstddef>

inline constexpr int NlsSetupCount = 71; // the catalogue: entries 0 to 70

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

    // The supplement, from NlsSetupCount on.
    NlsUnsafeWorkArea = NlsSetupCount, // work area, the directory another user can change
    NlsArchiveIncomplete,              // the joined archive
    NlsStoppedBySignal,                // program, signal name ("SIGTERM"), step
    NlsFailedWhile,                    // program, step
    NlsUnfinishedRemoved,              // program, application directory
    NlsPkgListPending,                 // program, application directory, program
    NlsUpgradeIncomplete,              // program, files copied, files in all, files registered
    NlsNotWritten,                     // program, the file
    NlsStepChecks,                     // the steps of a run, named in the two above
    NlsStepMove,
    NlsStepStaging,
    NlsStepReady,
    NlsStepUnpacking,
    NlsStepPackage,
    NlsStepScripts,
    NlsStepPkgList,
    NlsStepUpgrade,
    NlsStepVersion,
    NlsStepCleanUp,
    NlsSetupEnd, // one past the last text of the supplement
};

inline constexpr int NlsSupplementCount = NlsSetupEnd - NlsSetupCount;

// The six tables of the catalogue, indexed 0 to 70; the same index means the
// same message.
extern const char *const NLS_ENGLISH[NlsSetupCount];
extern const char *const NLS_SPANISH[NlsSetupCount];
extern const char *const NLS_ITALIAN[NlsSetupCount];
extern const char *const NLS_FRENCH[NlsSetupCount];
extern const char *const NLS_GERMAN[NlsSetupCount];
extern const char *const NLS_PORTUGUESE[NlsSetupCount];

// The supplement in the same six languages: entry k is message
// NlsSetupCount + k.
extern const char *const NLS_ENGLISH_MORE[NlsSupplementCount];
extern const char *const NLS_SPANISH_MORE[NlsSupplementCount];
extern const char *const NLS_ITALIAN_MORE[NlsSupplementCount];
extern const char *const NLS_FRENCH_MORE[NlsSupplementCount];
extern const char *const NLS_GERMAN_MORE[NlsSupplementCount];
extern const char *const NLS_PORTUGUESE_MORE[NlsSupplementCount];

// Help texts in the chosen language, each ended by a null entry; filled by
// FillInstallInfo (entries 10 to 14, and 10, 11, 17, 18).
extern const char *InstallInfo[6];
extern const char *InstallSiteInfo[5];

// The text with that index (0..70, or a supplement index up to NlsSetupEnd
// - 1) in the chosen language. The first call chooses the language from
// LANG: the value is cut at its first "." (LANG itself then holds the
// shortened value, for the commands started later) and looked up exactly in
// ",en_US,es_ES,it_IT,fr_FR,ge_GE,pr_BR"; unset or any other value gives
// English. Later changes of LANG have no effect.
const char *nlsSetupStrCvt(int index);

// The catalogue table a LANG value selects, without the cut at "." (none
// gives English), and the supplement of the same language.
const char *const *NlsSetupTableFor(const char *lang);
const char *const *NlsSupplementTableFor(const char *lang);

// Print entry index (nlsSetupStrCvt) on standard output printf-style.
// model holds the entry's conversions as a literal ("%s %e"), which the
// compiler checks against the arguments; the entry is printed only when it
// takes exactly those (CheckedFormat.h), else nothing is (-1).
[[gnu::format(printf, 2, 3)]] int NlsSetupPrintf(int index, const char *model, ...);
// The same into target (size bytes, always terminated; the empty text when
// the entry is refused).
[[gnu::format(printf, 4, 5)]] int NlsSetupFormat(char *target, size_t size, int index,
                                                 const char *model, ...);

// Fill InstallInfo and InstallSiteInfo from the catalogue.
void FillInstallInfo();
