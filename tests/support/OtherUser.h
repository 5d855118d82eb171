// Test support for the installer's scenarios against other local users and
// a careless machine: a stand-in command that lets another local user act
// at the moment the run starts it (so a race is won deterministically), and
// a record of a scratch root that shows what a run changed.
//
//   PlantMoment(box, "/usr/bin/whoami", "other 'mv /var/x/CorlaInstall /var/x/gone'", "root\n");
//   TreeRecord before = RecordTree(box.Root());
//   ... run setup ...
//   EXPECT_EQ(ChangedOutside(before, RecordTree(box.Root()), {"tmp/setup.log"}),
//             std::vector<std::string>{});
#pragma once

#include "SimSandbox.h"

#include <map>
#include <string>
#include <vector>

namespace corla_test {

inline constexpr unsigned OtherUid = 65534; // the other local user ("nobody"), and its group

// Put at the inside path command (for instance /usr/bin/whoami, which the
// installer runs right after staging) a stand-in that, each time it is
// started, appends "moment <command>" to the command log, runs script with
// /bin/sh as root, where the function `other` runs its one argument as a
// shell command of the other user (uid and gid OtherUid, no other groups),
// then prints output and exits 0. The file lies in the run's changes
// (ROOT/changes/usr/bin/...), so it stays for later runs of the same root.
bool PlantMoment(const SimSandbox &box, const std::string &command, const std::string &script,
                 const std::string &output);

// Every entry below a directory, links not followed: its path relative to
// the directory, and its type, mode, owner, group, size and a digest of its
// content (or its link target, or its device numbers).
using TreeRecord = std::map<std::string, std::string>;
TreeRecord RecordTree(const std::string &dir);

// The relative paths added, removed or changed between two records of a
// scratch root, except those at, below or on the way to one of allowed
// (relative paths) and the sandbox's own ".sandbox" and "sim/log".
std::vector<std::string> ChangedOutside(const TreeRecord &before, const TreeRecord &after,
                                        const std::vector<std::string> &allowed);

} // namespace corla_test
