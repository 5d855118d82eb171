// Scripts: the /bin/sh scripts the installer writes from built-in
// templates: the print interface script CorlaPrintvqmm, the filter script
// CorlaCSF (both in the application directory, rewritten by every run) and
// wrapper scripts in /usr/bin that start a program of the application
// directory.
//
// Every script is "#!/bin/sh", a banner of five 63-character lines with the
// current year and an empty line, then its template filled printf-style.
// Scripts are written as new files of mode 755 beside the old ones and
// renamed over them once complete, so a failed write (a full disk, a file
// size limit) leaves the old script and no partial file; a link left at
// their path is replaced, never followed. The templates are constant texts
// owned here.
#pragma once

// The templates; literal "%" is written "%%".
extern const char ScriptShShell[];        // "#!/bin/sh\n"
extern const char ScriptBanner[];         // one placeholder: the year
extern const char CorlaPrintvqmmScript[]; // application directory, "vqmm", "plimtovqmm",
                                          // "plimtovqmm", "vqmm", "vqmm"
extern const char CorlaCSFScript[];       // application directory, spool directory
extern const char SimpleScript[];         // application directory twice, program name

inline constexpr int ScriptBannerWidth = 63;

// Write <pAppDir>/CorlaPrintvqmm and <pAppDir>/CorlaCSF (with
// <spoolDir>/vqmm as its spool directory); on an LPRng system also link the
// print script into /usr/share/printconf/util when that directory exists and
// holds no such entry. A script not written is noted for the end of the run
// (NoteUnwritten); the run goes on.
void createQueueScripts(const char *spoolDir);

// Write one script; 1 when written, 0 when the file cannot be made ("ERROR:
// can't open file, <file>" on standard error) or written ("ERROR: can't
// write file, <file> : <system error text>"; the old file stays). A
// template must take exactly the writer's values, each as "%s"
// (CheckedFormat.h); any other is not written ("Invalid argument").
int generateCorlaPrintvqmmScript(const char *file, const char *shellLine, const char *templ);
int generateCorlaCSFScript(const char *file, const char *shellLine, const char *templ,
                           const char *spoolSubDir);
int GenSimpleScript(const char *file, const char *shellLine, const char *templ, const char *a1,
                    const char *a2, const char *a3);

// value with a backslash put before each \ " $ and ` so that it stays
// itself inside a double-quoted shell assignment. New text.
char *ShellDoubleQuoted(const char *value);
