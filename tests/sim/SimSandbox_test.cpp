// The sandbox of the stand-in platform: isolation from this machine, the
// refusals, the environment and configuration it gives the program, the
// preloaded uname(), and a package installed from a built distribution.
#include "SimSandbox.h"
#include "TextLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

using corla_test::Lines;

constexpr int kRefused = 125;

// A listing of a host directory with each entry's type, size and times, so
// that any change to it shows.
std::string Snapshot(const std::string &dir) {
    std::vector<std::string> lines;
    DIR *d = opendir(dir.c_str());
    if (!d) return "<absent>";
    while (dirent *entry = readdir(d)) {
        std::string path = dir + "/" + entry->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        std::ostringstream line;
        line << entry->d_name << ' ' << st.st_mode << ' ' << st.st_size << ' ' << st.st_mtim.tv_sec
             << '.' << st.st_mtim.tv_nsec << ' ' << st.st_ctim.tv_sec;
        lines.push_back(line.str());
    }
    closedir(d);
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const std::string &line : lines)
        all += line + "\n";
    return all;
}

// The entry names of a host directory, sorted.
std::string Names(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d) return "<absent>";
    while (dirent *entry = readdir(d))
        names.push_back(entry->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string &name : names)
        all += name + "\n";
    return all;
}

std::string ReadHostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool HostHas(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

class SimSandboxTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(box.Ok()) << "cannot make a scratch root under /var/tmp";
        ASSERT_EQ(geteuid(), 0u) << "the sandbox tests run as root";
    }
    // The program's view of a command's answer, with a check that the
    // sandbox itself was made.
    SimResult Sh(const std::string &script, const std::vector<std::string> &options = {},
                 std::string_view input = {}) {
        SimResult result = box.Sh(script, input, options);
        EXPECT_NE(result.status, kRefused) << result.err;
        return result;
    }
    SimSandbox box;
};

// --- what the program sees -----------------------------------------------------

TEST_F(SimSandboxTest, PassesStreamsAndExitStatus) {
    SimResult r = Sh("read x; echo \"out $x\"; echo err >&2; exit 42", {}, "hello\n");
    EXPECT_EQ(r.status, 42);
    EXPECT_EQ(r.out, "out hello\n");
    EXPECT_EQ(r.err, "err\n");
}

TEST_F(SimSandboxTest, ProgramKilledBySignalGivesThatStatus) {
    EXPECT_EQ(Sh("kill -TERM $$").status, 128 + SIGTERM);
}

