// The generated scripts: their templates, how they are written, and what
// they do when a print system runs them, with stand-ins for the suite's
// programs that record their arguments, directory and environment.
#include "Scripts.h"

#include "CheckedFormat.h"
#include "SetupStepTest.h"
#include "TextLines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using corla_test::ChildResult;
using corla_test::Exists;
using corla_test::FakeOs;
using corla_test::Lines;
using corla_test::ModeOf;
using corla_test::ReadFile;
using corla_test::RunInChild;
using corla_test::WriteFile;

int CountPlaceholders(const char *templ) {
    int count = 0;
    for (const char *p = strchr(templ, '%'); p != nullptr; p = strchr(p + 2, '%')) {
        EXPECT_EQ(p[1], 's') << "a template holds a % that is not %s";
        ++count;
    }
    return count;
}

std::string ThisYear() {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900);
}

TEST(ScriptTemplates, HoldExactlyTheirPlaceholders) {
    EXPECT_EQ(CountPlaceholders(ScriptShShell), 0);
    EXPECT_EQ(CountPlaceholders(ScriptBanner), 1);
    EXPECT_EQ(CountPlaceholders(CorlaPrintvqmmScript), 6);
    EXPECT_EQ(CountPlaceholders(CorlaCSFScript), 2);
    EXPECT_EQ(CountPlaceholders(SimpleScript), 3);
    EXPECT_STREQ(ScriptShShell, "#!/bin/sh\n");
}

TEST(ScriptTemplates, BannerIsABoxOfFiveLinesOf63WithTheYear) {
    for (const char *year : {"2026", "1999"}) {
        char text[1024];
        ASSERT_GT(CheckedSnprintf(text, sizeof text, ScriptBanner, "%s", year), 0);
        std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), 6u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(lines[i].size(), size_t(ScriptBannerWidth)) << "line " << i;
        EXPECT_EQ(lines[0], std::string(63, '#'));
        EXPECT_EQ(lines[4], std::string(63, '#'));
        EXPECT_EQ(lines[1], "##" + std::string(59, ' ') + "##");
        EXPECT_EQ(lines[3], lines[1]);
        EXPECT_EQ(lines[2].substr(0, 2), "##");
        EXPECT_EQ(lines[2].substr(61), "##");
        EXPECT_NE(lines[2].find(year), std::string::npos);
        EXPECT_EQ(lines[5], "");
    }
}

TEST(ShellDoubleQuoted, EscapesWhatADoubleQuotedValueWouldInterpret) {
    char *plain = ShellDoubleQuoted("/opt/Corla/vqmm");
    EXPECT_STREQ(plain, "/opt/Corla/vqmm");
    PutMem(plain);
    char *odd = ShellDoubleQuoted("/a\"b$c`d\\e f'g");
    EXPECT_STREQ(odd, "/a\\\"b\\$c\\`d\\\\e f'g");
    PutMem(odd);
}

class ScriptsTest : public corla_test::SetupStepTest {
  protected:
    void SetUp() override {
        SetupStepTest::SetUp();
        UseFakeOs();
        MakeAppDir();
        printScript_ = App() + "/CorlaPrintvqmm";
        filterScript_ = App() + "/CorlaCSF";
    }
    std::string printScript_;
    std::string filterScript_;
};

