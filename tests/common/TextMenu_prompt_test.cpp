// Prompts and notices through scripted standard input, and the pass-phrase
// prompt of a process without a controlling terminal (reading standard
// input). The terminal side of the pass phrase is tested in a real terminal
// (TextMenu_tty_test).
#include "TextMenu.h"

#include "MemMgr.h"
#include "MenuTestUtil.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using menu_test::StdioScript;

class Prompts : public testing::Test {
  protected:
    void SetUp() override { menu_test::UseMenuTestEnvironment(); }
};

TEST_F(Prompts, YesNoAsksUntilItGetsAnAnswer) {
    StdioScript io("Y\nmaybe\nyes\n");
    EXPECT_EQ(PromptYN("Remove queue %s", "lp0"), 1);
    EXPECT_EQ(io.Output(), "Remove queue lp0? [y/n] Remove queue lp0? [y/n] "
                           "Remove queue lp0? [y/n] ");
}

TEST_F(Prompts, YesNoNoAndEndOfInput) {
    {
        StdioScript io("no\n");
        EXPECT_EQ(PromptYN("%s", "Q"), 0);
    }
    StdioScript io("");
    EXPECT_EQ(PromptYN("Q"), 0); // no answer can come: no
    EXPECT_EQ(io.Output(), "Q? [y/n] ");
}

TEST_F(Prompts, YesNoCutsAnOverlongQuestion) {
    std::string question(5000, 'q');
    {
        StdioScript io("y\n");
        EXPECT_EQ(PromptYN("%s", question.c_str()), 1); // an argument is never cut
        EXPECT_EQ(io.Output(), question + "? [y/n] ");
    }
    StdioScript io("n\n");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    EXPECT_EQ(PromptYN(question.c_str()), 0); // the question itself is cut to its buffer
#pragma GCC diagnostic pop
    EXPECT_EQ(io.Output(), std::string(4095, 'q'));
}

TEST_F(Prompts, PostMsgWaitsForOneLine) {
    StdioScript io("ok\nrest\n");
    PostMsg("Queue %s added.", "lp0");
    EXPECT_EQ(io.Output(), "Queue lp0 added.\nPress <Return> to continue ");
    char line[16];
    ASSERT_NE(Gets(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "rest");
}

TEST_F(Prompts, PromptUserIntoABufferOrANewText) {
    StdioScript io("answer one\n%s%n second\n");
    char buffer[LineBufSize];
    EXPECT_EQ(PromptUser("Name %s: ", buffer), buffer); // the prompt is no format
    EXPECT_STREQ(buffer, "answer one");
    char *copy = PromptUser("Again: ", nullptr);
    EXPECT_STREQ(copy, "%s%n second");
    PutMem(copy);
    EXPECT_EQ(io.Output(), "Name %s: Again: ");
    char *none = PromptUser("End: ", nullptr);
    EXPECT_STREQ(none, "");
    PutMem(none);
}

TEST_F(Prompts, PromptUserNHonoursTheSize) {
    StdioScript io("abcdefgh\n");
    char small[4];
    PromptUserN("", small, sizeof small);
    EXPECT_STREQ(small, "abc");
}

TEST_F(Prompts, TestNameAcceptsNameCharacters) {
    StdioScript io;
    EXPECT_EQ(TestName("my_name-2"), 1);
    EXPECT_EQ(TestName(""), 1);
    EXPECT_EQ(io.Output(), "");
}

TEST_F(Prompts, TestNameReportsTheFirstOtherCharacter) {
    StdioScript io("\n");
    EXPECT_EQ(TestName("my name"), 0);
    EXPECT_EQ(io.Output(), "\n' ' is not a valid name character. \nOnly alphanumeric character, "
                           "'-', and '_' are valid: \nPress <Return> to continue");
}

// --- The pass phrase without a controlling terminal ---------------------------------

struct PassResult {
    std::string phrase;
    std::string err; // what went to standard error (the prompt)
    int status = -1;
};

// Run GetPassPhrase in a child that has no controlling terminal, feeding
// input through a pipe (kept open for hold seconds after writing).
PassResult PassPhraseOf(const std::string &input, int wait = 60, int hold = 0, int count = 1) {
    int in[2];
    int out[2];
    int err[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        setsid(); // no controlling terminal: /dev/tty cannot be opened
        dup2(in[0], STDIN_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(in[1]);
        close(out[0]);
        close(err[0]);
        nPassPhraseWait = wait;
        for (int k = 0; k < count; ++k) {
            char *phrase = GetPassPhrase("Pass phrase: ");
            std::string text = (k > 0 ? "|" : "") + std::string(phrase);
            if (write(out[1], text.data(), text.size()) < 0) _exit(3);
        }
        _exit(0);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (write(in[1], input.data(), input.size()) != ssize_t(input.size()))
        ADD_FAILURE() << "short write";
    if (hold > 0) sleep(unsigned(hold) + 1);
    close(in[1]);
    PassResult result;
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        result.phrase.append(buffer, size_t(n));
    while ((n = read(err[0], buffer, sizeof buffer)) > 0)
        result.err.append(buffer, size_t(n));
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

TEST(PassPhrase, ReadsStandardInputAndPromptsOnStandardError) {
    PassResult r = PassPhraseOf("open sesame\nnext line\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.phrase, "open sesame");
    EXPECT_EQ(r.err, "Pass phrase: \n"); // no echo to undo: the Return is shown
}

TEST(PassPhrase, PercentSignsAreCopiedAsTheyAre) {
    PassResult r = PassPhraseOf("50%s%n%x\r");
    EXPECT_EQ(r.phrase, "50%s%n%x");
}

TEST(PassPhrase, CutTo256CharactersAndTheRestOfTheLineDropped) {
    PassResult r = PassPhraseOf(std::string(300, 'k') + "\nnext\n", 60, 0, 2);
    EXPECT_EQ(r.phrase, std::string(256, 'k') + "|next");
    r = PassPhraseOf(std::string(256, 'k') + "\nnext\n", 60, 0, 2);
    EXPECT_EQ(r.phrase, std::string(256, 'k') + "|next");
}

TEST(PassPhrase, EndOfInputEndsThePhrase) {
    PassResult r = PassPhraseOf("partial");
    EXPECT_EQ(r.phrase, "partial");
}

TEST(PassPhrase, AWaitWithoutAKeyEndsThePhrase) {
    // One second a character here; the input stays open for two seconds.
    PassResult r = PassPhraseOf("typed", 1, 1);
    EXPECT_EQ(r.phrase, "typed");
}

TEST(PassPhrase, ASignalTakesEffectAfterTheDialogue) {
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        dup2(in[0], STDIN_FILENO);
        close(in[1]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDERR_FILENO);
        GetPassPhrase("Pass phrase: ");
        _exit(0); // not reached: SIGTERM ends the process after the dialogue
    }
    close(in[0]);
    usleep(300 * 1000); // the prompt is waiting for a character
    time_t start = time(nullptr);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(in[1]);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_LT(time(nullptr) - start, 30); // the wait was interrupted, not sat out
}

TEST(PassPhrase, HandlerNotesTheSignal) {
    signo = 0;
    handler(SIGINT);
    EXPECT_EQ(signo, SIGINT);
    signo = 0;
}

} // namespace