TEST_F(SimSandboxTest, ProgramGetsACleanEnvironment) {
    SimResult r = Sh("env", {"--env", "LANG=de", "--env", "X=a b"});
    ASSERT_EQ(r.status, 0);
    std::set<std::string> names;
    for (const std::string &line : Lines(r.out))
        names.insert(line.substr(0, line.find('=')));
    const std::set<std::string> allowed = {
        "PATH", "HOME", "LOGNAME", "USER", "SHELL",        "SIM_DIR",       "LD_PRELOAD",
        "LANG", "X",    "PWD",     "TERM", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"};
    for (const std::string &name : names)
        EXPECT_TRUE(allowed.count(name)) << "unexpected variable " << name;
    EXPECT_NE(r.out.find("PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"), std::string::npos);
    EXPECT_NE(r.out.find("SIM_DIR=/var/sim\n"), std::string::npos);
    EXPECT_NE(r.out.find("LD_PRELOAD=/usr/lib/sim/libsimuname.so\n"), std::string::npos);
    EXPECT_NE(r.out.find("LANG=de\n"), std::string::npos);
    EXPECT_NE(r.out.find("X=a b\n"), std::string::npos);
}

TEST_F(SimSandboxTest, WorkingDirectoryIsTheCallersOrTheGivenOne) {
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(Sh("pwd").out, std::string(here) + "\n");
    EXPECT_EQ(Sh("pwd", {"--cwd", "/var/sadm"}).out, "/var/sadm\n");
}

// A checkout or build below a covered path of this machine (/tmp): the
// program starts in the working directory and runs from its directory,
// both read-only, unless the sandbox's machine has something of its own
// there; nothing of them shows in the sandbox's /tmp.
TEST_F(SimSandboxTest, HiddenDirectoriesOfThisMachineAreReachedReadOnly) {
    char made[] = "/tmp/simreach.XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    const std::string dir = made;
    ASSERT_EQ(SimExec({"/bin/sh", "-c",
                       "mkdir '" + dir + "/bin' && cp '" + SimBinDir() + "/sim-uname-probe' '" +
                           dir + "/bin/' && echo host > '" + dir + "/note'"})
                  .status,
              0);
    const std::string before = Names(dir);

    SimResult r =
        Sh("pwd; cat note; touch new 2>/dev/null || echo read-only; ls -A /tmp", {"--cwd", dir});
    EXPECT_EQ(r.out, dir + "\nhost\nread-only\n") << r.err;
    r = box.Run({dir + "/bin/sim-uname-probe"}, {}, {"--cwd", "/"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(1), "5.5.1") << "the program ran inside, with the preload";
    EXPECT_EQ(Names(dir), before) << "this machine's directory changed";
    EXPECT_EQ(ReadHostFile(dir + "/note"), "host\n");
    EXPECT_FALSE(box.Exists(dir)) << "the mount point stayed in the scratch /tmp";

    ASSERT_TRUE(box.Write(dir + "/note", "inside\n"));
    EXPECT_EQ(Sh("cat note", {"--cwd", dir}).out, "inside\n") << "the sandbox's own wins";
    std::filesystem::remove_all(dir);
}

TEST_F(SimSandboxTest, StandInsComeFirstOnASolarisLayout) {
    SimResult r =
        Sh("for c in df du uname whoami ps pkginfo pkgadd installf; do command -v $c; done;"
           " test -d /usr/ucb && test -d /usr/lib/lp && test -d /var/sadm/pkg &&"
           " test -f /var/sadm/install/contents && cat /var/sadm/install/admin/default;"
           " uname -r; whoami; df -b / | head -n 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/usr/bin/df\n/usr/bin/du\n/usr/bin/uname\n/usr/bin/whoami\n/usr/bin/ps\n"
                     "/usr/bin/pkginfo\n/usr/sbin/pkgadd\n/usr/sbin/installf\n"
                     "mail=\ninstance=unique\npartial=ask\nrunlevel=ask\nidepend=ask\n"
                     "rdepend=ask\nspace=ask\nsetuid=ask\nconflict=ask\naction=ask\n"
                     "basedir=default\n5.5.1\nroot\nFilesystem              avail\n");
}

TEST_F(SimSandboxTest, PreloadedUnameGivesTheConfiguredRelease) {
    std::string probe = SimBinDir() + "/sim-uname-probe";
    SimResult r = box.Run({probe});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(1), "5.5.1");
    r = box.Run({probe}, {}, {"--release", "5.6"});
    EXPECT_EQ(Lines(r.out).at(1), "5.6");
    r = box.Run({probe}, {}, {"--release", "5.10"});
    EXPECT_EQ(Lines(r.out).at(1), "5.10");
    EXPECT_EQ(Sh("uname -r").out, "5.10\n") << "the command and the system call agree";
    r = box.Run({probe}, {}, {"--release", ""});
    EXPECT_EQ(Lines(r.out).at(1), "");
    EXPECT_EQ(Sh("uname -r").out, "") << "an empty release prints nothing";
    utsname host;
    ASSERT_EQ(uname(&host), 0);
    r = box.Run({probe}, {}, {"--no-preload", "--release", "5.5.1"});
    EXPECT_EQ(Lines(r.out).at(1), host.release);
    EXPECT_EQ(Lines(r.out).at(0), host.sysname) << "only the release is changed";
}

TEST_F(SimSandboxTest, OptionsConfigureTheStandInsAndStay) {
    SimResult r = Sh("whoami; lpd -V 2>&1; test -x /usr/sbin/cupsd && echo cupsd; ps -e | head -1",
                     {"--user", "jdoe", "--lprng", "--cupsd"});
    EXPECT_EQ(r.out, "jdoe\nLPRng-3.8.B, Kerberos5, Copyright 1988-2003 Patrick Powell, "
                     "<papowell@lprng.com>\ncupsd\n   PID TTY         TIME CMD\n");
    EXPECT_EQ(Sh("whoami").out, "jdoe\n") << "configuration stays for the next run";
    r = Sh("command -v lpd cupsd; whoami", {"--no-lpd", "--no-cupsd", "--user", ""});
    EXPECT_EQ(r.out, "");
    r = Sh("lpd -V 2>&1", {"--lpd", "lpd 4.0 (BSD)"});
    EXPECT_EQ(r.out, "lpd 4.0 (BSD)\n");
    r = Sh("mkdir -p /opt/a/b; df -b /opt/a/b /opt | tail -n 2; mkdir -p /opt/x; du -s /opt/x",
           {"--df", "/opt/a=2000:/dev/dsk/c0t0d0s5", "--df", "/opt=17", "--du", "/opt/x=200"});
    EXPECT_EQ(r.out, "/dev/dsk/c0t0d0s5        2000\nsim:/opt                   17\n200\t/opt/x\n");
    r = Sh("df -b /opt/a | tail -n 1", {"--df", "/opt/a=1500"});
    EXPECT_EQ(r.out, "sim:/opt/a               1500\n") << "a path's line is replaced";
    EXPECT_TRUE(box.SetConf("user", "operator"));
    EXPECT_EQ(Sh("whoami").out, "operator\n");
    EXPECT_EQ(Sh("uname -r", {"--conf", "release=5.5"}).out, "5.5\n");
    EXPECT_EQ(Sh("whoami", {"--unset", "user"}).out, "root\n");
}

TEST_F(SimSandboxTest, HiddenCommandIsNotFound) {
    SimResult r = Sh("command -v whoami || echo gone; uncompress x 2>/dev/null; echo $?",
                     {"--hide", "whoami", "--hide", "uncompress"});
    EXPECT_EQ(r.out, "gone\n127\n");
    struct stat st;
    ASSERT_EQ(lstat((box.Root() + "/changes/usr/bin/whoami").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the removal is a whiteout in the changes";
    EXPECT_TRUE(HostHas("/usr/bin/whoami")) << "this machine keeps its whoami";
}

TEST_F(SimSandboxTest, SizedFileSystemLimitsSpaceAndCopiesBack) {
    ASSERT_TRUE(box.Write("/opt/seed", "seed\n"));
    SimResult r = Sh("cat /opt/seed; df -b /opt | tail -n 1;"
                     " head -c 2000000 /dev/zero > /opt/big 2>/dev/null || echo full;"
                     " rm /opt/big; echo new > /opt/new",
                     {"--size", "/opt=1m"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "seed");
    std::istringstream df(lines[1]);
    std::string device;
    double avail = 0;
    df >> device >> avail;
    EXPECT_EQ(device, "sim-opt");
    EXPECT_GT(avail, 900);
    EXPECT_LE(avail, 1024);
    EXPECT_EQ(lines[2], "full");
    EXPECT_EQ(box.Read("/opt/new"), "new\n") << "the tmpfs content comes back";
    EXPECT_EQ(box.Read("/opt/seed"), "seed\n");
    EXPECT_FALSE(box.Exists("/opt/big"));
    EXPECT_EQ(box.Sh("true", {}, {"--size", "/usr=1m"}).status, kRefused)
        << "only the bound paths can be sized";
}

TEST_F(SimSandboxTest, SpawnedProgramsRunUnderTheirNames) {
    SimResult r = Sh("ps -e | awk '{ print $4 }' | grep -x -e csf -e pmqadmin | sort; sleep 3;"
                     " ps -e | awk '{ print $4 }' | grep -x -e csf -e pmqadmin",
                     {"--spawn", "csf", "--spawn", "pmqadmin:1"});
    EXPECT_EQ(r.out, "csf\npmqadmin\ncsf\n");
    std::vector<SimCall> calls = box.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].prog, "csf");
    EXPECT_EQ(calls[1].prog, "pmqadmin");
    EXPECT_EQ(box.CommandLog(), "csf\npmqadmin\nps -e\nps -e\n");
}

TEST_F(SimSandboxTest, PlantedSuiteProgramRecordsItsStart) {
    ASSERT_TRUE(box.PlantSuiteProgram("/opt/Corla/vqmm/PlimtoD"));
    ASSERT_TRUE(box.SetConf("exit.PlimtoD", "3"));
    SimResult r = Sh("cd /opt/Corla/vqmm && PlimtoQueue=q1 ./PlimtoD -stop 'a b'; echo $?");
    EXPECT_EQ(r.out, "3\n");
    std::vector<SimCall> calls = box.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].prog, "PlimtoD");
    EXPECT_EQ(calls[0].cwd, "/opt/Corla/vqmm");
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"-stop", "a b"}));
    EXPECT_EQ(calls[0].env.at("PlimtoQueue"), "q1");
}

