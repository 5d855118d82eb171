// Install: the checks before installing (operator, system release, old
// print daemon), the unpacking of the staged archive, and the fresh
// installation or the upgrade of the installation found at the start.
#pragma once

// Run the installation from the staged work area. Yields 0 after a refusal
// or a completed installation, 1 when the operator quit at a running-program
// check of the package command file.
int Install();

// 1 when the run may go on; 0 when the operator is not root (entry 35). A
// system release after "5.5.9" ends the run with entry 61 on standard error,
// the clean-up and status 0; an old print daemon leads to the continue
// question, whose negative answer (or the end of input) ends the run with
// status 0.
int readyForInstallation();

// Fresh installation: the application directory under installDir (mode 755
// under /opt, else 775 with /opt/Corla and the /opt/Corla/vqmm link).
void createInstallationDirectories(const char *installDir);

// Write <appDir>/.pm_cfg: " V5 ", " LPRng " or " CUPS " (CUPS wins over
// LPRng), mode 644, never through a link left at its path.
void createPrintingSubsystemFile(const char *appDir);

// The highest system release this build installs on, compared byte by byte.
inline constexpr const char *MaxRelease = "5.5.9";
