// menudemo in a real terminal: a tmux server of its own runs a plain
// interactive shell (dash: it leaves the terminal's modes as programs leave
// them), keys are sent with send-keys and the screen is read with
// capture-pane. The pass-phrase prompt must switch echo off while it reads
// and give it back afterwards, also after a stop (Ctrl-Z) and fg. The key h
// opens the help pages, whose menu replaces the screen at every step.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Run a command line through the shell; its standard output.
std::string Capture(const std::string &command, int *status = nullptr) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    int rc = pclose(p);
    if (status != nullptr) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int Count(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class Terminal : public testing::Test {
  protected:
    void SetUp() override {
        const char *bin = getenv("CORLA_BUILD_BIN");
        if (bin == nullptr) GTEST_SKIP() << "CORLA_BUILD_BIN is not set";
        int status = 0;
        Capture("command -v tmux >/dev/null && command -v dash >/dev/null", &status);
        if (status != 0) GTEST_SKIP() << "tmux or dash is not installed";
        program_ = std::string(bin) + "/menudemo";
        ASSERT_EQ(access(program_.c_str(), X_OK), 0) << program_;
        char dir[] = "/tmp/menudemo_ttyXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        socket_ = "menudemo-test-" + std::to_string(getpid());
        std::string shell = "env -i PATH=/usr/bin:/bin TERM=screen LANG=en_US 'PS1=$ ' dash -i";
        ASSERT_EQ(Tmux("-f /dev/null new-session -d -x 100 -y 45 -s t " + Quote(shell)), 0);
        started_ = true;
        ASSERT_TRUE(WaitForPrompt());
    }
    void TearDown() override {
        if (started_) Tmux("kill-server");
        if (!dir_.empty()) {
            std::string command = "rm -rf " + Quote(dir_);
            EXPECT_EQ(system(command.c_str()), 0);
        }
    }

    int Tmux(const std::string &arguments, std::string *out = nullptr) {
        int status = 0;
        std::string text = Capture("tmux -L " + socket_ + " " + arguments + " 2>&1", &status);
        if (out != nullptr) *out = text;
        return status;
    }
    void Type(const std::string &text) { Tmux("send-keys -t t -l " + Quote(text)); }
    void Key(const std::string &key) { Tmux("send-keys -t t " + key); }
    void Line(const std::string &text) {
        Type(text);
        Key("Enter");
    }
    std::string Screen() {
        std::string out;
        Tmux("capture-pane -p -t t -S -300", &out);
        return out;
    }
    // Wait until the screen shows what at least count times.
    bool WaitFor(const std::string &what, int count = 1) {
        for (int k = 0; k < 200; ++k) {
            if (Count(Screen(), what) >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "never saw \"" << what << "\" (" << count << "x) on:\n" << Screen();
        return false;
    }
    // Wait until the shell prompt is the last line shown.
    bool WaitForPrompt() {
        for (int k = 0; k < 200; ++k) {
            std::string visible;
            Tmux("capture-pane -p -t t", &visible);
            while (!visible.empty() && (visible.back() == '\n' || visible.back() == ' '))
                visible.pop_back();
            size_t last = visible.rfind('\n');
            if (visible.substr(last == std::string::npos ? 0 : last + 1) == "$") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "no shell prompt on:\n" << Screen();
        return false;
    }
    // Whether the pane's terminal echoes typed characters.
    bool Echo() {
        std::string tty;
        Tmux("display -p -t t '#{pane_tty}'", &tty);
        while (!tty.empty() && (tty.back() == '\n' || tty.back() == '\r'))
            tty.pop_back();
        std::istringstream modes(Capture("stty -F " + Quote(tty) + " -a"));
        std::string word;
        while (modes >> word) {
            if (!word.empty() && word.back() == ';') word.pop_back();
            if (word == "echo") return true;
            if (word == "-echo") return false;
        }
        ADD_FAILURE() << "no echo setting for " << tty;
        return false;
    }
    // Wait until the visible screen (not the scroll-back) shows what.
    bool WaitForScreen(const std::string &what) {
        std::string visible;
        for (int k = 0; k < 200; ++k) {
            Tmux("capture-pane -p -t t", &visible);
            if (visible.find(what) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "the screen never showed \"" << what << "\":\n" << visible;
        return false;
    }
    void StartDemo() {
        Line("cd " + Quote(dir_) + " && " + Quote(program_));
        ASSERT_TRUE(WaitFor("Choose an item"));
    }

    std::string program_;
    std::string dir_;
    std::string socket_;
    bool started_ = false;
};

TEST_F(Terminal, AConfigurationDialogue) {
    StartDemo();
    EXPECT_TRUE(Echo());
    Line("1");
    ASSERT_TRUE(WaitFor("Queue name (letters, digits, - and _):"));
    Line("lp1");
    ASSERT_TRUE(WaitFor("[lp1]"));
    Line("8"); // the features' pick-list
    ASSERT_TRUE(WaitFor("s: save and return"));
    Line("2,4");
    ASSERT_TRUE(WaitFor("Current selection: Duplex Hole punch"));
    Line("s");
    ASSERT_TRUE(WaitFor("[2,4]"));
    Line("a");
    ASSERT_TRUE(WaitFor("Queue lp1"));
    ASSERT_TRUE(WaitFor("features      Duplex, Hole punch"));
    ASSERT_TRUE(WaitForPrompt()); // the program has ended
}

TEST_F(Terminal, HelpPagesOnTheKeyH) {
    StartDemo();
    ASSERT_TRUE(WaitForScreen("or h for help"));
    Line("h");
    ASSERT_TRUE(WaitForScreen("Printer queue configuration: help"));
    ASSERT_TRUE(WaitForScreen(" 6) Printer models"));
    EXPECT_TRUE(WaitForScreen("Corla Help"));
    EXPECT_TRUE(WaitForScreen(" e) Exit Help"));
    Line("1"); // a page of this file
    ASSERT_TRUE(WaitForScreen("says how the printer is reached"));
    Line("2"); // raw sockets, in the second file
    ASSERT_TRUE(WaitForScreen("The job goes straight to the printer's own port"));
    // Back: the first page of the second file, where the target was sought,
    // then the page the first link left (moving to another file is no step).
    Line("b");
    ASSERT_TRUE(WaitForScreen("A queue hands each job to the printer"));
    Line("b");
    ASSERT_TRUE(WaitForScreen("Printer queue configuration: help"));
    Line("2");
    ASSERT_TRUE(WaitForScreen("| 7 Paper width | ,---------+-----,"));
    Line("c"); // contents
    ASSERT_TRUE(WaitForScreen("Printer queue configuration: help"));
    Line("6"); // the printer help store
    ASSERT_TRUE(WaitForScreen("| Plimto L10  | local port      | Banner page"));
    Line("e"); // back in the dialogue
    ASSERT_TRUE(WaitForScreen("Queue name"));
    ASSERT_TRUE(WaitForScreen("or h for help"));
    EXPECT_TRUE(Echo());
    Line("q");
    ASSERT_TRUE(WaitFor("The queue is not applied."));
    ASSERT_TRUE(WaitForPrompt());
}

TEST_F(Terminal, PassPhraseWithEchoOffAlsoAfterAStop) {
    StartDemo();
    Line("p");
    ASSERT_TRUE(WaitFor("Administrator pass phrase:"));
    EXPECT_FALSE(Echo());
    Type("hunter2");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Screen().find("hunter2"), std::string::npos);

    Key("C-z"); // stop: the terminal is restored first
    ASSERT_TRUE(WaitFor("Stopped"));
    EXPECT_TRUE(Echo());
    Type("echo visible-typing");
    ASSERT_TRUE(WaitFor("echo visible-typing")); // the shell's line shows as typed
    Key("Enter");
    ASSERT_TRUE(WaitFor("visible-typing", 2));

    Line("fg"); // continued: the prompt is shown again, echo off again
    ASSERT_TRUE(WaitFor("Administrator pass phrase:", 2));
    EXPECT_FALSE(Echo());
    Line("s3cret-phrase");
    ASSERT_TRUE(WaitFor("Repeat the pass phrase:"));
    Line("s3cret-phrase");
    ASSERT_TRUE(WaitFor("The administrator pass phrase has been set."));
    Key("Enter");
    ASSERT_TRUE(WaitFor("Choose an item", 2));
    EXPECT_TRUE(Echo());
    std::string screen = Screen();
    EXPECT_EQ(screen.find("s3cret"), std::string::npos);
    EXPECT_EQ(screen.find("hunter2"), std::string::npos);

    Type("q"); // echo is back: the answer shows as it is typed
    ASSERT_TRUE(WaitFor("to exit: q"));
    Key("Enter");
    ASSERT_TRUE(WaitFor("The queue is not applied."));
}

TEST_F(Terminal, AnInterruptDuringThePassPhraseRestoresTheTerminal) {
    StartDemo();
    Line("p");
    ASSERT_TRUE(WaitFor("Administrator pass phrase:"));
    EXPECT_FALSE(Echo());
    Key("C-c"); // the program ends, with echo given back first
    ASSERT_TRUE(WaitForPrompt());
    EXPECT_TRUE(Echo());
}

} // namespace