TEST_F(ScriptsTest, PrintScriptLayout) {
    mode_t old = umask(077);
    EXPECT_EQ(
        generateCorlaPrintvqmmScript(printScript_.c_str(), ScriptShShell, CorlaPrintvqmmScript), 1);
    umask(old);
    std::string text = ReadFile(printScript_);
    std::vector<std::string> lines = Lines(text);
    ASSERT_GT(lines.size(), 10u);
    EXPECT_EQ(lines[0], "#!/bin/sh");
    EXPECT_EQ(lines[1], std::string(63, '#'));
    EXPECT_NE(lines[3].find(ThisYear()), std::string::npos);
    EXPECT_EQ(lines[5], std::string(63, '#'));
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "ToolPath=\"" + App() + "\"");
    EXPECT_EQ(lines[8], "CfgFlags=`cat ${ToolPath}/.pm_cfg`");
    EXPECT_NE(text.find("pmrvqmmtty -d$PlimtoPrinter -f >plimtovqmm.log 2>plimtovqmm.log"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "\nesac");
    EXPECT_EQ(ModeOf(printScript_), 0755u);
    ASSERT_EQ(FakeOs::lines.size(), 1u);
    EXPECT_NE(FakeOs::lines[0].find("chmod  755 " + printScript_ + " 1>/dev/null 2>/dev/null"),
              std::string::npos);
}

