// Locations: the installation already on the machine, found through
// /opt/Corla/vqmm, and the path forms the run compares: a path made
// absolute, an application directory reduced to its installation
// directory, two directories that are one.
//
// Paths returned are new texts of the caller's; StripToBaseName works in
// place.
#pragma once

// The installation directory of the installation already on the machine,
// found through /opt/Corla/vqmm (the directory itself, or a link to
// <dir>/Corla/vqmm), as a new text; none when there is none.
char *locatePreviousInstallation();

// Reduce, in place, a path that may end in the application directory to its
// installation directory: cut at the first path component "vqmm", then at
// the first component "Corla", then drop one trailing "/" (an empty result
// becomes "/"). /usr/local/Corla/vqmm gives /usr/local; /data/vqmm_old stays.
// Yields path (none gives none).
char *StripToBaseName(char *path);

// path made absolute against the current directory, with doubled "/" and
// "." components removed (".." is kept: links give it its meaning). New text.
char *MakeAbsolutePath(const char *path);

// 1 when the two paths name the same directory once resolved (realpath);
// when either cannot be resolved, when they are equal as texts.
int SameDirectory(const char *a, const char *b);
