// The whole-archive check: archives made by this machine's tar, whole and
// cut at every place a piece could end.
#include "Archive.h"

#include "SysLayerTest.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

using corla_test::MakeTempDir;
using corla_test::ReadFile;
using corla_test::RemoveTree;
using corla_test::WriteFile;

class ArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { RemoveTree(dir_); }

    // A tar archive (format as tar's --format) of a small package tree: a
    // file of size bytes, an empty file, a directory and a link.
    std::string MakeTar(const std::string &format, size_t size) {
        WriteFile(dir_ + "/pkg.list", "c README mode 644\n");
        WriteFile(dir_ + "/data", std::string(size, 'd'));
        WriteFile(dir_ + "/empty", "");
        std::string command = "cd '" + dir_ +
                              "' && mkdir -p QDRNvqmm && ln -sf pkg.list QDRNvqmm/link && "
                              "tar --format=" +
                              format + " -cf a.tar pkg.list data empty QDRNvqmm";
        EXPECT_EQ(system(command.c_str()), 0);
        return ReadFile(dir_ + "/a.tar");
    }
    static int Whole(const std::string &bytes, size_t length) {
        return TarArchiveWhole(reinterpret_cast<const unsigned char *>(bytes.data()), length);
    }

    std::string dir_;
};

TEST_F(ArchiveTest, AWholeArchiveAndEveryCutOne) {
    for (const char *format : {"ustar", "gnu", "v7"}) {
        std::string tar = MakeTar(format, 1300);
        ASSERT_GT(tar.size(), 6u * 512) << format;
        EXPECT_EQ(Whole(tar, tar.size()), 1) << format;
        // The members take the first 9 blocks (3 headers with data of 1, 0
        // and 3 blocks, then the directory and the link); the end-of-archive
        // block follows.
        const size_t members = 512 * 9;
        EXPECT_EQ(Whole(tar, members + 512), 1) << format;
        for (size_t length = 0; length < members + 512; length += 97)
            EXPECT_EQ(Whole(tar, length), 0) << format << " cut at " << length;
        for (size_t length : {members - 1, members, members + 511})
            EXPECT_EQ(Whole(tar, length), 0) << format << " cut at " << length;
    }
}

TEST_F(ArchiveTest, DamagedHeadersAreNotWhole) {
    std::string tar = MakeTar("ustar", 10);
    std::string bad = tar;
    bad[0] ^= 1; // the first name: the checksum no longer holds
    EXPECT_EQ(Whole(bad, bad.size()), 0);
    bad = tar;
    bad[124] = '9'; // a size that is no octal number
    EXPECT_EQ(Whole(bad, bad.size()), 0);
    // Garbage where the next header belongs.
    bad = tar.substr(0, 1024) + std::string(512, 'x') + tar.substr(1536);
    EXPECT_EQ(Whole(bad, bad.size()), 0);
    EXPECT_EQ(TarArchiveWhole(nullptr, 0), 0);
}

TEST_F(ArchiveTest, LargeSizesInBase256) {
    // The first member's size (pkg.list, one block of data) written in GNU's
    // base-256 form: 0x80, then the number; the checksum made anew.
    std::string tar = MakeTar("gnu", 1);
    std::string big = tar;
    for (size_t i = 124; i < 136; ++i)
        big[i] = '\0';
    big[124] = char(0x80);
    big[135] = 1;
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i)
        sum += i >= 148 && i < 156 ? ' ' : static_cast<unsigned char>(big[i]);
    snprintf(&big[148], 8, "%06o", sum);
    big[155] = ' ';
    EXPECT_EQ(Whole(big, big.size()), 1);
    big[135] = 2; // a size that no longer matches the checksum
    EXPECT_EQ(Whole(big, big.size()), 0);
}

TEST_F(ArchiveTest, TheFileFormReadsOnlyRegularFiles) {
    std::string tar = MakeTar("ustar", 600);
    EXPECT_EQ(TarFileWhole((dir_ + "/a.tar").c_str()), 1);
    WriteFile(dir_ + "/cut.tar", tar.substr(0, 2048));
    EXPECT_EQ(TarFileWhole((dir_ + "/cut.tar").c_str()), 0);
    WriteFile(dir_ + "/empty.tar", "");
    EXPECT_EQ(TarFileWhole((dir_ + "/empty.tar").c_str()), 0);
    EXPECT_EQ(TarFileWhole((dir_ + "/missing.tar").c_str()), 0);
    EXPECT_EQ(TarFileWhole(dir_.c_str()), 0);
}

} // namespace
