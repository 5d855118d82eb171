// System queries and the parsers of the listings they read.
#include "SysCmd.h"

#include "MemMgr.h"
#include "SysLayerTest.h"
#include "utils.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace corla_test;

namespace {

// Listings as the real commands print them.
const char SolarisPs[] = "   PID TTY         TIME CMD\n"
                         "     0 ?           0:01 sched\n"
                         "   312 ?           0:03 pmqadmin\n"
                         "   123 pts/1       0:00 plimto\n"
                         "   377 pts/1       0:00 pmrvqmmt\n"
                         "   456 ?           0:00 plimto\n";
const char LinuxPs[] = "    PID TTY          TIME CMD\n"
                       "      1 ?        00:00:02 process_api\n"
                       "   4242 pts/0    00:00:00 pmadmin\n"
                       "   4243 pts/0 1-02:03:04 pmqadmin\n";

class Queries : public SysLayerTest {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        LocateAllIn("/usr/bin");
        UseFakeOs();
    }
    static std::string Take(char *text) {
        std::string copy = text != nullptr ? text : "(none)";
        PutMem(text);
        return copy;
    }
};

TEST_F(Queries, ProcessIdsOfExactCommandNames) {
    FakeOs::popenOutput = SolarisPs;
    EXPECT_EQ(Take(GetSysPsIdList("plimto")), " 123 456 ");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/ps -e ");
    EXPECT_EQ(Take(GetSysPsIdList("pmadmin")), "(none)"); // pmqadmin is another program
    EXPECT_EQ(Take(GetSysPsIdList("pmqadmin")), " 312 ");
    EXPECT_EQ(Take(GetSysPsIdList("CMD")), "(none)"); // the header is no process
    FakeOs::popenOutput = LinuxPs;
    EXPECT_EQ(Take(GetSysPsIdList("pmadmin")), " 4242 ");
    EXPECT_EQ(Take(GetSysPsIdList("pmqadmin")), " 4243 ");
    FakeOs::popenOutput = "";
    EXPECT_EQ(Take(GetSysPsIdList("plimto")), "(none)");
    EXPECT_EQ(Take(GetSysPsIdList(nullptr)), "(none)");
}

TEST_F(Queries, RunningProgramReport) {
    FakeOs::popenOutput = SolarisPs;
    EXPECT_EQ(Take(CheckProcTableForExecs(",plimto,")), "plimto ( 123 456 )\n");
    EXPECT_EQ(Take(CheckProcTableForExecs(",pmadmin,pmqadmin,plimto,")),
              "pmqadmin ( 312 )\nplimto ( 123 456 )\n");
    EXPECT_EQ(Take(CheckProcTableForExecs("pmadmin,,csf")), "(none)");
    EXPECT_EQ(Take(CheckProcTableForExecs(nullptr)), "(none)");
}

TEST_F(Queries, RunningProgramReportHasNoLengthLimit) {
    // 150 csf jobs once overflowed a 1024-byte report.
    std::string ps = "  PID TTY TIME CMD\n";
    std::string ids;
    for (int k = 0; k < 150; ++k) {
        ps += "  " + std::to_string(10000 + k) + " ? 0:00 csf\n";
        ids += " " + std::to_string(10000 + k);
    }
    FakeOs::popenOutput = ps;
    std::string list = ",csf," + std::string(600, ',') + "plimto,";
    EXPECT_EQ(Take(CheckProcTableForExecs(list.c_str())), "csf (" + ids + " )\n");
}

TEST_F(Queries, KillSignalsOnlyRealOtherProcesses) {
    std::string self = std::to_string(getpid());
    FakeOs::popenOutput = "  PID TTY TIME CMD\n"
                          "  123 ? 0:00 csf\n"
                          "    0 ? 0:00 csf\n"
                          "    1 ? 0:00 csf\n"
                          "  12x ? 0:00 csf\n"
                          "  " +
                          self +
                          " ? 0:00 csf\n"
                          "  456 ? 0:00 csf\n";
    EXPECT_EQ(KillProcessByName("csf"), 0);
    EXPECT_EQ(FakeOs::kills, (std::vector<std::pair<pid_t, int>>{{123, 9}, {456, 9}}));
    EXPECT_EQ(FakeOs::sleeps, std::vector<unsigned>{1});
}