TEST_F(SimSandboxTest, LeftoverProcessesEndWithTheProgram) {
    SimResult r = box.Run({"/bin/sh", "-c", "sleep 600 & echo started"}, {}, {}, 60);
    EXPECT_FALSE(r.timedOut) << "the sandbox waited for a background process";
    EXPECT_EQ(r.out, "started\n");
}

// The benchmarks' CPU reporter: the named program's own time, once, without
// its children or its forks.
TEST_F(SimSandboxTest, CpuReporterCountsTheProgramAlone) {
    // LD_PRELOAD splits at blanks, which a build's path may hold.
    const std::string lib = box.Root() + "/libsimcpu.so";
    std::filesystem::copy_file(SimBinDir() + "/../lib/libsimcpu.so", lib);
    const std::string report = box.Root() + "/cpu";
    auto measure = [&](const std::string &program) {
        std::filesystem::remove(report);
        SimResult r = SimExec({"env", "LD_PRELOAD=" + lib, "SIM_CPU_PROGRAM=" + program,
                               "SIM_CPU_REPORT=" + report, "timeout", "60", "awk",
                               "BEGIN { for (i = 0; i < 3000000; i++) s += i }"});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines = Lines(ReadHostFile(report));
        EXPECT_EQ(lines.size(), 1u) << program << ": " << ReadHostFile(report);
        std::istringstream line(lines.empty() ? std::string() : lines[0]);
        std::string name;
        double user = -1, system = -1;
        line >> name >> user >> system;
        EXPECT_EQ(name, program);
        EXPECT_GE(user, 0);
        EXPECT_GE(system, 0);
        return user + system;
    };
    double parent = measure("timeout"); // forks, and its child runs awk
    double child = measure("awk");
    EXPECT_LT(parent, child / 2) << "the parent's report counted its child";
}

