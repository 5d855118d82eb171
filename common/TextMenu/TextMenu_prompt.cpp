// TextMenu: small terminal dialogues — the yes/no question, the notice that
// waits for Return, the free-text question, the name-character check, and
// the pass-phrase prompt with echo switched off.
#include "TextMenu.h"

#include "NlsUtils.h"
#include "TextMenu_private.h"
#include "utils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

using namespace menu_detail;

int nPassPhraseWait = 60;
volatile int signo = 0;

namespace {

inline constexpr size_t QuestionSize = 4096;
inline constexpr size_t PromptUserOwnSize = 1024;

const char PressReturn[] = "\nPress <Return> to continue ";

} // namespace

// The question is the caller's format, its own conversions taking the
// arguments: the format printed is the question with "? [y/n] " added.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

int PromptYN(const char *question, ...) {
    char format[QuestionSize];
    snprintf(format, sizeof format, "%s? [y/n] ", question != nullptr ? question : "");
    for (;;) {
        va_list args;
        va_start(args, question);
        vprintf(format, args);
        va_end(args);
        fflush(stdout);
        // No answer can come after the end of input: that counts as no.
        if (Gets(LineBuf, int(LineBufSize)) == nullptr) return 0;
        if (LineBuf[0] == 'y') return 1;
        if (LineBuf[0] == 'n') return 0;
    }
}

#pragma GCC diagnostic pop

namespace menu_detail {

void VPostMsg(const char *format, va_list args) {
    if (format != nullptr) vprintf(format, args);
    char buffer[NlsFetchBufSize];
    fputs(FetchTextOr(texts::NoticeContinue, buffer, PressReturn), stdout);
    fflush(stdout);
    Gets(LineBuf, int(LineBufSize));
}

void WaitForKey() {
    fflush(stdout);
    getchar();
}

} // namespace menu_detail

void PostMsg(const char *format, ...) {
    va_list args;
    va_start(args, format);
    VPostMsg(format, args);
    va_end(args);
}

char *PromptUserN(const char *prompt, char *buffer, size_t size) {
    fputs(prompt != nullptr ? prompt : "", stdout);
    fflush(stdout);
    if (buffer != nullptr) {
        if (size == 0) return buffer;
        int limit = size > size_t(INT_MAX) ? INT_MAX : int(size);
        if (Gets(buffer, limit) == nullptr) buffer[0] = '\0';
        return buffer;
    }
    char own[PromptUserOwnSize];
    if (Gets(own, int(sizeof own)) == nullptr) own[0] = '\0';
    return SaveStr_(own);
}

char *PromptUser(const char *prompt, char *buffer) {
    return PromptUserN(prompt, buffer, LineBufSize);
}

int TestName(const char *name) {
    if (name == nullptr) return 1;
    for (const char *p = name; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (isalnum(c) || c == '_' || c == '-') continue;
        MenuPrintf(texts::BadNameCharacter,
                   "\n'%c' is not a valid name character. \nOnly alphanumeric character, "
                   "'-', and '_' are valid: \n",
                   c);
        char buffer[NlsFetchBufSize];
        fputs(FetchTextOr(texts::NameContinue, buffer, "Press <Return> to continue"), stdout);
        fflush(stdout);
        Gets(LineBuf, int(LineBufSize));
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Pass phrase
// ---------------------------------------------------------------------------

void handler(int signal) {
    signo = signal;
}

namespace {

constexpr int CaughtSignals[] = {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int CaughtCount = int(sizeof CaughtSignals / sizeof CaughtSignals[0]);

char PassPhrase[PassPhraseSize];

// Wait at most nPassPhraseWait seconds for in to become readable and read one
// character; false on a time-out, a failure, a signal or the end of input.
bool ReadOne(int in, char &c) {
    int ready;
    do {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(in, &readable);
        timeval wait{nPassPhraseWait, 0};
        ready = select(in + 1, &readable, nullptr, nullptr, &wait);
    } while (ready < 0 && errno == EAGAIN);
    return ready > 0 && read(in, &c, 1) == 1;
}

// Read up to PassPhraseSize - 1 characters up to a line end (not kept).
void ReadPhrase(int in) {
    size_t n = 0;
    char c = 0;
    bool ended = false;
    while (n < PassPhraseSize - 1) {
        if (!ReadOne(in, c) || c == '\n' || c == '\r') {
            ended = true;
            break;
        }
        PassPhrase[n++] = c;
    }
    PassPhrase[n] = '\0';
    // The rest of an over-long line is part of the secret: it must not
    // become the next answer.
    while (!ended && ReadOne(in, c) && c != '\n' && c != '\r') {
    }
}

} // namespace

char *GetPassPhrase(const char *prompt) {
    const char *text = prompt != nullptr ? prompt : "";
    signo = 0;
    for (;;) {
        memset(PassPhrase, 0, sizeof PassPhrase);
        int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
        int in = tty >= 0 ? tty : STDIN_FILENO;
        int out = tty >= 0 ? tty : STDERR_FILENO;
        if (in >= FD_SETSIZE) { // cannot be waited for with select
            if (tty >= 0) close(tty);
            return SaveStr_("");
        }
        WriteAll(out, text, strlen(text));

        struct sigaction catcher {};
        catcher.sa_handler = handler;
        sigemptyset(&catcher.sa_mask);
        catcher.sa_flags = 0;
        struct sigaction previous[CaughtCount];
        for (int k = 0; k < CaughtCount; ++k)
            sigaction(CaughtSignals[k], &catcher, &previous[k]);

        termios saved{};
        termios working{};
        if (tcgetattr(in, &saved) == 0) {
            working = saved;
            working.c_lflag &= ~tcflag_t(ECHO | ECHONL);
            tcsetattr(in, TCSAFLUSH, &working);
        }

        ReadPhrase(in);

        int error = errno;
        // The user's Return was not echoed.
        if ((working.c_lflag & ECHO) == 0) WriteAll(out, "\n", 1);
        if (memcmp(&working, &saved, sizeof saved) != 0) tcsetattr(in, TCSAFLUSH, &saved);
        for (int k = 0; k < CaughtCount; ++k)
            sigaction(CaughtSignals[k], &previous[k], nullptr);
        if (tty >= 0) close(tty);

        int caught = signo;
        if (caught != 0) {
            // The signal's own action takes place now, with the terminal
            // restored. After a stop the process has been continued: ask again.
            kill(getpid(), caught);
            if (caught == SIGTSTP || caught == SIGTTIN || caught == SIGTTOU) {
                signo = 0;
                continue;
            }
        }
        errno = error;
        char *copy = SaveStr_(PassPhrase);
        explicit_bzero(PassPhrase, sizeof PassPhrase);
        return copy;
    }
}