TEST_F(Queries, KillStopsAtTheFirstProcessItMayNotSignal) {
    FakeOs::popenOutput = "  PID TTY TIME CMD\n  123 ? 0:00 csf\n  456 ? 0:00 csf\n";
    FakeOs::killErrno = EPERM;
    EXPECT_EQ(KillProcessByName("csf"), 0);
    EXPECT_EQ(FakeOs::kills.size(), 1u);
    EXPECT_EQ(FakeOs::sleeps, std::vector<unsigned>{1});
    FakeOs::kills.clear();
    FakeOs::popenOutput = "";
    EXPECT_EQ(KillProcessByName("csf"), 0);
    EXPECT_TRUE(FakeOs::kills.empty());
}

struct DfCase {
    const char *output;
    int result;
    double avail;
    const char *line;
};

TEST_F(Queries, DiskSpaceFromTheAvailColumn) {
    const DfCase cases[] = {
        {"Filesystem              avail\n/dev/dsk/c0t3d0s5      381552\n", 1, 381552,
         "/dev/dsk/c0t3d0s5      381552\n"},
        {"Filesystem Avail\nnone 2048\n", 1, 2048, "none 2048\n"},
        {"Filesystem AVAIL\nswap 7\n", 1, 7, "swap 7\n"},
        {"Filesystem 1K-blocks Used Available Use% Mounted on\n/dev/vda 100 40 60 40% /\n", 1, 60,
         "/dev/vda 100 40 60 40% /\n"},
        {"Filesystem              avail\n", 1, 0, ""},    // a header alone
        {"Filesystem free\n/dev/x 12\n", 0, 0, ""},       // no avail column
        {"Filesystem avail\n/dev/x\n", 0, 0, "/dev/x\n"}, // no word under it
        {"", 0, 0, ""},
    };
    for (const DfCase &c : cases) {
        SCOPED_TRACE(c.output);
        FakeOs::popenOutput = c.output;
        DiskSpace space;
        memset(space.line, 'z', sizeof space.line - 1); // left from an earlier use
        space.line[sizeof space.line - 1] = '\0';
        space.avail = -1;
        EXPECT_EQ(GetDiskSpace("/opt", &space), c.result);
        EXPECT_EQ(space.avail, c.avail);
        EXPECT_STREQ(space.line, c.line);
    }
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/df -b /opt");
    GetDiskSpace("/opt/my dir", nullptr);
    DiskSpace space;
    GetDiskSpace("/opt/my dir", &space);
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/df -b '/opt/my dir'");
}

TEST_F(Queries, DiskSpaceLineIsBounded) {
    for (size_t len : {DfLineSize - 2, DfLineSize - 1, DfLineSize}) {
        std::string data = "x 5 " + std::string(len - 4, 'y');
        FakeOs::popenOutput = "Filesystem avail\n" + data;
        DiskSpace space;
        EXPECT_EQ(GetDiskSpace("/", &space), 1);
        EXPECT_EQ(space.avail, 5);
        EXPECT_EQ(std::string(space.line), data.substr(0, DfLineSize - 1));
    }
}

TEST_F(Queries, DuPathTakesTheLeadingNumber) {
    FakeOs::popenOutput = "184\t/opt/Corla\n";
    EXPECT_EQ(DUPath("/opt/Corla"), 184);
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/du -s /opt/Corla");
    FakeOs::popenOutput = "";
    EXPECT_EQ(DUPath("/opt/Corla"), 0);
    EXPECT_EQ(DUPath(nullptr), 0);
}

TEST_F(Queries, AvailSpaceMeasuresTheNearestExistingParent) {
    // The last matching prefix serves: only "/a" itself is measured.
    FakeOs::popenByPrefix = {{"/usr/bin/df -b /a", "Filesystem avail\n/dev/x 500\n"},
                             {"/usr/bin/df -b /a/", ""}};
    EXPECT_EQ(AvailSpace("/a/b/c", nullptr, 400), 1);
    EXPECT_EQ(FakeOs::lines,
              (std::vector<std::string>{"/usr/bin/df -b /a/b/c", "/usr/bin/df -b /a/b",
                                        "/usr/bin/df -b /a"}));
    EXPECT_EQ(AvailSpace("/a/b/c", nullptr, 600), 0);
}

TEST_F(Queries, AvailSpaceEndsWhereThereIsNoParentLeft) {
    FakeOs::popenOutput = ""; // df measures nothing anywhere
    EXPECT_EQ(AvailSpace("/x/y", nullptr, 1), 0);
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"/usr/bin/df -b /x/y", "/usr/bin/df -b /x",
                                                       "/usr/bin/df -b /"}));
    FakeOs::lines.clear();
    EXPECT_EQ(AvailSpace("rel", nullptr, 1), 0);
    EXPECT_EQ(FakeOs::lines, (std::vector<std::string>{"/usr/bin/df -b rel", "/usr/bin/df -b ."}));
    EXPECT_EQ(AvailSpace(nullptr, nullptr, 1), 0);
}

