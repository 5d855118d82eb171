// Outcome_report: the kept files that could not be written and the tally
// of the upgrade, said at the end of an incomplete run.
#include "Outcome.h"
#include "Outcome_private.h"

#include "Catalogue.h"
#include "utils.h"

namespace outcome {

namespace {

struct UpgradeState {
    bool started = false, done = false;
    int files = 0, copied = 0, registered = 0, failedCopies = 0, failedRegistrations = 0;
} Upgrade;

constexpr int MaxUnwritten = 8;
char Unwritten[MaxUnwritten][PathSize];
int nUnwritten = 0;

} // namespace

void SayFailures(bool onScreen) {
    char text[TextSize];
    for (int i = 0; i < nUnwritten && i < MaxUnwritten; ++i) {
        NlsSetupFormat(text, sizeof text, NlsNotWritten, "%s %s", my_name, Unwritten[i]);
        Say(onScreen, text);
    }
    if (Upgrade.started && !Upgrade.done) {
        NlsSetupFormat(text, sizeof text, NlsUpgradeIncomplete, "%s %i %i %i", my_name,
                       Upgrade.copied, Upgrade.files, Upgrade.registered);
        Say(onScreen, text);
    }
}

void ForgetFailures() {
    nUnwritten = 0;
    Upgrade.started = false;
}

} // namespace outcome

using namespace outcome;

void NoteUpgradeStart(int files) {
    Upgrade = UpgradeState{};
    Upgrade.started = true;
    Upgrade.files = files;
}

void NoteUpgradeRegistered(bool registered) {
    if (registered)
        ++Upgrade.registered;
    else
        ++Upgrade.failedRegistrations;
}

void NoteUpgradeCopied(bool copied) {
    if (copied)
        ++Upgrade.copied;
    else
        ++Upgrade.failedCopies;
}

void NoteUpgradeDone() {
    Upgrade.done = true;
}

int UpgradeFailed() {
    return Upgrade.failedCopies > 0 || Upgrade.failedRegistrations > 0;
}

void NoteUnwritten(const char *path) {
    if (nUnwritten < MaxUnwritten) CopyPath(Unwritten[nUnwritten], path);
    ++nUnwritten;
}

int RunIncomplete() {
    return nUnwritten > 0 || (Upgrade.started && !Upgrade.done);
}

void SayWhatFailed() {
    SayFailures(true);
}
