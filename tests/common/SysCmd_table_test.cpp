// The command table and the search for its commands.
#include "SysCmd.h"

#include "MemMgr.h"
#include "SysLayerTest.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace corla_test;

namespace {

struct Row {
    int index;
    const char *name;
    const char *flags;
    int wait;
};

// The fixed table: callers address commands by these numbers.
constexpr Row Expected[] = {
    {2, "cancel", "", 2},       {3, "cat", "", 0},           {4, "chgrp", "", 0},
    {5, "chmod", "", 0},        {6, "chown", "", 0},         {7, "clear", "", 0},
    {8, "compress", "", 0},     {9, "cp", "-p", 0},          {10, "cp", "-pr", 0},
    {11, "cupsd", "", 0},       {12, "id", "", 0},           {13, "echo", "", 0},
    {14, "eject", "-f", 1},     {15, "eject", "-q", 1},      {16, "file", "", 0},
    {17, "ln", "", 0},          {18, "lp", "", 0},           {19, "lpc", "", 1},
    {20, "lpr", "", 0},         {21, "lprm", "", 1},         {22, "lpstat", "", 1},
    {23, "ls", "", 0},          {24, "kill", "-KILL", 0},    {25, "mv", "-f", 0},
    {26, "mkdir", "-p", 0},     {27, "more", "", 0},         {28, "ping", "", 0},
    {29, "rm", "-f", 0},        {30, "rm", "-rf", 0},        {31, "sh", "", 0},
    {32, "sleep", "", 0},       {33, "tar", "cvfp", 0},      {34, "tar", "xvfp", 0},
    {35, "touch", "", 0},       {36, "uncompress", "", 0},   {37, "whoami", "", 0},
    {38, "zcat", "", 0},        {39, "uname", "", 0},        {40, "sed", "", 0},
    {41, "du", "-s", 0},        {42, "checkpc", "", 0},      {43, "lpd", "", 0},
    {44, "pkgadd", "", 1},      {45, "pkginfo", "", 0},      {46, "pkgrm", "", 1},
    {47, "accept", "", 1},      {48, "disable", "", 1},      {49, "enable", "", 1},
    {50, "lpadmin", "", 1},     {51, "lpfilter", "", 1},     {52, "lpsched", "", 1},
    {53, "lpshut", "", 1},      {54, "lpsystem", "", 1},     {55, "ps", "-e", 0},
    {56, "bar", "", 0},         {57, "df", "-b", 0},         {58, "lpq", "-P", 0},
    {59, "ypcat", "", 0},       {60, "reject", "", 1},       {61, "pmadm", "", 1},
    {62, "sacadm", "", 1},      {63, "volcheck", "", 0},     {64, "capture", "", 0},
    {65, "lpset", "", 1},       {66, "instnetpr", "", 1},    {67, "piomkpq", "", 0},
    {68, "piomisc_ext", "", 0}, {69, "piomisc_base", "", 0}, {70, "lsallq", "", 0},
    {71, "mkque", "", 0},       {72, "mkquedev", "", 0},     {73, "rmque", "", 0},
    {74, "rmquedev", "", 0},    {75, "piochdfq", "", 0},     {76, "enq", "", 0},
    {77, "lsquedev", "", 0},    {78, "lsque", "", 0},        {79, "startsrc", "", 1},
    {80, "stopsrc", "", 0},     {81, "lssrc", "", 0},
};

class CommandTable : public SysLayerTest {
  protected:
    // A directory below Dir() holding empty files of the given names.
    std::string MakeDir(const std::string &sub, std::initializer_list<const char *> names) {
        std::string dir = Dir() + "/" + sub;
        mkdir(dir.c_str(), 0755);
        for (const char *name : names)
            WriteFile(dir + "/" + name, "", 0755);
        return dir;
    }
    // Texts the table keeps pointing at must outlive the test body.
    std::string keepA_, keepB_, keepC_;
};

TEST_F(CommandTable, HoldsEveryCommandAtItsFixedIndex) {
    static_assert(std::size(Expected) == 80);
    for (const Row &row : Expected) {
        SCOPED_TRACE(row.index);
        EXPECT_STREQ(ComList[row.index].name, row.name);
        EXPECT_STREQ(ComList[row.index].flags, row.flags);
        EXPECT_EQ(ComList[row.index].wait, row.wait);
    }
    EXPECT_STREQ(ComList[0].name, "");
    EXPECT_STREQ(ComList[1].name, "");
    EXPECT_EQ(ComList[CmdEnd].name, nullptr);
    EXPECT_STREQ(SearchPaths, "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp");
}

TEST_F(CommandTable, FirstDirectoryThatHoldsACommandWins) {
    keepA_ = MakeDir("a", {"cp", "cpio"});
    keepB_ = MakeDir("b", {"cp", "ls"});
    EXPECT_EQ(FillCmdPaths(keepA_.c_str()), 1);
    EXPECT_EQ(FillCmdPaths(keepB_.c_str()), 1);
    EXPECT_EQ(ComList[CmdCp].path, keepA_.c_str()); // the directory text itself, no copy
    EXPECT_EQ(ComList[CmdCpR].path, keepA_.c_str());
    EXPECT_EQ(ComList[CmdLs].path, keepB_.c_str());
    EXPECT_EQ(ComList[CmdMv].path, nullptr);
}

TEST_F(CommandTable, EntriesAreMatchedByWholeName) {
    keepA_ = MakeDir("a", {"x cp y", "cpio", "xls"});
    mkdir((keepA_ + "/mv").c_str(), 0755); // a directory bearing a command's name counts
    FillCmdPaths(keepA_.c_str());
    EXPECT_EQ(ComList[CmdCp].path, nullptr);
    EXPECT_EQ(ComList[CmdLs].path, nullptr);
    EXPECT_EQ(ComList[CmdMv].path, keepA_.c_str());
}

TEST_F(CommandTable, FillCmdPathsTellsWhetherSomethingIsMissing) {
    std::string all = Dir() + "/all";
    mkdir(all.c_str(), 0755);
    for (const Row &row : Expected)
        WriteFile(all + "/" + row.name, "", 0755);
    keepA_ = all;
    EXPECT_EQ(FillCmdPaths((Dir() + "/missing").c_str()), 1); // unreadable: go on
    EXPECT_EQ(FillCmdPaths(keepA_.c_str()), 0);
    for (const Row &row : Expected)
        EXPECT_EQ(ComList[row.index].path, keepA_.c_str()) << row.name;
}

TEST_F(CommandTable, LazyLookupFollowsTheFullSearchPathSkippingRelativeEntries) {
    keepA_ = MakeDir("a", {"ls"});
    keepB_ = MakeDir("b", {"piomkpq", "ls"});
    MakeDir("rel", {"piochdfq"});
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    FullSearchPath = SaveStr("rel:%s::%s:", keepA_.c_str(), keepB_.c_str());

    EXPECT_EQ(FillCmdPath(CmdPiomkpq), 1);
    EXPECT_STREQ(ComList[CmdPiomkpq].path, keepB_.c_str());
    EXPECT_NE(ComList[CmdPiomkpq].path, keepB_.c_str()); // a copy of its own
    EXPECT_EQ(FillCmdPath(CmdLs), 1);
    EXPECT_STREQ(ComList[CmdLs].path, keepA_.c_str());
    EXPECT_EQ(FillCmdPath(CmdPiochdfq), 0); // only in a relative directory
    EXPECT_EQ(ComList[CmdPiochdfq].path, nullptr);
    EXPECT_EQ(FillCmdPath(0), 0);
    EXPECT_EQ(FillCmdPath(CmdEnd), 0);
}

TEST_F(CommandTable, LazyLookupLeavesTheCallersTokenScanAlone) {
    keepA_ = MakeDir("a", {"ls"});
    FullSearchPath = SaveStr("%s", keepA_.c_str());
    ASSERT_STREQ(GetToken("one two", " "), "one");
    EXPECT_TRUE(TestCmd(CmdLs));
    EXPECT_STREQ(GetToken(nullptr, " "), "two");
}

TEST_F(CommandTable, LazyLookupBuildsTheFullSearchPathFromPath) {
    setenv("PATH", "/nowhere/x", 1);
    FillCmdPath(CmdPiomiscBase);
    EXPECT_STREQ(FullSearchPath, "/usr/bin:/usr/ucb:/usr/sbin:/bin:/sbin:/usr/lib:/usr/lib/lp:"
                                 "/nowhere/x");
}

TEST_F(CommandTable, InitSysCmdListSearchesFixedThenPathDirectories) {
    keepA_ = MakeDir("a", {"cp", "sh"});
    keepB_ = MakeDir("b", {"cp", "ls"});
    keepC_ = MakeDir("c", {"mv", "ls"});
    MakeDir("rel", {"rm"});
    ASSERT_LT(keepA_.size() + 1 + keepB_.size(), SearchPathsSize);
    snprintf(SearchPaths, sizeof SearchPaths, "%s:%s", keepA_.c_str(), keepB_.c_str());
    ASSERT_EQ(chdir(Dir().c_str()), 0);
    setenv("PATH", ("rel::" + keepC_).c_str(), 1);
    std::string fixed = SearchPaths;

    InitSysCmdList();

    EXPECT_EQ(flInitSysCmd, 0);
    EXPECT_EQ(std::string(FullSearchPath), fixed + ":rel::" + keepC_);
    EXPECT_STREQ(ComList[CmdCp].path, keepA_.c_str());
    EXPECT_STREQ(ComList[CmdLs].path, keepB_.c_str());
    EXPECT_STREQ(ComList[CmdMv].path, keepC_.c_str());
    EXPECT_EQ(ComList[CmdRm].path, nullptr); // relative PATH entries are not searched
    ASSERT_NE(getenv("SHELL"), nullptr);
    EXPECT_EQ(std::string(getenv("SHELL")), keepA_ + "/sh ");
    // Eager mode: a missing command stays missing.
    EXPECT_EQ(TestCmd(CmdRm), 0);
    EXPECT_EQ(ComList[CmdRm].path, nullptr);
    EXPECT_EQ(flSysCmdLog, 0); // logging off: no command log either
    EXPECT_FALSE(Exists(LogPath()));
}

TEST_F(CommandTable, InitSysCmdListWithoutPathSearchesFixedDirectoriesOnly) {
    keepA_ = MakeDir("a", {"cp"});
    snprintf(SearchPaths, sizeof SearchPaths, "%s", keepA_.c_str());
    unsetenv("PATH");
    unsetenv("SHELL");
    InitSysCmdList();
    EXPECT_EQ(std::string(FullSearchPath), keepA_ + ":");
    EXPECT_STREQ(ComList[CmdCp].path, keepA_.c_str());
    EXPECT_EQ(getenv("SHELL"), nullptr); // no shell found: SHELL is left alone
}

TEST_F(CommandTable, InitSysCmdListStartsTheCommandLog) {
    keepA_ = MakeDir("a", {"sh"});
    snprintf(SearchPaths, sizeof SearchPaths, "%s", keepA_.c_str());
    unsetenv("PATH");
    flUseLog = 1;
    InitSysCmdList();
    EXPECT_EQ(flSysCmdLog, 1);
    EXPECT_EQ(ReadLog(), "initializing system\n");
}

TEST_F(CommandTable, TestCmdOnlyForLocatedTableCommands) {
    flInitSysCmd = 0;
    ComList[CmdLs].path = "/somewhere";
    ComList[0].path = "/somewhere";
    ComList[1].path = "/somewhere";
    EXPECT_NE(TestCmd(CmdLs), 0);
    EXPECT_EQ(TestCmd(CmdCp), 0);
    EXPECT_EQ(TestCmd(0), 0);
    EXPECT_EQ(TestCmd(1), 0);
    EXPECT_EQ(TestCmd(-CmdLs), 0);
    EXPECT_EQ(TestCmd(CmdEnd), 0);
    EXPECT_EQ(TestCmd(ComListSize), 0);
    EXPECT_EQ(TestCmd(100000), 0);
}

TEST_F(CommandTable, GetCmdFormatsPathNameAndFlags) {
    flInitSysCmd = 0;
    ComList[CmdCp].path = "/usr/bin";
    ComList[CmdCpR].path = "/usr/bin";
    ComList[CmdDu].path = "/usr/bin";
    ComList[CmdLs].path = "/opt/my tools";
    struct Case {
        int index;
        const char *withFlags;
        const char *noFlags;
    } cases[] = {
        {CmdCp, "/usr/bin/cp -p", "/usr/bin/cp"},
        {CmdCpR, "/usr/bin/cp -pr", "/usr/bin/cp"},
        {CmdDu, "/usr/bin/du -s", "/usr/bin/du"},
        {CmdLs, "'/opt/my tools/ls' ", "'/opt/my tools/ls'"},
    };
    for (const Case &c : cases) {
        char *with = GetCmd(c.index);
        char *without = GetCmdNoFlags(c.index);
        EXPECT_STREQ(with, c.withFlags);
        EXPECT_STREQ(without, c.noFlags);
        PutMem(with);
        PutMem(without);
    }
    EXPECT_EQ(GetCmd(CmdMv), nullptr);
    EXPECT_EQ(GetCmdNoFlags(CmdMv), nullptr);
    EXPECT_EQ(GetCmd(CmdEnd), nullptr);
    EXPECT_EQ(GetCmdNoFlags(CmdEnd), nullptr);
    EXPECT_EQ(GetCmdNoFlags(-1), nullptr);
}

TEST_F(CommandTable, GetCmdRefusesALineThatDoesNotFit) {
    flInitSysCmd = 0;
    // "<path>/cp -p" is the path plus 6 characters; 4095 fit.
    for (size_t pathLen : {CmdLineSize - 8, CmdLineSize - 7, CmdLineSize - 6}) {
        std::string path = "/" + std::string(pathLen - 1, 'p');
        ComList[CmdCp].path = path.c_str();
        char *cmd = GetCmd(CmdCp);
        if (pathLen + 6 <= CmdLineSize - 1) {
            ASSERT_NE(cmd, nullptr) << pathLen;
            EXPECT_EQ(strlen(cmd), pathLen + 6);
        } else {
            EXPECT_EQ(cmd, nullptr) << pathLen;
        }
        PutMem(cmd);
        ComList[CmdCp].path = nullptr;
    }
}

TEST_F(CommandTable, GetCmdLooksUpLazily) {
    keepA_ = MakeDir("a", {"uname"});
    FullSearchPath = SaveStr("%s", keepA_.c_str());
    char *cmd = GetCmd(CmdUname);
    EXPECT_EQ(std::string(cmd), keepA_ + "/uname ");
    PutMem(cmd);
}

} // namespace
