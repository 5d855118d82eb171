// menudemo driven through a pipe, as a script or another program would use
// it: a whole configuration applied, settings stored and restored, the
// French texts, the end of input and usage errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Menudemo : public testing::Test {
  protected:
    void SetUp() override {
        const char *bin = getenv("CORLA_BUILD_BIN");
        if (bin == nullptr) GTEST_SKIP() << "CORLA_BUILD_BIN is not set";
        program_ = std::string(bin) + "/menudemo";
        ASSERT_EQ(access(program_.c_str(), X_OK), 0) << program_;
        char dir[] = "/tmp/menudemo_testXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        if (!dir_.empty()) {
            std::string command = "rm -rf '" + dir_ + "'";
            EXPECT_EQ(system(command.c_str()), 0);
        }
    }

    // Run menudemo with the arguments, the answers on standard input.
    Result Run(const std::string &answers, const std::string &arguments = "",
               const std::string &lang = "en_US") {
        std::ofstream(dir_ + "/in") << answers;
        std::string command = "cd '" + dir_ + "' && TERM=dumb LANG=" + lang + " '" + program_ +
                              "' " + arguments + " <in >out 2>err";
        int status = system(command.c_str());
        Result r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadText(dir_ + "/out");
        r.err = ReadText(dir_ + "/err");
        return r;
    }

    std::string program_;
    std::string dir_;
};

TEST_F(Menudemo, AppliesAWholeConfiguration) {
    // Name, raw socket (port preset to 9100), host, copies, width, features
    // through the pick-list (Duplex and Punch; None drops out), the network
    // submenu, then apply.
    Result r = Run("1 lp_1\n2\n3 print.example.com\n6 3\n7 11\n8\n2,4\ns\n"
                   "9\n1 45\n3\n\ny\na\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Printer queue configuration"), std::string::npos);
    size_t at = r.out.find("\nQueue lp_1\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(at), "\nQueue lp_1\n"
                                "  connection    Network printer (raw socket)\n"
                                "  host          print.example.com, port 9100\n"
                                "  copies        3\n"
                                "  paper width   11.0 in\n"
                                "  features      Duplex, Hole punch\n"
                                "  timeout 45 s, 3 retries, status reports Always\n");
}

TEST_F(Menudemo, TheConnectionShowsTheItemsItNeeds) {
    Result r = Run("2\n2\na\n\n1 lp2\na\n");
    EXPECT_EQ(r.status, 0);
    // LPD: host and port; raw socket: port 9100; local port: the device.
    EXPECT_NE(r.out.find(" 4) Port ................... [515]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" 4) Port ................... [9100]"), std::string::npos);
    EXPECT_NE(r.out.find(" 5) Device ................. [/dev/lp0]"), std::string::npos);
    EXPECT_NE(r.out.find("All names must be set"), std::string::npos);
    EXPECT_NE(r.out.find("  device        /dev/lp0\n"), std::string::npos);
    EXPECT_NE(r.out.find("  line speed 9600, flow control Hardware (RTS/CTS)\n"),
              std::string::npos);
}

TEST_F(Menudemo, RejectedEntriesKeepTheirValue) {
    Result r = Run("6 500\n\n1 all\n\n1 lp3\n7 1.2.3\n\na\n");
    EXPECT_NE(r.out.find("This number must be between 1 to 99."), std::string::npos);
    EXPECT_NE(r.out.find("Invalid entry \"all\""), std::string::npos);
    EXPECT_NE(r.out.find("Only one '.' may be entered."), std::string::npos);
    EXPECT_NE(r.out.find("  copies        1\n"), std::string::npos);
    EXPECT_NE(r.out.find("  paper width   8.5 in\n"), std::string::npos);
}

TEST_F(Menudemo, SettingsAreStoredAndRestored) {
    std::string file = dir_ + "/queue_settings";
    Result stored = Run("1 lp4\n2\n2\n5 /dev/ttyS0\n6 2\n9\n1\n2 1\n\ny\ns\n" + file + "\nq\n");
    EXPECT_EQ(stored.status, 0);
    EXPECT_NE(stored.out.find("The queue is not applied."), std::string::npos);
    std::string text = ReadText(file);
    // The main menu's items by their places (the hidden host and port too),
    // then the local port's submenu that the connection leads to.
    EXPECT_EQ(text, "0[lp4] 11 0\n"
                    "1[2] 9 0\n"
                    "2[printhost] 12 2\n"
                    "3[515] 13 2\n"
                    "4[/dev/ttyS0] 12 0\n"
                    "5[2] 13 0\n"
                    "6[8.500] 14 0\n"
                    "8{\n"
                    "0[1] 9 0\n"
                    "1[0] 9 0\n"
                    "}\n");

    Result restored = Run("", "-n " + file);
    EXPECT_EQ(restored.status, 0);
    EXPECT_EQ(restored.out, "\nQueue lp4\n"
                            "  connection    Local port\n"
                            "  device        /dev/ttyS0\n"
                            "  copies        2\n"
                            "  paper width   8.5 in\n"
                            "  features      None\n"
                            "  line speed 19200, flow control None\n");
}

TEST_F(Menudemo, AMissingSettingsFileStartsFromTheDefaults) {
    Result r = Run("", "-n " + dir_ + "/none");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("No settings file " + dir_ + "/none: starting from the defaults."),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  host          printhost, port 515\n"), std::string::npos);
    EXPECT_NE(r.err.find("can't open file"), std::string::npos);
}

TEST_F(Menudemo, FrenchTexts) {
    Result r = Run("q\n", "", "fr_FR.UTF-8");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Configuration d'une file d'impression"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("La file n'est pas appliqu"), std::string::npos);
}

TEST_F(Menudemo, TheKeyHOpensTheHelpPagesInstalledBesideTheProgram) {
    // Run from another directory: help, the entries page, back, the printer
    // models, leave the help, then a value is still taken and applied.
    Result r = Run("h\n2\nb\n6\ne\n1 lp7\na\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" or h for help"), std::string::npos);
    std::vector<size_t> at;
    for (const char *text :
         {"Printer queue configuration: help", "| 7 Paper width | ,---------+-----,",
          "This dialogue defines one printer queue", "Every queue serves one printer",
          "Printer queue configuration\n", "\nQueue lp7\n"}) {
        size_t from = at.empty() ? 0 : at.back() + 1;
        at.push_back(r.out.find(text, from));
        ASSERT_NE(at.back(), std::string::npos) << text << "\n" << r.out;
    }
    EXPECT_EQ(r.out.find("Error"), std::string::npos);
}

TEST_F(Menudemo, FrenchHelpMenu) {
    Result r = Run("h\n6\nq\nq\n", "", "fr_FR");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Aide de Corla"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" q) Quitter l'aide"), std::string::npos);
    EXPECT_NE(r.out.find("Mod\xE8les d'imprimante"), std::string::npos);
    EXPECT_NE(r.out.find("La file n'est pas appliqu"), std::string::npos);
}

TEST_F(Menudemo, EndOfInputEndsTheRun) {
    Result r = Run("1 lp5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("menudemo: reading from standard input : the input has ended\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Success"), std::string::npos) << r.err;
}

TEST_F(Menudemo, UsageErrors) {
    EXPECT_EQ(Run("", "-x").status, 2);
    Result r = Run("", "a b");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("usage: menudemo [-n] [settings file]"), std::string::npos);
}

} // namespace
