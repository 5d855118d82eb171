// Test support for the record stores and the string store: a fixture whose
// tool directory is a fresh temporary directory (stores live in its "db"
// subdirectory), with the pause between store-reading attempts switched off,
// and helpers that build store bytes independently of the library.
#pragma once

#include "Dbm.h"
#include "SysLayerTest.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace corla_test {

bool HostBigEndian();
std::string ByteString(std::initializer_list<int> bytes);
// The chained XOR written out the plain way: s[i] = b[i] ^ b[i + 1].
std::string ScrambleRun(const std::string &plain);
std::string UnscrambleRun(const std::string &stored);
std::string Word16(unsigned value, bool bigEndian);
// One record of a typed store (big-endian words) and of a record file (host
// order); key without its NUL, which is added.
std::string TypedRecord(const std::string &key, const std::string &data);
std::string LegacyRecord(const std::string &key, const std::string &data);
// A typed header for count with a zero filler.
std::string TypedHeader(long count);
// Run as user nobody in a child (root reads everything); the body's exit
// status, or -1.
int RunAsNobody(const std::function<int()> &body);

class DbmTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::string &Dir() const { return dir_; }
    std::string DbDir() const { return dir_ + "/db"; }
    std::string StorePath(const std::string &name) const { return DbDir() + "/" + name + ".udb"; }
    void MakeDbDir() const;
    // The text, released with PutMem; "(null)" for none.
    static std::string Take(char *text);
    // The keys of a cached store in store order, joined by ",".
    static std::string Keys(DbT *db);
    // The data of key in a cached store ("(absent)" when missing).
    static std::string Get(DbT *db, const std::string &key);

  private:
    std::string dir_;
    std::vector<char> toolPath_;
};

} // namespace corla_test
