// Writes of the files the system keeps, made to fail for real: under a
// file-size limit, on a full tmpfs and into /dev/full. Each write must leave
// the old files byte for byte as they were, nothing beside them, and report
// the failure the way its operation does.
#include "Dbm.h"
#include "DbmTest.h"
#include "MenuTestUtil.h"
#include "SysLayerTest.h"
#include "TextMenu.h"
#include "WriteFault.h"
#include "utils.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace corla_test;

namespace {

// The body's exit status tells the operation's result: 10 + its result.
constexpr int Returned = 10;

std::string Lines(int count) {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += "line " + std::to_string(k) + " holds a=b and some words\n";
    return text;
}

const std::string OldText = Lines(300);                // about 10 KB: more than the size limit
const std::string NewText(6000, 'n');                  // more than the size limit
const std::string OldSettings = "0[old queue] 11 0\n"; // a settings file of an earlier run
const std::string OldStore = LegacyRecord("old", std::string(3000, 'o'));

char QueueName[] = "lp";
TextMenuItem SettingsItems[] = {
    {.pText = "Queue name", .nKind = TMI_NAME, .nDefault = TextMenuWord(QueueName)},
    {.pText = "Copies", .nKind = TMI_INT, .nDefault = 1},
    {}};

// The key s of a menu with the given store flag.
int PressStore(uint16_t flags) {
    menu_test::UseMenuTestEnvironment();
    TextMenu menu{.pTitle = "Queue", .pItems = SettingsItems, .nFlags = flags};
    InitMenu(&menu);
    snprintf(LineBuf, LineBufSize, "s");
    int chosen = FindSelection(&menu, 2);
    FreeMenu(&menu);
    return chosen;
}

struct KeptWrite {
    const char *name;
    FileMap old;                                   // the files before the write
    std::function<int(const std::string &)> write; // the write; its result
    int status;                                    // the body's exit status
    // What it prints on standard error, given the scene and the error text.
    std::function<std::string(const std::string &, const std::string &)> err;
    long sizeLimit = 4096; // a file-size limit below what the write makes
};

std::string EditFailure(const std::string &why) {
    return std::string("\n") + my_name + ": can't write file, cfg.txt : " + why + "\n";
}

const std::vector<KeptWrite> &KeptWrites() {
    static const std::vector<KeptWrite> writes = {
        {"FileChange",
         {{"cfg.txt", OldText}},
         [](const std::string &) {
             FileChange("cfg", "txt", "a=b", "a = b");
             return 0;
         },
         1,
         [](const std::string &, const std::string &why) { return EditFailure(why); }},
        {"FileInsert",
         {{"cfg.txt", OldText}},
         [](const std::string &) {
             FileInsert("cfg", "txt", "# ");
             return 0;
         },
         1,
         [](const std::string &, const std::string &why) { return EditFailure(why); }},
        {"FileDel",
         {{"cfg.txt", OldText}},
         [](const std::string &) {
             FileDel("cfg", "txt", 0, "some ");
             return 0;
         },
         1,
         [](const std::string &, const std::string &why) { return EditFailure(why); }},
        {"FileDelLine",
         {{"cfg.txt", OldText}},
         [](const std::string &) {
             FileDelLine("cfg", "txt", 0, "line 7");
             return 0;
         },
         1,
         [](const std::string &, const std::string &why) { return EditFailure(why); }},
        {"CreateTextFileOverAFile",
         {{"cfg", OldText}},
         [](const std::string &) {
             return CreateTextFile("cfg", "wt", 0644, "%s", NewText.c_str());
         },
         Returned + 0,
         [](const std::string &, const std::string &why) {
             return "ERROR: couldn't write cfg : " + why + "\n";
         }},
        {"CreateTextFileAppending",
         {{"cfg", "#!/bin/sh\n"}},
         [](const std::string &) { return CreateTextFile("cfg", "a", 0, "%s", NewText.c_str()); },
         Returned + 0,
         [](const std::string &, const std::string &why) {
             return "ERROR: couldn't write cfg : " + why + "\n";
         }},
        {"SettingsStoreAndAsk",
         {{"settings", OldSettings}},
         [](const std::string &scene) {
             SetInput(scene + "/settings\n"); // the name asked for
             return PressStore(TMF_STORE_ASK);
         },
         Returned + 0,
         [](const std::string &scene, const std::string &why) {
             return "ERROR: can't write file, " + scene + "/settings : " + why + "\n";
         },
         16},
        {"SettingsStoreAndQuit",
         {{".settings", OldSettings}},
         [](const std::string &) { return PressStore(TMF_STORE_QUIT); },
         Returned + 0,
         [](const std::string &, const std::string &why) {
             return "ERROR: can't write file, .settings : " + why + "\n";
         },
         16},
        {"RecordFilePut",
         {{"db/", ""}, {"db/x.udb", OldStore}},
         [](const std::string &scene) {
             pToolPath = SaveStr_(scene.c_str());
             return DbmPutRecord("x", "new", NewText.data(), int(NewText.size()));
         },
         Returned + 0,
         [](const std::string &, const std::string &) { return "ERROR: Can't write to x"; }},
        {"CachedStoreArchive",
         {{"db/", ""}, {"db/x.udb", OldStore}},
         [](const std::string &scene) {
             pToolPath = SaveStr_(scene.c_str());
             DbT *db = DbTOpen("x", 0);
             int stored = DbmTPutRecord(db, "new", NewText.data(), int(NewText.size()));
             DbTClose(db);
             return stored;
         },
         Returned + 0,
         [](const std::string &, const std::string &) { return "ERROR: Can't write to x"; }},
    };
    return writes;
}

class WriteFaults : public SysLayerTest,
                    public testing::WithParamInterface<std::tuple<size_t, WriteFault>> {
  protected:
    void SetUp() override {
        SysLayerTest::SetUp();
        nDbRetrySleep = 0;
    }
};

TEST_P(WriteFaults, TheOldFilesStayAndTheFailureIsReported) {
    const KeptWrite &w = KeptWrites()[std::get<0>(GetParam())];
    const WriteFault fault = std::get<1>(GetParam());
    FaultOptions options;
    options.fileSizeLimit = w.sizeLimit;
    FaultRun run = RunWithWriteFault(
        fault, w.old,
        [&](const std::string &dir) {
            int result = w.write(dir);
            fflush(nullptr);
            exit(Returned + result);
        },
        options);
    ASSERT_EQ(run.setupError, "");
    EXPECT_EQ(run.status, w.status) << run.err;
    EXPECT_EQ(run.files, w.old) << "the old files, byte for byte, and nothing beside them";
    EXPECT_EQ(run.err, w.err(run.scene, FaultErrorText(fault)));
}

INSTANTIATE_TEST_SUITE_P(KeptFiles, WriteFaults,
                         testing::Combine(testing::Range(size_t(0), KeptWrites().size()),
                                          testing::Values(WriteFault::FileSizeLimit,
                                                          WriteFault::FullDisk)),
                         [](const testing::TestParamInfo<WriteFaults::ParamType> &param) {
                             return std::string(KeptWrites()[std::get<0>(param.param)].name) + "_" +
                                    FaultName(std::get<1>(param.param));
                         });

// Entries of /dev whose name begins with "full.": a file made beside it.
std::vector<std::string> BesideDevFull() {
    std::vector<std::string> names;
    DIR *dev = opendir("/dev");
    if (dev == nullptr) return names;
    for (struct dirent *e = readdir(dev); e != nullptr; e = readdir(dev))
        if (strncmp(e->d_name, "full.", 5) == 0) names.emplace_back(e->d_name);
    closedir(dev);
    return names;
}

class DevFull : public SysLayerTest {};

bool IsCharacterDevice(const char *path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

// A device is written in place: the failure is said, nothing is made in
// /dev, and the device is never replaced.
TEST_F(DevFull, WritesIntoItFailAndSaySo) {
    struct Case {
        const char *name;
        std::function<int()> write;
        const char *err;
    };
    const Case cases[] = {
        {"CreateTextFile",
         [] { return CreateTextFile("/dev/full", "wt", 0, "%s", NewText.c_str()); },
         "ERROR: couldn't write /dev/full : No space left on device\n"},
        {"SettingsStoreAndAsk",
         [] {
             SetInput("/dev/full\n");
             return PressStore(TMF_STORE_ASK);
         },
         "ERROR: can't write file, /dev/full : No space left on device\n"},
    };
    for (const Case &c : cases) {
        FaultRun run = RunWithWriteFault(WriteFault::DevFull, {}, [&](const std::string &) {
            int result = c.write();
            fflush(nullptr);
            exit(Returned + result);
        });
        ASSERT_EQ(run.setupError, "") << c.name;
        EXPECT_EQ(run.status, Returned + 0) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(BesideDevFull(), std::vector<std::string>()) << c.name;
        EXPECT_TRUE(IsCharacterDevice("/dev/full")) << c.name;
    }
}

} // namespace
