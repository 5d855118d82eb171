// Memory running out at every point of a whole program: a store round trip
// (udb), a menu run (menudemo through a pipe) and help sessions (helpview),
// each swept with the mapping-failure hook (CORLA_FAIL_MAPPING). Every run
// ends normally with its complete result, or says "Unable to allocate
// memory" last and ends with status 1, leaving what it was changing intact.
#include "MemMgr.h"
#include "MemorySweep.h"
#include "SysLayerTest.h"

#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corla_test;

namespace {

class MemorySweep : public testing::Test {
  protected:
    void SetUp() override {
        if (!MemFaultInjection()) GTEST_SKIP() << "built without CORLA_FAULT_INJECTION";
        const char *bin = getenv("CORLA_BUILD_BIN");
        ASSERT_NE(bin, nullptr) << "CORLA_BUILD_BIN names the directory of the built programs";
        bin_ = bin;
        // A directory whose path a settings-file name may hold.
        char dir[] = "/tmp/corla_sweep_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        if (!dir_.empty()) RemoveTree(dir_);
    }

    // The program with the hook set to value (none: "").
    ProgramRun Run(const std::vector<std::string> &argv, const std::string &value,
                   const std::string &input = "") {
        std::vector<std::string> env = {"LANG=en_US", "TERM=dumb"};
        if (!value.empty()) env.push_back("CORLA_FAIL_MAPPING=" + value);
        return RunProgram(argv, env, input, dir_, 20);
    }
    // A run without the hook: the complete result the swept runs must give.
    ProgramRun Reference(const std::vector<std::string> &argv, const std::string &input = "") {
        ProgramRun r = Run(argv, "", input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r;
    }
    // The sweep broke no rule, and met enough mappings to mean something.
    static void Expect(const SweepReport &report, int leastRuns, const char *what = "runs") {
        RecordProperty(what, report.runs);
        EXPECT_GE(report.runs, leastRuns) << "the scenario meets too few mappings to be swept";
        std::string failures;
        for (const std::string &f : report.failures)
            failures += f + "\n";
        EXPECT_EQ(failures, "");
        // Said once by the allocator and once as the reason the run ends.
        EXPECT_LE(report.mostMessages, 3);
    }

    std::string bin_;
    std::string dir_;
};

bool HasEntryStarting(const std::string &dir, const std::string &prefix) {
    DIR *handle = opendir(dir.c_str());
    bool found = false;
    for (struct dirent *e = handle ? readdir(handle) : nullptr; e != nullptr && !found;
         e = readdir(handle))
        found = std::string(e->d_name).starts_with(prefix);
    if (handle != nullptr) closedir(handle);
    return found;
}

// Help pages with links: a contents page, a long page and a table page.
std::string Guide() {
    std::string text = "<html><head><title>Guide</title></head><body>"
                       "<a href=\"#long\">The long page</a><br>"
                       "<a href=\"#table\">The table</a></body></html>\n"
                       "<html page=\"long\"><body><a name=\"long\">Long</a><br>"
                       "<a href=\"#table\">On to the table</a>";
    for (int k = 1; k <= 1000; ++k)
        text += "<p>Paragraph " + std::to_string(k) + " of the long page.</p>\n";
    text += "</body></html>\n<html page=\"table\"><body><a name=\"table\">Table</a>"
            "<table border>";
    for (int k = 1; k <= 200; ++k)
        text += "<tr><td>row " + std::to_string(k) + "</td><td>cell</td></tr>";
    return text + "</table></body></html>\n";
}

std::string SameOutput(const ProgramRun &r, const ProgramRun &reference) {
    if (r.status == 0 && r.out != reference.out)
        return "status 0 with " + std::to_string(r.out.size()) + " bytes of output, not " +
               std::to_string(reference.out.size());
    return "";
}

TEST_F(MemorySweep, AHelpPageOfThreeThousandParagraphsComesOutWholeOrNotAtAll) {
    std::string page = "<html><head><title>Long page</title></head><body>";
    for (int k = 1; k <= 3000; ++k)
        page += "<p>Paragraph " + std::to_string(k) + " of the long page.</p>\n";
    page += "<table border><tr><td>a</td><td>table</td></tr></table></body></html>\n";
    WriteFile(dir_ + "/long.html", page);
    const std::vector<std::string> argv = {bin_ + "/helpview", "--dump", "long.html"};
    ProgramRun reference = Reference(argv);
    ASSERT_NE(reference.out.find("Paragraph 3000 of"), std::string::npos);
    Expect(SweepMappingFailures([&](const std::string &value) { return Run(argv, value); },
                                [&](const ProgramRun &r) { return SameOutput(r, reference); }),
           100);
}

TEST_F(MemorySweep, AHelpSessionFollowsLinksBackAndContents) {
    WriteFile(dir_ + "/guide.html", Guide());
    const std::vector<std::string> argv = {bin_ + "/helpview", "guide.html"};
    const std::string answers = "1\n1\nb\nc\n2\nb\ne\n";
    ProgramRun reference = Reference(argv, answers);
    ASSERT_NE(reference.out.find("Paragraph 900 of"), std::string::npos);
    Expect(SweepMappingFailures([&](const std::string &value) { return Run(argv, value, answers); },
                                [&](const ProgramRun &r) { return SameOutput(r, reference); }),
           55);
}

TEST_F(MemorySweep, AMenuRunAppliesAndStoresTheWholeConfiguration) {
    // menudemo in a tool directory of its own, whose help pages (the key h)
    // are long enough to take many blocks.
    const std::string tool = dir_ + "/tool";
    ASSERT_EQ(mkdir(tool.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tool + "/help").c_str(), 0755), 0);
    ASSERT_EQ(symlink((bin_ + "/menudemo").c_str(), (tool + "/menudemo").c_str()), 0);
    ASSERT_EQ(symlink((bin_ + "/db").c_str(), (tool + "/db").c_str()), 0);
    WriteFile(tool + "/help/menudemo.html", Guide());
    const std::vector<std::string> argv = {tool + "/menudemo"};
    const std::string saved = dir_ + "/saved";
    // A configuration with a pick-list and a submenu, help read, the
    // settings stored, then applied.
    const std::string answers = "1 lp_1\n2\n3 print.example.com\n6 3\n7 11\n8\n2,4\ns\n"
                                "9\n1 45\n3\n\ny\nh\n1\n1\nb\ne\ns\n" +
                                saved + "\na\n";
    ProgramRun reference = Reference(argv, answers);
    ASSERT_NE(reference.out.find("Paragraph 900 of"), std::string::npos);
    ASSERT_NE(reference.out.find("\nQueue lp_1\n"), std::string::npos);
    const std::string settings = ReadFile(saved);
    ASSERT_NE(settings, "");
    Expect(SweepMappingFailures(
               [&](const std::string &value) {
                   unlink(saved.c_str());
                   return Run(argv, value, answers);
               },
               [&](const ProgramRun &r) -> std::string {
                   // Stored whole or not at all, and nothing left beside it.
                   if (Exists(saved) && ReadFile(saved) != settings)
                       return "a partial settings file";
                   if (r.status == 0 && !Exists(saved)) return "status 0 without the settings file";
                   if (HasEntryStarting(dir_, "saved.")) return "a new settings file left behind";
                   return SameOutput(r, reference);
               }),
           60);
}

TEST_F(MemorySweep, AStoreRoundTripImportsAndExportsEveryText) {
    std::string texts;
    for (int k = 1; k <= 3000; ++k)
        texts += "key" + std::to_string(k) + "\tThe text of entry " + std::to_string(k) + "\n";
    WriteFile(dir_ + "/texts", texts);
    const std::string store = dir_ + "/s.udb";
    const std::vector<std::string> put = {bin_ + "/udb", "put", store, "old", "--text", "kept"};
    const std::vector<std::string> import = {bin_ + "/udb", "import", store, "texts"};
    const std::vector<std::string> exportAll = {bin_ + "/udb", "export", store};
    ASSERT_EQ(Run(put, "").status, 0);
    const std::string before = ReadFile(store);
    Reference(import);
    const ProgramRun full = Reference(exportAll);
    ASSERT_EQ(full.out, "old\tkept\n" + texts);

    // Importing: every text stored, or (status 1) the store as it was.
    Expect(SweepMappingFailures(
               [&](const std::string &value) {
                   WriteFile(store, before);
                   return Run(import, value);
               },
               [&](const ProgramRun &r) -> std::string {
                   std::string now = ReadFile(store);
                   if (Exists(store + "_new")) return "a replacement left beside the store";
                   if (r.status == 1) return now == before ? "" : "the store changed";
                   return Run(exportAll, "").out == full.out ? ""
                                                             : "texts missing after the import";
               }),
           30, "import runs");
    // Exporting the complete store.
    Expect(SweepMappingFailures([&](const std::string &value) { return Run(exportAll, value); },
                                [&](const ProgramRun &r) { return SameOutput(r, full); }),
           12, "export runs");
}

// Values that are no number of 1 or more leave the hook off.
TEST_F(MemorySweep, AHookValueThatIsNoCountIsIgnored) {
    WriteFile(dir_ + "/p.html", "<html><body>text</body></html>");
    const std::vector<std::string> argv = {bin_ + "/helpview", "--dump", "p.html"};
    for (const char *value : {"0", "-3", "abc", "3x", "2:x", "2:-1", ":1"}) {
        ProgramRun r = Run(argv, value);
        EXPECT_EQ(r.status, 0) << value;
        EXPECT_EQ(r.out, "text\n") << value;
        EXPECT_EQ(r.err, "") << value;
    }
    EXPECT_EQ(Run(argv, "1").status, 1);
}

} // namespace
