// Move: an installation found on the machine moved to the installation
// directory of this run, before anything is staged.
#pragma once

// Move the installation of pCurrentInstallDir to pTargetInstallDir and renew
// the /opt/Corla/vqmm link; nothing is done when both name the same
// directory once links are resolved, or when the target's application
// directory already is the installation (a Corla directory linked into it).
void MoveInstallation();
