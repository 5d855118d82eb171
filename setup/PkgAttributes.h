// PkgAttributes: the attribute pairs of a package command file line
// (PkgList.h), each acting on <appdir>/<argument>: mode (chmod), bat
// (wrapper /usr/bin/<value>), owner (chown -R), group (chgrp -R), link (ln
// -s <appdir>/<argument> <value>), name (mv -f to <appdir>/<value>) and sed
// (an edit in place); other keys are passed over. The commands that run
// through the runner end the run when they fail.
#pragma once

// The keys, by their position in PkgKeys.
enum PkgKey : int {
    KeyOther = 0,
    KeyMode = 1,
    KeyBat = 2,
    KeyOwner = 3,
    KeyGroup = 4,
    KeyLink = 5,
    KeyName = 6,
    KeySed = 7,
};
inline constexpr const char *PkgKeys = ",mode,bat,owner,group,link,name,sed";

// Carry out one pair: key (a PkgKey) with value on <appdir>/<argument>.
void ApplyAttribute(int key, const char *argument, const char *value);
