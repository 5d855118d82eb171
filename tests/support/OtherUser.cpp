#include "OtherUser.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace corla_test {

namespace {

// text as one single-quoted shell word.
std::string ShellWord(const std::string &text) {
    std::string word = "'";
    for (char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

std::string Digest(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return std::to_string(std::hash<std::string>{}(text.str()));
}

bool Below(const std::string &path, const std::string &prefix) {
    return path == prefix ||
           (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
            path[prefix.size()] == '/');
}

} // namespace

bool PlantMoment(const SimSandbox &box, const std::string &command, const std::string &script,
                 const std::string &output) {
    const std::string uid = std::to_string(OtherUid);
    const std::string text = "#!/bin/sh\n"
                             "# Stand-in for " +
                             command +
                             " that lets another local user act at this moment of the run.\n"
                             "other() {\n"
                             "    setpriv --reuid=" +
                             uid + " --regid=" + uid +
                             " --clear-groups /bin/sh -c \"$1\" 2>>/var/sim/log/other.err\n"
                             "}\n"
                             "printf '%s\\n' " +
                             ShellWord("moment " + command) + " >>/var/sim/log/commands.log\n" +
                             script + "\nprintf '%s' " + ShellWord(output) + "\n";
    return box.Write(command, text, 0755);
}

TreeRecord RecordTree(const std::string &dir) {
    TreeRecord record;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string path = it->path().string();
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        std::string entry = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" +
                            std::to_string(st.st_gid);
        if (S_ISREG(st.st_mode)) {
            entry += " " + std::to_string(st.st_size) + " " + Digest(path);
        } else if (S_ISLNK(st.st_mode)) {
            entry += " -> " + fs::read_symlink(it->path(), ec).string();
        } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
            entry += " dev " + std::to_string(major(st.st_rdev)) + "," +
                     std::to_string(minor(st.st_rdev));
        }
        record[path.substr(dir.size() + 1)] = entry;
    }
    return record;
}

std::vector<std::string> ChangedOutside(const TreeRecord &before, const TreeRecord &after,
                                        const std::vector<std::string> &allowed) {
    std::vector<std::string> changed;
    // A directory on the way to an allowed path may appear (the overlay
    // copies it up when something below it is written).
    auto counts = [&](const std::string &path) {
        if (Below(path, ".sandbox") || Below(path, "sim/log")) return false;
        for (const std::string &prefix : allowed)
            if (Below(path, prefix) || Below(prefix, path)) return false;
        return true;
    };
    for (const auto &[path, entry] : before) {
        auto found = after.find(path);
        if ((found == after.end() || found->second != entry) && counts(path))
            changed.push_back(path);
    }
    for (const auto &[path, entry] : after)
        if (before.find(path) == before.end() && counts(path)) changed.push_back(path);
    return changed;
}

} // namespace corla_test
