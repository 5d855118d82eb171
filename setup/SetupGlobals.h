// SetupGlobals: the installer's run-wide locations and flags, and the fixed
// names its paths are made of.
//
// Every location is a text of the block memory manager set once by main (or
// by the step named beside it) and kept until the program ends; none is ever
// released. my_name, flUseLog and LineBuf belong to the support library
// (utils.h) and are set by main as well.
#pragma once

#include <cstdint>

// Fixed names the installer's paths are made of.
inline constexpr const char *CompanyDir = "Corla";            // <install dir>/Corla
inline constexpr const char *ProductDir = "vqmm";             // <install dir>/Corla/vqmm
inline constexpr const char *DefaultInstallDir = "/opt";      // where installations are found
inline constexpr const char *SetupVersion = "3.01.67";        // this installer's release
inline constexpr const char *AppLinkPath = "/opt/Corla/vqmm"; // every installation is seen here
inline constexpr const char *CompanyLinkDir = "/opt/Corla";   // the directory of that link
inline constexpr const char *SpoolDir = "/var/spool/Corla";   // the suite's spool directory
inline constexpr const char *RcDir = "/etc/rc2.d";            // run-control links of old daemons

extern char *pCorlaInstallDir;   // the work area: <parent>/CorlaInstall, removed at the end
extern char *pPathToSetup;       // the distribution directory: where setup was started from
extern char *pCmdLineInstallDir; // "install <dir>" of the command line, or none
extern char *pCurrentInstallDir; // installation directory already on the machine, or none
extern char *pTargetInstallDir;  // installation directory of this run
extern char *pAppDir;            // <target>/Corla/vqmm: programs, .pm_cfg, scripts
extern uint8_t flCreatedTmpDir;  // the work-area parent did not exist and was created
extern char *pCreatedTmpDir;     // that parent, when this run created it
extern char *pCorlaPkgName;      // the Solaris package name, QDRNvqmm

// "<dir>/<name>" as a new text, without a doubled "/" when dir is "/".
char *JoinSetupPath(const char *dir, const char *name);