// --- isolation ---------------------------------------------------------------------

std::string StatLine(const std::string &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return "<absent>";
    std::ostringstream line;
    line << st.st_ino << ' ' << st.st_mode << ' ' << st.st_size << ' ' << st.st_mtim.tv_sec << '.'
         << st.st_mtim.tv_nsec << ' ' << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec;
    return line.str();
}

TEST_F(SimSandboxTest, NothingReachesThisMachine) {
    // Directories that only this test could change in full; elsewhere (other
    // programs share this machine) the objects the run touches.
    const std::vector<std::string> watched = {"/opt", "/etc/rc2.d", "/var/spool"};
    std::vector<std::string> before;
    for (const std::string &dir : watched)
        before.push_back(Snapshot(dir));
    const std::vector<std::string> touched = {"/usr/bin/whoami", "/etc/rc2.d", "/etc/hostname",
                                              "/usr/local"};
    std::vector<std::string> touchedBefore;
    for (const std::string &path : touched)
        touchedBefore.push_back(StatLine(path));
    const std::vector<std::string> absent = {"/var/sadm", "/usr/ucb", "/usr/lib/lp",
                                             "/usr/share/printconf", "/var/sim"};
    std::vector<bool> absentBefore;
    for (const std::string &path : absent)
        absentBefore.push_back(!HostHas(path));

    std::string name = "sim-isolation-" + std::to_string(getpid());
    const std::vector<std::string> places = {
        "/opt",     "/tmp",      "/var/spool", "/var/sadm",   "/etc/rc2.d", "/usr/share/printconf",
        "/usr/bin", "/usr/sbin", "/usr/ucb",   "/usr/lib/lp", "/etc",       "/var",
        "/var/tmp", "/root"};
    std::string script = "set -e;";
    for (const std::string &place : places)
        script += " echo " + place + " > " + place + "/" + name + ";";
    script += " echo x > /run/" + name + "; echo x > /dev/shm/" + name + "; echo x > /var/lock/" +
              name + ";";
    script += " mkdir -p /usr/local/Corla/vqmm; rm -f /usr/bin/whoami; chmod 700 /etc/rc2.d;"
              " echo changed >> /etc/hostname";
    SimResult r = Sh(script);
    ASSERT_EQ(r.status, 0) << r.err;

    for (const std::string &place : places) {
        EXPECT_FALSE(HostHas(place + "/" + name)) << place << " reached this machine";
        EXPECT_EQ(box.Read(place + "/" + name), place + "\n") << place << " is not in the root";
    }
    for (size_t i = 0; i < watched.size(); ++i)
        EXPECT_EQ(Snapshot(watched[i]), before[i]) << watched[i] << " changed";
    for (size_t i = 0; i < touched.size(); ++i)
        EXPECT_EQ(StatLine(touched[i]), touchedBefore[i]) << touched[i] << " changed";
    for (size_t i = 0; i < absent.size(); ++i) {
        if (absentBefore[i]) {
            EXPECT_FALSE(HostHas(absent[i])) << absent[i] << " was created";
        }
    }
    for (const char *place : {"/run/", "/dev/shm/", "/run/lock/"})
        EXPECT_FALSE(HostHas(place + name)) << place << " reached this machine";
    EXPECT_FALSE(HostHas("/usr/local/Corla"));
    EXPECT_TRUE(box.Exists("/usr/local/Corla/vqmm"));
    EXPECT_EQ(box.Read("/etc/hostname").substr(box.Read("/etc/hostname").size() - 8), "changed\n");
}

