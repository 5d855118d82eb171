// Catalogue: the language choice and the help-text tables. The texts
// themselves are in CatalogueTables.cpp.
#include "Catalogue.h"

#include "SetupIo.h"
#include "utils.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string>

const char *InstallInfo[6] = {};
const char *InstallSiteInfo[5] = {};

namespace {

// The table chosen by the first lookup; none until then.
const char *const *pNlsSetupTable = nullptr;

} // namespace

const char *const *NlsSetupTableFor(const char *lang) {
    static const char *const *const Tables[] = {NLS_ENGLISH, NLS_SPANISH, NLS_ITALIAN,
                                                NLS_FRENCH,  NLS_GERMAN,  NLS_PORTUGUESE};
    // German is "ge_GE" and Portuguese "pr_BR", as the installer has always
    // known them.
    int position = FindWord(lang, ",en_US,es_ES,it_IT,fr_FR,ge_GE,pr_BR");
    return position > 0 ? Tables[position - 1] : NLS_ENGLISH;
}

const char *nlsSetupStrCvt(int index) {
    assert(index >= 0 && index < NlsSetupCount);
    if (pNlsSetupTable == nullptr) {
        const char *lang = getenv("LANG");
        if (lang == nullptr) {
            pNlsSetupTable = NLS_ENGLISH;
        } else {
            // Commands started later see the shortened value too.
            std::string cut(lang, strcspn(lang, "."));
            if (cut.size() != strlen(lang)) setenv("LANG", cut.c_str(), 1);
            pNlsSetupTable = NlsSetupTableFor(cut.c_str());
        }
    }
    return pNlsSetupTable[index];
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