TEST_F(Queries, AvailSpaceCountsWhatAnExistingFileTakes) {
    WriteFile(Dir() + "/old", "x");
    FakeOs::popenByPrefix = {{"/usr/bin/du", "100\told\n"},
                             {"/usr/bin/df", "Filesystem avail\n/dev/x 50\n"}};
    EXPECT_EQ(AvailSpace(Dir().c_str(), "old", 150), 1);
    EXPECT_EQ(FakeOs::lines[0], "/usr/bin/du -s " + Dir() + "/old");
    EXPECT_EQ(AvailSpace(Dir().c_str(), "old", 151), 0);
    EXPECT_EQ(AvailSpace(Dir().c_str(), "new", 51), 0); // missing: df alone
}

TEST_F(Queries, PackageInstances) {
    FakeOs::popenOutput = "system      SUNWinst       Install Software\n"
                          "application QDRNvqmm Corla Plimto\n"
                          "application SUNWkcspf      KCMS Optional Profiles\n"
                          "lonely\n";
    EXPECT_EQ(Take(GetSysPkgList("")), " SUNWinst QDRNvqmm SUNWkcspf ");
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/pkginfo  ");
    EXPECT_EQ(Take(GetSysPkgList("QDRN")), " QDRNvqmm ");
    FakeOs::popenOutput = "";
    EXPECT_EQ(Take(GetSysPkgList(nullptr)), "(none)");
}

TEST_F(Queries, LprngIsRecognisedByItsBanner) {
    FakeOs::popenOutput =
        "LPRng-3.8.B, Kerberos5, Copyright 1988-2003 Patrick Powell, <papowell@lprng.com>\n";
    EXPECT_EQ(SniffLprng(), 1);
    EXPECT_EQ(FakeOs::lines.back(), "/usr/bin/lpd   -V 2>&1");
    FakeOs::popenOutput = "lpd: unknown option -V\n";
    EXPECT_EQ(SniffLprng(), 0);
    FakeOs::lines.clear();
    ComList[CmdLpd].path = nullptr;
    EXPECT_EQ(SniffLprng(), 0);
    EXPECT_TRUE(FakeOs::lines.empty()); // nothing run without lpd
}

TEST_F(Queries, CupsIsRecognisedByItsDaemonAlone) {
    EXPECT_EQ(SniffCUPS(), 1);
    ComList[CmdCupsd].path = nullptr;
    EXPECT_EQ(SniffCUPS(), 0);
    EXPECT_TRUE(FakeOs::lines.empty());
}

TEST_F(Queries, SubnetMaskIsAnEmptyOperation) {
    char mask[8] = "keep";
    EXPECT_EQ(SysGetSubnetMask("le0", mask, sizeof mask), 0);
    EXPECT_STREQ(mask, "keep");
}

// The parsers on their own: the bounds of the caller's buffer.
CmdResponse *Response(const std::string &text) {
    FILE *stream = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    CmdResponse *response = ReadResponseList(stream, nullptr);
    fclose(stream);
    return response;
}

TEST(ListingParsers, IdsStopWhenTheBufferIsFull) {
    CmdResponse *response = Response("1 a b x\n22 a b x\n333 a b x\n");
    // " 1 22" needs 5 characters and a terminator.
    for (size_t size : {5, 6, 7}) {
        char out[16] = "";
        int count = ParsePsResponse(response, "x", out, size);
        EXPECT_EQ(std::string(out), size >= 6 ? " 1 22" : " 1") << size;
        EXPECT_EQ(count, size >= 6 ? 2 : 1);
    }
    char out[4] = "";
    EXPECT_EQ(ParsePsResponse(response, "x", out, 0), 0);
    FreeResponseList(response);
}

TEST(ListingParsers, PackagesStopWhenTheBufferIsFull) {
    CmdResponse *response = Response("a P1 x\nb P22 y\n");
    char out[8] = "";
    EXPECT_EQ(ParsePkgResponse(response, out, sizeof out - 1), 1); // " P1 P22" needs 8
    EXPECT_STREQ(out, " P1");
    FreeResponseList(response);
}

TEST(ListingParsers, DuWithoutANumber) {
    CmdResponse *response = Response("du: cannot access\n");
    EXPECT_EQ(ParseDuResponse(response), 0);
    EXPECT_EQ(ParseDuResponse(nullptr), 0);
    FreeResponseList(response);
}

} // namespace
