// Install: the installation from the staged work area: the checks
// (Readiness.h), the unpacking (Unpack.h), then the fresh installation or
// the upgrade of the installation found at the start, and the directories
// and the print-subsystem flag file they make.
#pragma once

// Run the installation from the staged work area. Yields 0 after a refusal
// or a completed installation, 1 when the operator quit at a running-program
// check of the package command file.
int Install();

// Fresh installation: the application directory under installDir (mode 755
// under /opt, else 775 with /opt/Corla and the /opt/Corla/vqmm link).
void createInstallationDirectories(const char *installDir);

// Write <appDir>/.pm_cfg: " V5 ", " LPRng " or " CUPS " (CUPS wins over
// LPRng), mode 644, never through a link left at its path.
void createPrintingSubsystemFile(const char *appDir);