TEST_F(SimSandboxTest, ChangesStayForTheNextRun) {
    ASSERT_EQ(Sh("echo '#!/bin/sh' > /usr/bin/pmqadmin; chmod 755 /usr/bin/pmqadmin").status, 0);
    EXPECT_EQ(box.Read("/usr/bin/pmqadmin"), "#!/bin/sh\n");
    EXPECT_EQ(Sh("test -x /usr/bin/pmqadmin && echo kept").out, "kept\n");
}

// --- refusals --------------------------------------------------------------------------

TEST_F(SimSandboxTest, RefusesWithoutRoot) {
    // The script comes on standard input: the checkout need not be readable
    // by the unprivileged user (a checkout in root's home is not).
    std::string script = ReadHostFile(SIM_SANDBOX_SCRIPT);
    ASSERT_FALSE(script.empty()) << SIM_SANDBOX_SCRIPT;
    std::string marker = box.Root() + "/ran";
    SimResult r =
        SimExec({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "/bin/sh", "-s",
                 "--", "--root", box.Root(), "--", "/bin/sh", "-c", "touch " + marker},
                script);
    EXPECT_EQ(r.status, kRefused);
    EXPECT_NE(r.err.find("must run as root"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the program was not run"), std::string::npos) << r.err;
    EXPECT_FALSE(HostHas(marker));
}

TEST_F(SimSandboxTest, RefusesWhenTheNamespacesAreRefused) {
    std::string marker = box.Root() + "/ran";
    SimResult r = SimExec({"setpriv", "--bounding-set=-sys_admin", SimBinDir() + "/sim-sandbox",
                           "--root", box.Root(), "--", "/bin/sh", "-c", "touch " + marker});
    EXPECT_EQ(r.status, kRefused);
    EXPECT_NE(r.err.find("could not be made"), std::string::npos) << r.err;
    EXPECT_FALSE(HostHas(marker));
    // One message, saying what the machine lacks and what to do.
    EXPECT_EQ(r.err.find("sandbox:"), r.err.rfind("sandbox:")) << r.err;
    EXPECT_EQ(r.err.rfind("unshare:"), r.err.find("unshare:")) << r.err;
    EXPECT_NE(r.err.find("CAP_SYS_ADMIN"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("privileged container"), std::string::npos) << r.err;
}

TEST_F(SimSandboxTest, RefusesAnUnusableRoot) {
    // A directory with files of its own, and a root whose opt is a link.
    char foreign[] = "/var/tmp/simforeign.XXXXXX";
    char linked[] = "/var/tmp/simlinked.XXXXXX";
    ASSERT_NE(mkdtemp(foreign), nullptr);
    ASSERT_NE(mkdtemp(linked), nullptr);
    std::string notes = std::string(foreign) + "/notes";
    ASSERT_EQ(close(open(notes.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)), 0);
    std::filesystem::create_directory(std::string(linked) + "/.sandbox");
    std::filesystem::create_directory_symlink("/etc", std::string(linked) + "/opt");
    // Names only: other programs of this machine change times in these.
    std::string before = Names("/var") + Names("/usr/share") + Names("/etc");

    for (const std::string &root :
         {std::string("/"), std::string("/var"), std::string("/usr/share"),
          std::string("/etc/rc2.d"), std::string("/var/tmp"), std::string(foreign),
          std::string(linked), box.Root() + "/missing"}) {
        SimResult r = SimExec(
            {SimBinDir() + "/sim-sandbox", "--root", root, "--", "/bin/sh", "-c", "echo ran"});
        EXPECT_EQ(r.status, kRefused) << root;
        EXPECT_EQ(r.out, "") << root;
        EXPECT_NE(r.err.find("the program was not run"), std::string::npos) << root << r.err;
    }
    EXPECT_EQ(Names("/var") + Names("/usr/share") + Names("/etc"), before)
        << "a refused root got files";
    EXPECT_EQ(Snapshot(foreign).find(".sandbox"), std::string::npos);
    std::filesystem::remove_all(foreign);
    std::filesystem::remove_all(linked);
    SimResult r = SimExec({SimBinDir() + "/sim-sandbox", "--", "true"});
    EXPECT_EQ(r.status, kRefused) << "no root";
}

TEST_F(SimSandboxTest, RefusesARootInUse) {
    std::filesystem::create_directories(box.Root() + "/.sandbox");
    int fd = open((box.Root() + "/.sandbox/lock").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    SimResult r = box.Sh("echo ran");
    close(fd);
    EXPECT_EQ(r.status, kRefused);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("in use"), std::string::npos) << r.err;
}

TEST_F(SimSandboxTest, RefusesBadOptions) {
    for (const std::vector<std::string> &options :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--conf", "a/b=1"},
                                               {"--conf", "novalue"},
                                               {"--env", "1X=2"},
                                               {"--df", "opt=1"},
                                               {"--spawn", "../x"},
                                               {"--size", "/nowhere=1m"},
                                               {"--uname-lib", "/nonexistent.so"}}) {
        SimResult r = box.Sh("echo ran", {}, options);
        EXPECT_EQ(r.status, kRefused) << options[0];
        EXPECT_EQ(r.out, "") << options[0];
    }
}

// --- a package from a built distribution --------------------------------------------------

TEST_F(SimSandboxTest, DistributionInstallsWithPkgadd) {
    std::string dist = box.Root() + "/dist";
    SimResult made = SimMakeDist(dist, {"--files", "20"});
    ASSERT_EQ(made.status, 0) << made.err;
    // What the installer does: stage the listed files, join the pieces,
    // unpack, pkgadd in the operator's view, then start pmqadmin.
    std::string script = "set -e; W=/tmp/CorlaInstall; mkdir -p $W; cd $W;"
                         " for f in $(cat " +
                         dist +
                         "/disks); do"
                         "   [ $f = end_of_list ] || cp -p " +
                         dist +
                         "/$f $W; done;"
                         " cat $W/pkg_tar.* >> $W/Solaris2.5Vqmm.tar.Z;"
                         " uncompress $W/Solaris2.5Vqmm.tar.Z; tar xfp $W/Solaris2.5Vqmm.tar;"
                         " pkgadd -d $W QDRNvqmm; cd /opt/Corla/vqmm; ./pmqadmin -upgrade";
    SimResult r = Sh(script, {}, "y\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Installation of <QDRNvqmm> was successful."), std::string::npos);
    EXPECT_TRUE(box.Exists("/opt/Corla/vqmm/data/file0020"));
    EXPECT_TRUE(box.Exists("/etc/rc2.d/S99CorlaVqmm"));
    EXPECT_NE(box.Read("/var/sadm/pkg/QDRNvqmm/pkginfo").find("VERSION=3.01.67\n"),
              std::string::npos);
    EXPECT_NE(box.Read("/var/sadm/install/contents").find("/opt/Corla/vqmm/pmqadmin f none 0755"),
              std::string::npos);
    std::vector<SimCall> calls = box.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].prog, "pmqadmin");
    EXPECT_EQ(calls[0].path, "./pmqadmin");
    EXPECT_EQ(calls[0].cwd, "/opt/Corla/vqmm");
    EXPECT_EQ(calls[0].argv, std::vector<std::string>{"-upgrade"});
    EXPECT_EQ(calls[0].env.at("PATH"), "/usr/sbin:/usr/bin:/sbin:/bin");
    std::string log = box.CommandLog();
    EXPECT_NE(log.find("pkgadd -d /tmp/CorlaInstall QDRNvqmm\n"), std::string::npos) << log;
    EXPECT_NE(log.find("postinstall PKGINST=QDRNvqmm BASEDIR=/opt/Corla\n"), std::string::npos);
}

} // namespace
