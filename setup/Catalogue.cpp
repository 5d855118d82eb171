// Catalogue: the language choice, the checked printing of entries and the
// help-text tables. The texts themselves are in CatalogueTables.cpp (the
// catalogue) and CatalogueMore.cpp (the supplement).
#include "Catalogue.h"

#include "CheckedFormat.h"
#include "Words.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

const char *InstallInfo[6] = {};
const char *InstallSiteInfo[5] = {};

namespace {

// The language chosen by the first lookup (its position in LanguageList, 1
// to 6); 0 until then.
int nNlsLanguage = 0;

constexpr const char *LanguageList = ",en_US,es_ES,it_IT,fr_FR,ge_GE,pr_BR";

// The position in LanguageList of a LANG value; English for any other.
// German is "ge_GE" and Portuguese "pr_BR", as the installer has always
// known them.
int LanguageOf(const char *lang) {
    int position = FindWord(lang, LanguageList);
    return position > 0 ? position : 1;
}

const char *const *const Tables[] = {NLS_ENGLISH, NLS_SPANISH, NLS_ITALIAN,
                                     NLS_FRENCH,  NLS_GERMAN,  NLS_PORTUGUESE};
const char *const *const Supplements[] = {NLS_ENGLISH_MORE, NLS_SPANISH_MORE, NLS_ITALIAN_MORE,
                                          NLS_FRENCH_MORE,  NLS_GERMAN_MORE,  NLS_PORTUGUESE_MORE};

} // namespace

const char *const *NlsSetupTableFor(const char *lang) {
    return Tables[LanguageOf(lang) - 1];
}

const char *const *NlsSupplementTableFor(const char *lang) {
    return Supplements[LanguageOf(lang) - 1];
}

const char *nlsSetupStrCvt(int index) {
    assert(index >= 0 && index < NlsSetupEnd);
    if (nNlsLanguage == 0) {
        const char *lang = getenv("LANG");
        if (lang == nullptr) {
            nNlsLanguage = 1;
        } else {
            // Commands started later see the shortened value too.
            std::string cut(lang, strcspn(lang, "."));
            if (cut.size() != strlen(lang)) setenv("LANG", cut.c_str(), 1);
            nNlsLanguage = LanguageOf(cut.c_str());
        }
    }
    if (index >= NlsSetupCount) return Supplements[nNlsLanguage - 1][index - NlsSetupCount];
    return Tables[nNlsLanguage - 1][index];
}

int NlsSetupPrintf(int index, const char *model, ...) {
    va_list args;
    va_start(args, model);
    int written = CheckedVfprintf(stdout, nlsSetupStrCvt(index), model, args);
    va_end(args);
    return written;
}

int NlsSetupFormat(char *target, size_t size, int index, const char *model, ...) {
    va_list args;
    va_start(args, model);
    int written = CheckedVsnprintf(target, size, nlsSetupStrCvt(index), model, args);
    va_end(args);
    return written;
}

void FillInstallInfo() {
    const int info[] = {NlsHelpFullPath, NlsHelpSpecify, NlsHelpInstallDir1, NlsHelpInstallDir2,
                        NlsHelpInstallDir3};
    const int site[] = {NlsHelpFullPath, NlsHelpSpecify, NlsHelpSite1, NlsHelpSite2};
    int n = 0;
    for (int index : info)
        InstallInfo[n++] = nlsSetupStrCvt(index);
    InstallInfo[n] = nullptr;
    n = 0;
    for (int index : site)
        InstallSiteInfo[n++] = nlsSetupStrCvt(index);
    InstallSiteInfo[n] = nullptr;
}
