#include "DbmTest.h"

#include "MemMgr.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corla_test {

namespace {
constexpr uid_t Nobody = 65534;
}

bool HostBigEndian() {
    const uint16_t word = 0x0102;
    unsigned char first;
    memcpy(&first, &word, 1);
    return first == 0x01;
}

std::string ByteString(std::initializer_list<int> bytes) {
    std::string text;
    for (int b : bytes)
        text.push_back(char(b));
    return text;
}

std::string ScrambleRun(const std::string &plain) {
    std::string stored = plain;
    for (size_t i = 0; i + 1 < plain.size(); ++i)
        stored[i] = char(plain[i] ^ plain[i + 1]);
    return stored;
}

std::string UnscrambleRun(const std::string &stored) {
    std::string plain = stored;
    for (size_t i = stored.size(); i-- > 1;)
        plain[i - 1] = char(stored[i - 1] ^ plain[i]);
    return plain;
}

std::string Word16(unsigned value, bool bigEndian) {
    std::string word(2, '\0');
    word[bigEndian ? 0 : 1] = char(value >> 8);
    word[bigEndian ? 1 : 0] = char(value & 0xff);
    return word;
}

std::string TypedRecord(const std::string &key, const std::string &data) {
    std::string k = key + '\0';
    return Word16(unsigned(k.size() + data.size() + 2), true) + Word16(unsigned(k.size()), true) +
           ScrambleRun(k) + ScrambleRun(data);
}

std::string LegacyRecord(const std::string &key, const std::string &data) {
    std::string k = key + '\0';
    std::string payload = Word16(unsigned(k.size()), HostBigEndian()) + k + data;
    return Word16(unsigned(payload.size()), HostBigEndian()) + ScrambleRun(payload);
}

std::string TypedHeader(long count) {
    std::string header = "TUDBAA" + std::to_string(count);
    header.resize(16, '\0');
    return header;
}

int RunAsNobody(const std::function<int()> &body) {
    ChildResult child = RunInChild([&] {
        if (setgid(Nobody) != 0 || setuid(Nobody) != 0) _exit(97);
        int status = body();
        fflush(nullptr);
        _exit(status);
    });
    return child.status;
}

void DbmTest::SetUp() {
    // Stores are flushed to disk on every write: a memory file system keeps
    // the many writes of these tests quick. The name holds no ".", so that
    // tests can use full paths without one.
    struct stat st;
    const char *tmp = getenv("TMPDIR");
    std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    if ((tmp == nullptr || tmp[0] == '\0') && stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) &&
        access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    std::string pattern = base + "/corla_dbm_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp " << pattern;
    dir_ = pattern;
    chmod(dir_.c_str(), 0755); // also reachable by the unprivileged children of some tests
    toolPath_.assign(dir_.begin(), dir_.end());
    toolPath_.push_back('\0');
    pToolPath = toolPath_.data();
    nDbRetrySleep = 0;
}

void DbmTest::TearDown() {
    pToolPath = nullptr;
    nDbRetrySleep = 1;
    RemoveTree(dir_);
}

void DbmTest::MakeDbDir() const {
    mkdir(DbDir().c_str(), 0777);
    chmod(DbDir().c_str(), 0777);
}

std::string DbmTest::Take(char *text) {
    std::string copy = text != nullptr ? text : "(null)";
    PutMem(text);
    return copy;
}

std::string DbmTest::Keys(DbT *db) {
    char *list = DbmTGetRecordList(db, ",", "");
    std::string keys = list != nullptr ? list + 1 : "";
    PutMem(list);
    return keys;
}

std::string DbmTest::Get(DbT *db, const std::string &key) {
    int size = DbmTGetRecordSize(db, key.c_str());
    if (size == 0) return "(absent)";
    std::string data(size_t(size), '\0');
    EXPECT_EQ(DbmTGetRecord(db, key.c_str(), data.data()), size);
    return data;
}

} // namespace corla_test