TEST_F(ScriptsTest, FilterScriptLayout) {
    EXPECT_EQ(generateCorlaCSFScript(filterScript_.c_str(), ScriptShShell, CorlaCSFScript,
                                     "/var/spool/Corla/vqmm"),
              1);
    std::string text = ReadFile(filterScript_);
    std::vector<std::string> lines = Lines(text);
    EXPECT_EQ(lines[7], "ToolPath=\"" + App() + "\"");
    EXPECT_EQ(lines[9], "SpoolDir=\"/var/spool/Corla/vqmm\"");
    EXPECT_NE(text.find("\n# Determine configuration\n"), std::string::npos);
    EXPECT_NE(text.find("\n# Main section of the script\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "\nesac");
    EXPECT_EQ(ModeOf(filterScript_), 0755u);
}

TEST_F(ScriptsTest, AScriptIsNeverWrittenThroughALink) {
    std::string victim = Dir() + "/victim";
    WriteFile(victim, "precious\n", 0644);
    ASSERT_EQ(symlink(victim.c_str(), printScript_.c_str()), 0);
    EXPECT_EQ(
        generateCorlaPrintvqmmScript(printScript_.c_str(), ScriptShShell, CorlaPrintvqmmScript), 1);
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_EQ(ModeOf(victim), 0644u);
    struct stat st;
    ASSERT_EQ(lstat(printScript_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(ScriptsTest, AScriptThatCannotBeOpenedIsReportedAndSkipped) {
    std::string missing = Dir() + "/no/such/CorlaPrintvqmm";
    ChildResult child = RunInChild([&] {
        exit(generateCorlaPrintvqmmScript(missing.c_str(), ScriptShShell, CorlaPrintvqmmScript));
    });
    EXPECT_EQ(child.status, 0);
    EXPECT_EQ(child.err, "ERROR: can't open file, " + missing + "\n");
}

TEST_F(ScriptsTest, ValuesWithShellCharactersStayThemselves) {
    std::string odd = Dir() + "/a$b\"c";
    ASSERT_EQ(mkdir(odd.c_str(), 0755), 0);
    Set(pAppDir, odd);
    std::string script = odd + "/CorlaPrintvqmm";
    generateCorlaPrintvqmmScript(script.c_str(), ScriptShShell, CorlaPrintvqmmScript);
    EXPECT_NE(ReadFile(script).find("ToolPath=\"" + Dir() + "/a\\$b\\\"c\""), std::string::npos);
    // The shell reads the assignment back as the directory itself.
    std::string check = "sed -n 's/^ToolPath=/ToolPath=/p' '" + script + "' > '" + Dir() +
                        "/assign'; . '" + Dir() + "/assign'; printf %s \"$ToolPath\" > '" + Dir() +
                        "/value'";
    ASSERT_EQ(system(check.c_str()), 0);
    EXPECT_EQ(ReadFile(Dir() + "/value"), odd);
}

TEST_F(ScriptsTest, QueueScriptsAreWrittenIntoTheApplicationDirectory) {
    createQueueScripts("/var/spool/Corla");
    EXPECT_TRUE(Exists(printScript_));
    EXPECT_NE(ReadFile(filterScript_).find("SpoolDir=\"/var/spool/Corla/vqmm\""),
              std::string::npos);
}

TEST_F(ScriptsTest, WrapperScriptChangesToTheApplicationDirectoryAndExecutesTheProgram) {
    std::string wrapper = Dir() + "/pmq";
    GenSimpleScript(wrapper.c_str(), ScriptShShell, SimpleScript, App().c_str(), App().c_str(),
                    "pmqadmin");
    std::string text = ReadFile(wrapper);
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "PlimtoFileSourceDir=`pwd`");
    EXPECT_EQ(lines[9], "export PlimtoFileSourceDir");
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "cd " + App());
    EXPECT_EQ(lines[12], "exec " + App() + "/pmqadmin $*");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(ModeOf(wrapper), 0755u);

    WriteFile(App() + "/pmqadmin",
              "#!/bin/sh\necho \"$*|`pwd`|$PlimtoFileSourceDir\" > \"$RECORD\"\n", 0755);
    std::string run =
        "cd '" + Dir() + "' && RECORD='" + Dir() + "/record' '" + wrapper + "' -list a";
    ASSERT_EQ(system(run.c_str()), 0);
    EXPECT_EQ(ReadFile(Dir() + "/record"), "-list a|" + App() + "|" + Dir() + "\n");
}

TEST_F(ScriptsTest, WrapperValuesWithShellCharactersAreQuoted) {
    std::string wrapper = Dir() + "/w";
    GenSimpleScript(wrapper.c_str(), ScriptShShell, SimpleScript, "/a b", "/a b", "p;q");
    std::vector<std::string> lines = Lines(ReadFile(wrapper));
    EXPECT_EQ(lines[11], "cd '/a b'");
    EXPECT_EQ(lines[12], "exec '/a b'/'p;q' $*");
}

// The interface scripts run the way print systems run them. The stand-ins
// for the suite's programs write one record per call.
class ScriptRunTest : public ScriptsTest {
  protected:
    void SetUp() override {
        ScriptsTest::SetUp();
        record_ = Dir() + "/record";
        spool_ = Dir() + "/spool";
        ASSERT_EQ(mkdir(spool_.c_str(), 0755), 0);
        createQueueScripts(spool_.c_str());
        const std::string recorder =
            "#!/bin/sh\n"
            "{\n"
            "echo \"prog=`basename $0`\"\n"
            "echo \"args=$*\"\n"
            "echo \"pwd=`pwd`\"\n"
            "env | grep -E '^(Plimto|PATH=)' | LC_ALL=C sort\n"
            "for f in \"$@\"; do [ -f \"$f\" ] && echo \"file $f=`cat \"$f\"`\"; done\n"
            ":\n"
            "} >> \"$RECORD\"\n";
        WriteFile(App() + "/pmrvqmmtty", recorder + "echo to-the-log; echo err >&2\n", 0755);
        WriteFile(App() + "/AixInterface", recorder, 0755);
        // csf succeeds at the CSF_SUCCEEDS-th call (first call by default).
        WriteFile(App() + "/csf",
                  recorder + "n=`cat \"$RECORD.n\" 2>/dev/null || echo 0`; n=`expr $n + 1`\n"
                             "echo $n > \"$RECORD.n\"\n"
                             "[ $n -ge ${CSF_SUCCEEDS:-1} ]\n",
                  0755);
    }
    void Config(const std::string &flags) { WriteFile(App() + "/.pm_cfg", flags); }
    // Run a script from dir with the environment assignments env, the
    // arguments args and input on standard input; yields its exit status.
    int Run(const std::string &script, const std::string &dir, const std::string &env,
            const std::string &args, const std::string &input = "") {
        WriteFile(Dir() + "/stdin", input);
        std::string command = "cd '" + dir + "' && RECORD='" + record_ + "' " + env + " '" +
                              script + "' " + args + " < '" + Dir() + "/stdin'";
        int rc = system(command.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string Record() const { return ReadFile(record_); }
    std::string LpInterface(const std::string &queue, const std::string &script) {
        std::string dir = Dir() + "/interfaces";
        mkdir(dir.c_str(), 0755);
        std::string link = dir + "/" + queue;
        EXPECT_EQ(symlink(script.c_str(), link.c_str()), 0);
        return link;
    }

    std::string record_;
    std::string spool_;
};

TEST_F(ScriptRunTest, PrintScriptV5RunsTheFilterWithTheJobsDataFiles) {
    Config(" V5 ");
    std::string lp1 = LpInterface("lp1", printScript_);
    EXPECT_EQ(Run(lp1, Dir(), "", "12-3 jdoe 'Report###1 copy' 2 'nobanner' /d/f1 /d/f2"), 0);
    EXPECT_EQ(Record(), "prog=pmrvqmmtty\n"
                        "args=-dlp1 -i /d/f1 /d/f2\n"
                        "pwd=" +
                            App() +
                            "\n"
                            "PATH=/usr/sbin:/usr/bin\n"
                            "PlimtoCopies=2\n"
                            "PlimtoOption_list=nobanner\n"
                            "PlimtoPrinter=lp1\n"
                            "PlimtoRequest_id=12-3\n"
                            "PlimtoTitle=Report\n"
                            "PlimtoUser_name=jdoe\n");
}

TEST_F(ScriptRunTest, PrintScriptWithoutConfigurationActsAsV5) {
    std::string lp2 = LpInterface("lp2", printScript_);
    EXPECT_EQ(Run(lp2, Dir(), "", "7 root title 1 '' /d/f"), 0);
    EXPECT_NE(Record().find("args=-dlp2 -i /d/f\n"), std::string::npos);
    WriteFile(App() + "/.pm_cfg", "");
    unlink(record_.c_str());
    EXPECT_EQ(Run(lp2, Dir(), "", "7 root title 1 '' /d/f"), 0);
    EXPECT_NE(Record().find("args=-dlp2 -i /d/f\n"), std::string::npos);
}

TEST_F(ScriptRunTest, PrintScriptFollowsTheLastKnownConfigurationWord) {
    Config(" LPRng junk CUPS ");
    EXPECT_EQ(Run(printScript_, Dir(), "PRINTER=cq", "9 jdoe 'T###1' 1 o /d/f"), 0);
    EXPECT_NE(Record().find("args=-dcq -i /d/f\n"), std::string::npos);
    EXPECT_NE(Record().find("PlimtoTitle=T###1\n"), std::string::npos); // CUPS keeps the title
}

TEST_F(ScriptRunTest, PrintScriptBsd) {
    Config(" BSD ");
    std::string queue = spool_ + "/bsd1";
    ASSERT_EQ(mkdir(queue.c_str(), 0755), 0);
    EXPECT_EQ(Run(printScript_, queue, "", "-w132 -l66 -i0 -n jdoe -h host1", "data"), 0);
    EXPECT_EQ(Record(), "prog=pmrvqmmtty\n"
                        "args=-dbsd1 -f\n"
                        "pwd=" +
                            queue +
                            "\n"
                            "PATH=" +
                            std::string(getenv("PATH")) +
                            "\n"
                            "PlimtoPrinter=bsd1\n"
                            "PlimtoQueue=" +
                            queue + "\n");
    // Both streams go to the queue's log file (each truncating it).
    std::string log = ReadFile(queue + "/plimtovqmm.log");
    EXPECT_NE(log.find("err"), std::string::npos);
}

TEST_F(ScriptRunTest, PrintScriptLprngReadsTheControlFile) {
    Config(" LPRng ");
    std::string queue = spool_ + "/lq1";
    ASSERT_EQ(mkdir(queue.c_str(), 0755), 0);
    std::string control = "Hhost1\nPjdoe\nJreport.ps\nNMy Title\nZduplex,tray=2\nQlq2\n"
                          "UdfA001host1\nUdfA002host1\n";
    std::string env = "PRINTER=lq1 SPOOL_DIR='" + queue + "' CONTROL='" + control + "'";
    EXPECT_EQ(Run(printScript_, queue, env, "-Apr@host1+001 -Ff -Pnone"), 0);
    EXPECT_EQ(Record(), "prog=pmrvqmmtty\n"
                        "args=-dlq2 -f -oduplex -otray=2 report.ps\n"
                        "pwd=" +
                            App() +
                            "\n"
                            "PATH=" +
                            std::string(getenv("PATH")) +
                            "\n"
                            "PlimtoControl_file=cfA001host1\n"
                            "PlimtoFileSourceDir=" +
                            queue +
                            "\n"
                            "PlimtoHost_name=host1\n"
                            "PlimtoJob_title=My Title\n"
                            "PlimtoQueue=lq2\n"
                            "PlimtoUser_name=jdoe\n");
}

TEST_F(ScriptRunTest, PrintScriptLprngTakesTheQueueFromTheSpoolDirectory) {
    Config(" LPRng ");
    std::string queue = spool_ + "/lq9";
    ASSERT_EQ(mkdir(queue.c_str(), 0755), 0);
    std::string env = "PRINTER=none SPOOL_DIR='" + queue + "' CONTROL='Jjob\n'";
    EXPECT_EQ(Run(printScript_, queue, env, "-Ax"), 0);
    EXPECT_NE(Record().find("args=-dlq9 -f job\n"), std::string::npos);
    EXPECT_NE(Record().find("PlimtoQueue=lq9\n"), std::string::npos);
}

TEST_F(ScriptRunTest, PrintScriptPassesBackslashesThrough) {
    // Job and user names from Windows clients carry backslashes.
    Config(" V5 ");
    std::string lp1 = LpInterface("lp1", printScript_);
    EXPECT_EQ(Run(lp1, Dir(), "", "12-3 'dom\\user' 'C:\\temp\\new.txt###1' 1 '' /d/f"), 0);
    EXPECT_NE(Record().find("\nPlimtoTitle=C:\\temp\\new.txt\n"), std::string::npos) << Record();
    EXPECT_NE(Record().find("\nPlimtoUser_name=dom\\user\n"), std::string::npos);

    unlink(record_.c_str());
    Config(" LPRng ");
    std::string queue = spool_ + "/lq1";
    ASSERT_EQ(mkdir(queue.c_str(), 0755), 0);
    std::string control = "Hho\\st\nPdom\\user\nNC:\\temp\\new.txt\nQq\\1\nUdfA\\001\n";
    std::string env = "PRINTER=lq1 SPOOL_DIR='" + queue + "' CONTROL='" + control + "'";
    EXPECT_EQ(Run(printScript_, queue, env, "-Ax"), 0);
    std::string record = Record();
    for (const char *line :
         {"\nPlimtoJob_title=C:\\temp\\new.txt\n", "\nPlimtoUser_name=dom\\user\n",
          "\nPlimtoHost_name=ho\\st\n", "\nPlimtoQueue=q\\1\n", "\nPlimtoControl_file=cfA\\001\n"})
        EXPECT_NE(record.find(line), std::string::npos) << line << " in " << record;
}

TEST_F(ScriptRunTest, PrintScriptAix) {
    Config(" AIX ");
    EXPECT_EQ(Run(printScript_, Dir(), "", "-q aq1 /d/f"), 0);
    EXPECT_EQ(Record(), "prog=AixInterface\nargs=-q aq1 /d/f\npwd=" + App() +
                            "\nPATH=" + std::string(getenv("PATH")) + "\n");
}

TEST_F(ScriptRunTest, FilterScriptV5RetriesCsfUntilItSucceeds) {
    Config(" V5 ");
    std::string lp1 = LpInterface("lp1", filterScript_);
    EXPECT_EQ(Run(lp1, Dir(), "CSF_SUCCEEDS=3", "12-3 jdoe 'T###1' 2 o /d/f1"), 0);
    std::string record = Record();
    size_t calls = 0;
    for (size_t at = record.find("prog=csf"); at != std::string::npos;
         at = record.find("prog=csf", at + 1))
        ++calls;
    EXPECT_EQ(calls, 3u);
    EXPECT_NE(record.find("args=/d/f1\n"), std::string::npos);
    EXPECT_NE(record.find("PlimtoPrinter=lp1\n"), std::string::npos);
    EXPECT_NE(record.find("PlimtoTitle=T###1\n"), std::string::npos);
    EXPECT_NE(record.find("pwd=" + App() + "\n"), std::string::npos);
}

TEST_F(ScriptRunTest, FilterScriptCups) {
    Config(" CUPS ");
    EXPECT_EQ(Run(filterScript_, Dir(), "PRINTER=cq1", "5 jdoe t 1 o /d/f"), 0);
    EXPECT_NE(Record().find("args=/d/f\n"), std::string::npos);
    EXPECT_NE(Record().find("PlimtoPrinter=cq1\n"), std::string::npos);
}

TEST_F(ScriptRunTest, FilterScriptBsdHandsOverACopyOfTheJob) {
    Config(" BSD ");
    std::string queue = spool_ + "/vqmm/bsd1"; // <spool>/vqmm is the script's SpoolDir
    ASSERT_EQ(system(("mkdir -p '" + queue + "'").c_str()), 0);
    EXPECT_EQ(Run(filterScript_, queue, "", "-w132", "job data"), 0);
    std::string record = Record();
    EXPECT_NE(record.find("args=" + queue + "/bsd1."), std::string::npos);
    EXPECT_NE(record.find("=job data\n"), std::string::npos);
    EXPECT_NE(record.find("PlimtoQueue=" + queue + "\n"), std::string::npos);
    // The copy is gone afterwards.
    ASSERT_EQ(system(("ls '" + queue + "' | grep -q 'bsd1\\.' && exit 1; exit 0").c_str()), 0);
}

TEST_F(ScriptRunTest, FilterScriptLprngCollectsTheFilesAndCopiesStandardInput) {
    Config(" LPRng ");
    std::string queue = spool_ + "/lq1";
    ASSERT_EQ(mkdir(queue.c_str(), 0755), 0);
    WriteFile(Dir() + "/other", "other data");
    std::string env = "SPOOL_DIR='" + queue + "'";
    EXPECT_EQ(Run(filterScript_, queue, env,
                  "-Pq -f /d/first -Jj -f '(stdin)' -f '" + Dir() + "/other'", "piped"),
              0);
    std::string record = Record();
    size_t args = record.find("args=" + queue + "/lq1.");
    ASSERT_NE(args, std::string::npos) << record;
    EXPECT_NE(record.find(" " + Dir() + "/other\n"), std::string::npos);
    EXPECT_EQ(record.find("/d/first"), std::string::npos); // replaced by the copy
    EXPECT_NE(record.find("=piped\n"), std::string::npos);
    EXPECT_NE(record.find("=other data\n"), std::string::npos);
    ASSERT_EQ(system(("ls '" + queue + "' | grep -q 'lq1\\.' && exit 1; exit 0").c_str()), 0);
}

TEST_F(ScriptRunTest, FilterScriptAix) {
    Config(" AIX ");
    EXPECT_EQ(Run(filterScript_, Dir(), "", "-a b"), 0);
    EXPECT_EQ(Record(),
              "prog=csf\nargs=-a b\npwd=" + App() + "\nPATH=" + std::string(getenv("PATH")) + "\n");
}

} // namespace
