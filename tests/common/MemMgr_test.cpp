#include "MemMgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Each test starts and ends with an empty heap, so placements are predictable.
class MemMgrTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(pMemB, nullptr) << "a previous test leaked blocks"; }
    void TearDown() override { EXPECT_EQ(pMemB, nullptr) << "blocks left after the test"; }

    static int BlockCount() {
        int n = 0;
        for (MemBlock *b = pMemB; b != nullptr; b = b->pNext)
            ++n;
        return n;
    }
    static int UnitOf(const void *p) {
        MemBlock *b = FindBlock(p);
        return b ? int((static_cast<const char *>(p) - b->pMemory) / MemUnitSize) : -1;
    }
    static bool AllZero(const void *p, size_t n) {
        const auto *c = static_cast<const unsigned char *>(p);
        return std::all_of(c, c + n, [](unsigned char x) { return x == 0; });
    }
    static void ExpectConsistent() {
        char why[256];
        EXPECT_EQ(MemCheck(why, sizeof why), 1) << why;
    }
};

bool IsAllocated(const void *p) {
    MemBlock *b = FindBlock(p);
    if (b == nullptr) return false;
    return b->Nodes[(static_cast<const char *>(p) - b->pMemory) / MemUnitSize].nCount != 0;
}

// The scoped holder releases its area on every way out, except one that
// release() handed on; reset releases the old area and holds the new.
TEST_F(MemMgrTest, ScopedMemReleasesUnlessHandedOn) {
    void *kept = GetMem(10); // keeps the block while the others come and go
    char *a = nullptr;
    {
        ScopedMem held(static_cast<char *>(GetMem(100)));
        a = held.get();
        ASSERT_TRUE(held);
        EXPECT_TRUE(IsAllocated(a));
    }
    EXPECT_FALSE(IsAllocated(a));

    char *handed = nullptr;
    {
        ScopedMem held(static_cast<char *>(GetMem(100)));
        handed = held.release();
        EXPECT_FALSE(held);
        EXPECT_EQ(held.get(), nullptr);
    }
    EXPECT_TRUE(IsAllocated(handed));

    auto *first = static_cast<int *>(GetMem(64));
    auto *second = static_cast<int *>(GetMem(64));
    {
        ScopedMem<int> held(first);
        held.reset(first); // the same area: still held, not released
        EXPECT_TRUE(IsAllocated(first));
        held.reset(second);
        EXPECT_FALSE(IsAllocated(first));
        EXPECT_TRUE(IsAllocated(second));
        held.reset();
        EXPECT_FALSE(IsAllocated(second));
        EXPECT_EQ(held.get(), nullptr);
    } // nothing held: nothing more released
    EXPECT_TRUE(IsAllocated(handed));
    ExpectConsistent();
    PutMem(handed);
    PutMem(kept);
}

struct RoundingCase {
    size_t request;
    int units; // units taken in an ordinary block
};

class MemMgrRounding : public MemMgrTest, public testing::WithParamInterface<RoundingCase> {};

TEST_P(MemMgrRounding, TakesSmallestUnitCountHoldingSizePlusOne) {
    const RoundingCase c = GetParam();
    void *p = GetMem(c.request);
    ASSERT_NE(p, nullptr);
    MemBlock *b = FindBlock(p);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Nodes[UnitOf(p)].nCount, c.units);
    EXPECT_EQ(b->FreeNodeCount, MemBlockUnits - c.units);
    ExpectConsistent();
    PutMem(p);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemMgrRounding,
                         testing::Values(RoundingCase{1, 1}, RoundingCase{30, 1},
                                         RoundingCase{31, 1}, RoundingCase{32, 2},
                                         RoundingCase{63, 2}, RoundingCase{64, 3},
                                         RoundingCase{100, 4}, RoundingCase{65535, 2048}));

TEST_F(MemMgrTest, ZeroSizeYieldsNone) {
    EXPECT_EQ(GetMem(0), nullptr);
    EXPECT_EQ(pMemB, nullptr);
}

TEST_F(MemMgrTest, SizesBeyondTheBlockFieldsAreRefused) {
    EXPECT_EQ(GetMem(size_t(-1)), nullptr);
    EXPECT_EQ(GetMem(size_t(1) << 40), nullptr);
    EXPECT_EQ(GetMem(0x7FFFFFFF), nullptr);
    EXPECT_EQ(pMemB, nullptr);
}

TEST_F(MemMgrTest, FirstFitPlacesConsecutiveAreasAndZeroFills) {
    auto *a = static_cast<char *>(GetMem(100));
    auto *b = static_cast<char *>(GetMem(100));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a, pMemB->pMemory);
    EXPECT_EQ(b, a + 128);
    EXPECT_TRUE(AllZero(a, 101));
    EXPECT_TRUE(AllZero(b, 101));
    EXPECT_EQ(std::string(pMemB->MAT, 9), "UUUUUUUU ");
    PutMem(a);
    PutMem(b);
}

TEST_F(MemMgrTest, ReusedUnitsComeBackZeroFilled) {
    void *keep = GetMem(10);
    auto *p = static_cast<char *>(GetMem(60));
    memset(p, 'x', 61);
    PutMem(p);
    auto *q = static_cast<char *>(GetMem(60));
    EXPECT_EQ(q, p);
    EXPECT_TRUE(AllZero(q, 61));
    PutMem(q);
    PutMem(keep);
}

TEST_F(MemMgrTest, FirstFitTakesTheFirstHoleLargeEnough) {
    void *a = GetMem(31);  // unit 0
    void *b = GetMem(31);  // unit 1
    void *c = GetMem(95);  // units 2-4
    void *d = GetMem(31);  // unit 5
    PutMem(b);             // hole of 1 at unit 1
    PutMem(c);             // hole of 3 at units 2-4 joins it: 4 free units
    void *e = GetMem(100); // 4 units: fits the joined hole
    EXPECT_EQ(UnitOf(e), 1);
    void *f = GetMem(31);
    EXPECT_EQ(UnitOf(f), 6);
    ExpectConsistent();
    for (void *p : {a, d, e, f})
        PutMem(p);
}

TEST_F(MemMgrTest, ReleasingTheLastAreaReturnsTheBlock) {
    void *p = GetMem(50);
    ASSERT_EQ(BlockCount(), 1);
    PutMem(p);
    EXPECT_EQ(pMemB, nullptr);
    void *q = GetMem(50);
    EXPECT_EQ(BlockCount(), 1);
    PutMem(q);
}

TEST_F(MemMgrTest, FullBlockSpillsIntoANewBlockAppendedAtTheTail) {
    void *whole = GetMem(65535); // 2048 units
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(pMemB->FreeNodeCount, 0);
    void *next = GetMem(10);
    ASSERT_EQ(BlockCount(), 2);
    EXPECT_EQ(FindBlock(next), pMemB->pNext);
    EXPECT_EQ(pMemB->pNext->pPrev, pMemB);
    PutMem(whole); // the head goes, the second block becomes the head
    EXPECT_EQ(BlockCount(), 1);
    EXPECT_EQ(pMemB->pPrev, nullptr);
    PutMem(next);
}

TEST_F(MemMgrTest, DedicatedBlockAboveSixtyFourKiB) {
    auto *p = static_cast<char *>(GetMem(65536)); // rounds to 65,568
    ASSERT_NE(p, nullptr);
    MemBlock *b = FindBlock(p);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Size, 131072);
    EXPECT_EQ(b->DedicatedSize, 65568);
    EXPECT_EQ(b->FreeNodeCount, 0);
    EXPECT_TRUE(AllZero(p, 65537));
    // Nothing ordinary is ever placed in a dedicated block.
    void *small = GetMem(10);
    EXPECT_NE(FindBlock(small), b);
    ExpectConsistent();
    PutMem(p);
    PutMem(small);
}

TEST_F(MemMgrTest, PutMemInsideAnAllocationReleasesNothing) {
    auto *p = static_cast<char *>(GetMem(100));
    PutMem(p + 64); // a later unit of the same allocation
    PutMem(p + 5);  // inside the first unit, not its start
    EXPECT_EQ(pMemB->FreeNodeCount, MemBlockUnits - 4);
    ExpectConsistent();
    PutMem(p);
}

TEST_F(MemMgrTest, PutMemInsideADedicatedAreaReleasesNothing) {
    auto *p = static_cast<char *>(GetMem(100000));
    PutMem(p + 4096);
    EXPECT_EQ(FindBlock(p), pMemB);
    PutMem(p);
    EXPECT_EQ(pMemB, nullptr);
}

TEST_F(MemMgrTest, PutMemIgnoresForeignAddresses) {
    void *keep = GetMem(10);
    int local = 0;
    PutMem(&local);
    PutMem(nullptr);
    EXPECT_EQ(pMemB->FreeNodeCount, MemBlockUnits - 1);
    PutMem(keep);
}

TEST_F(MemMgrTest, FindBlockTreatsTheDataAreaAsHalfOpen) {
    void *p = GetMem(10);
    MemBlock *b = FindBlock(p);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FindBlock(b->pMemory + MemBlockSize - 1), b);
    EXPECT_EQ(FindBlock(b->pMemory + MemBlockSize), nullptr);
    EXPECT_EQ(FindBlock(b->pMemory - 1), nullptr);
    PutMem(b->pMemory + MemBlockSize); // one past the end: must not touch Nodes[2048]
    ExpectConsistent();
    PutMem(p);
}

TEST_F(MemMgrTest, MappingsTakeOnePageMoreThanWholePages) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void *p = GetMem(10);
    void *big = GetMem(200000); // a dedicated block of 262,144 bytes
    MemBlock *b = FindBlock(p);
    MemBlock *d = FindBlock(big);
    EXPECT_EQ(b->nMemoryBytes, (65536 / page + 1) * page);
    EXPECT_EQ(b->nHeaderBytes, (sizeof(MemBlock) / page + 1) * page);
    EXPECT_EQ(d->Size, 262144);
    EXPECT_EQ(d->nMemoryBytes, (262144 / page + 1) * page);
    PutMem(big);
    PutMem(p);
}

TEST_F(MemMgrTest, TestMATChecksTheLeadingCharacters) {
    EXPECT_EQ(TestMAT("   U", ' ', 3), 1);
    EXPECT_EQ(TestMAT("   U", ' ', 4), 0);
    EXPECT_EQ(TestMAT("U", ' ', 0), 1);
}

// --- AdjustMem ------------------------------------------------------------

TEST_F(MemMgrTest, AdjustMemSameUnitCountKeepsTheAddress) {
    auto *p = static_cast<char *>(GetMem(40)); // 2 units
    EXPECT_EQ(AdjustMem(p, 60), p);
    EXPECT_EQ(pMemB->Nodes[0].nCount, 2);
    PutMem(p);
}

TEST_F(MemMgrTest, AdjustMemShrinkFreesAndZeroesTheTail) {
    auto *p = static_cast<char *>(GetMem(200)); // 7 units
    memset(p, 'a', 200);
    void *after = GetMem(10);
    EXPECT_EQ(AdjustMem(p, 40), p); // 2 units
    EXPECT_EQ(pMemB->Nodes[0].nCount, 2);
    EXPECT_EQ(std::string(pMemB->MAT, 8), "UU     U");
    EXPECT_EQ(pMemB->FreeNodeCount, MemBlockUnits - 3);
    EXPECT_EQ(p[40], 'a'); // the kept units keep their bytes
    ExpectConsistent();
    // The freed units are handed out again zero-filled.
    auto *q = static_cast<char *>(GetMem(100));
    EXPECT_EQ(q, p + 64);
    EXPECT_TRUE(AllZero(q, 101));
    for (void *x : {static_cast<void *>(p), after, static_cast<void *>(q)})
        PutMem(x);
}

TEST_F(MemMgrTest, AdjustMemGrowsInPlaceIntoFreeUnitsAfter) {
    auto *p = static_cast<char *>(GetMem(31));
    strcpy(p, "kept text");
    auto *q = static_cast<char *>(AdjustMem(p, 100));
    EXPECT_EQ(q, p);
    EXPECT_STREQ(q, "kept text");
    EXPECT_TRUE(AllZero(q + 32, 69));
    EXPECT_EQ(pMemB->Nodes[0].nCount, 4);
    ExpectConsistent();
    PutMem(q);
}

TEST_F(MemMgrTest, AdjustMemMovesDownWhenOnlyTheUnitsBeforeAreFree) {
    void *a = GetMem(95);                      // units 0-2
    auto *p = static_cast<char *>(GetMem(31)); // unit 3
    void *c = GetMem(31);                      // unit 4: blocks growth in place
    memset(p, 'k', 31);
    PutMem(a);
    auto *q = static_cast<char *>(AdjustMem(p, 95)); // 3 units: needs 2 more
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(UnitOf(q), 1);
    EXPECT_EQ(std::string(q, 31), std::string(31, 'k'));
    EXPECT_TRUE(AllZero(q + 32, 64));
    EXPECT_EQ(std::string(pMemB->MAT, 6), " UUUU ");
    EXPECT_EQ(pMemB->Nodes[3].nCount, 0);
    ExpectConsistent();
    PutMem(q);
    PutMem(c);
}

TEST_F(MemMgrTest, AdjustMemNeverMovesBelowTheFirstUnit) {
    void *a = GetMem(31);                      // unit 0
    auto *p = static_cast<char *>(GetMem(31)); // unit 1
    void *c = GetMem(31);                      // unit 2
    PutMem(a);                                 // one free unit before p
    memset(p, 'm', 31);
    // Needs 3 more units: neither after (used) nor before (only one free).
    auto *q = static_cast<char *>(AdjustMem(p, 127));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(UnitOf(q), 3);
    EXPECT_EQ(std::string(q, 31), std::string(31, 'm'));
    ExpectConsistent();
    PutMem(q);
    PutMem(c);
}

TEST_F(MemMgrTest, AdjustMemNeverGrowsPastTheEndOfTheMAT) {
    void *front = GetMem(65535 - 32);          // units 0-2046
    auto *p = static_cast<char *>(GetMem(31)); // unit 2047, the last
    ASSERT_EQ(UnitOf(p), 2047);
    PutMem(front);
    p[0] = 'z';
    auto *q = static_cast<char *>(AdjustMem(p, 95));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q[0], 'z');
    EXPECT_EQ(UnitOf(q), 2045); // moved down into the free units before
    ExpectConsistent();
    PutMem(q);
}

TEST_F(MemMgrTest, AdjustMemFallsBackToAllocateCopyRelease) {
    auto *p = static_cast<char *>(GetMem(31));
    void *wall = GetMem(31);
    strcpy(p, "moving");
    auto *q = static_cast<char *>(AdjustMem(p, 300));
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q, p);
    EXPECT_STREQ(q, "moving");
    EXPECT_TRUE(AllZero(q + 32, 269));
    EXPECT_EQ(pMemB->MAT[0], ' ');
    ExpectConsistent();
    PutMem(q);
    PutMem(wall);
}

TEST_F(MemMgrTest, AdjustMemIntoAndWithinADedicatedBlock) {
    auto *p = static_cast<char *>(GetMem(100));
    strcpy(p, "grow me");
    auto *big = static_cast<char *>(AdjustMem(p, 70000));
    ASSERT_NE(big, nullptr);
    EXPECT_STREQ(big, "grow me");
    MemBlock *b = FindBlock(big);
    EXPECT_EQ(b->Size, 131072);
    memset(big + 8, 'x', 69000);
    // Shrinks and grows within the block stay in place and zero the gap.
    EXPECT_EQ(AdjustMem(big, 66000), big);
    EXPECT_EQ(b->DedicatedSize, 66016);
    EXPECT_EQ(AdjustMem(big, 120000), big);
    EXPECT_EQ(big[8], 'x');
    EXPECT_EQ(big[66015], 'x'); // inside the shrunk area: kept
    EXPECT_TRUE(AllZero(big + 66016, 120000 - 66016));
    // Beyond the block: allocate, copy, release.
    auto *bigger = static_cast<char *>(AdjustMem(big, 200000));
    ASSERT_NE(bigger, nullptr);
    EXPECT_EQ(memcmp(bigger, "grow me", 7), 0);
    EXPECT_EQ(bigger[8], 'x');
    EXPECT_EQ(FindBlock(bigger)->Size, 262144);
    ExpectConsistent();
    PutMem(bigger);
}

TEST_F(MemMgrTest, AdjustMemAtTheFullDedicatedSizeKeepsLaterContent) {
    auto *p = static_cast<char *>(GetMem(70000));
    MemBlock *b = FindBlock(p);
    ASSERT_EQ(b->Size, 131072);
    // Grow to exactly the block's size, write the whole area, then shrink a
    // little: the bytes still inside the area must survive.
    ASSERT_EQ(AdjustMem(p, 131071), p);
    memset(p, 'w', 131071);
    ASSERT_EQ(AdjustMem(p, 100000), p);
    EXPECT_EQ(p[99999], 'w');
    ASSERT_EQ(AdjustMem(p, 110000), p);
    EXPECT_EQ(p[99999], 'w');
    PutMem(p);
}

TEST_F(MemMgrTest, AdjustMemSpecialArguments) {
    void *p = AdjustMem(nullptr, 20); // behaves as GetMem
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(AdjustMem(p, 0), nullptr); // releases
    EXPECT_EQ(pMemB, nullptr);
    int local = 0;
    void *q = AdjustMem(&local, 20); // unknown address: a fresh area
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q, static_cast<void *>(&local));
    PutMem(q);
}

TEST_F(MemMgrTest, AdjustMemInsideAnAllocationChangesNothing) {
    auto *p = static_cast<char *>(GetMem(100));
    void *after = GetMem(10);
    EXPECT_EQ(AdjustMem(p + 32, 500), nullptr);
    EXPECT_EQ(pMemB->Nodes[0].nCount, 4);
    ExpectConsistent();
    PutMem(p);
    PutMem(after);
}

TEST_F(MemMgrTest, AdjustMemFailureKeepsTheOldArea) {
    auto *p = static_cast<char *>(GetMem(100));
    strcpy(p, "survives");
    EXPECT_EQ(AdjustMem(p, size_t(1) << 40), nullptr);
    EXPECT_STREQ(p, "survives");
    EXPECT_EQ(FindBlock(p)->Nodes[0].nCount, 4);
    PutMem(p);
}

// The test hook: the chosen mappings fail as a failed mmap does (reported,
// errno ENOMEM, counted), nothing half-made is kept, and later mappings
// succeed again when the count runs out. Each GetMem here maps a new block:
// its header, then its data area.
TEST_F(MemMgrTest, ChosenMappingsFail) {
    if (!MemFaultInjection()) GTEST_SKIP() << "built without CORLA_FAULT_INJECTION";
    struct Case {
        long long n, count;
        const char *results; // per GetMem: o = an area, - = none
        long long mappings;  // tried in all
    };
    for (Case c : {Case{1, 1, "-oo", 5}, Case{2, 1, "-oo", 6}, Case{1, 0, "---", 3},
                   Case{3, 2, "o--", 4}, Case{0, 0, "ooo", 6}}) {
        MemFailMapping(c.n, c.count);
        long long failuresBefore = nMapFailures;
        std::string results;
        testing::internal::CaptureStderr();
        for (int k = 0; k < 3; ++k) {
            errno = 0;
            void *p = GetMem(100);
            results += p != nullptr ? 'o' : '-';
            if (p == nullptr) {
                EXPECT_EQ(errno, ENOMEM);
            }
            PutMem(p);
        }
        std::string err = testing::internal::GetCapturedStderr();
        int failed = int(std::count(results.begin(), results.end(), '-'));
        EXPECT_EQ(results, c.results) << c.n << ":" << c.count;
        EXPECT_EQ(MemMappingCount(), c.mappings) << c.n << ":" << c.count;
        EXPECT_EQ(nMapFailures - failuresBefore, failed);
        std::string expected;
        for (int k = 0; k < failed; ++k)
            expected += "ERROR: Unable to allocate memory\n";
        EXPECT_EQ(err, expected);
        EXPECT_EQ(pMemB, nullptr) << "a header kept without its data area";
    }
    MemFailMapping(0, 0);
}

// A dedicated block and a growth that cannot be mapped leave what exists.
TEST_F(MemMgrTest, AFailedMappingKeepsTheAreasThatExist) {
    if (!MemFaultInjection()) GTEST_SKIP() << "built without CORLA_FAULT_INJECTION";
    auto *p = static_cast<char *>(GetMem(100));
    strcpy(p, "survives");
    MemFailMapping(1, 0);
    testing::internal::CaptureStderr();
    void *q = GetMem(200); // room in the block: no mapping
    EXPECT_NE(q, nullptr);
    EXPECT_EQ(GetMem(100000), nullptr);
    EXPECT_EQ(AdjustMem(p, 100000), nullptr);
    testing::internal::GetCapturedStderr();
    MemFailMapping(0, 0);
    EXPECT_STREQ(p, "survives");
    ExpectConsistent();
    PutMem(q);
    PutMem(p);
}

// Runs in a fresh process (death-test child), whose first mapping finds no
// zero device: blocks then come from the heap and behave the same.
TEST_F(MemMgrTest, WithoutTheZeroDeviceBlocksComeFromTheHeap) {
    EXPECT_EXIT(
        {
            pZeroDevice = "/nonexistent/zero";
            auto *p = static_cast<char *>(GetMem(100));
            bool ok = p != nullptr && pMemB->flMemoryHeap && pMemB->flHeaderHeap && AllZero(p, 101);
            auto *big = static_cast<char *>(GetMem(100000));
            ok = ok && big != nullptr && AllZero(big, 100001) && FindBlock(big)->flMemoryHeap;
            PutMem(big);
            PutMem(p);
            ok = ok && pMemB == nullptr;
            exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// --- DumpMem -----------------------------------------------------------------

TEST_F(MemMgrTest, DumpMemListsBlocksMatRowsAndNodes) {
    auto *p = static_cast<char *>(GetMem(40));
    strcpy(p, "hello");
    auto *big = static_cast<char *>(GetMem(70000));
    testing::internal::CaptureStdout();
    DumpMem();
    std::string out = testing::internal::GetCapturedStdout();
    MemBlock *b = FindBlock(p);
    char head[256];
    snprintf(head, sizeof head,
             "\n============ Block(%li) size(65536) Free(2046) Used(2) FreeNodeCount(2046) "
             "SizeCnt(2046) <==(0) (%li)==>\n\tBlock MAT:\n\tUU______",
             long(reinterpret_cast<intptr_t>(b)), long(reinterpret_cast<intptr_t>(b->pNext)));
    EXPECT_EQ(out.rfind(head, 0), 0u) << out.substr(0, 300);
    char node[256];
    snprintf(node, sizeof node,
             "\tMAT index(     0) Memory Addr(%6li) nodes(    2) size(   64) Memory(hello)\n",
             long(reinterpret_cast<intptr_t>(p)));
    EXPECT_NE(out.find(node), std::string::npos);
    EXPECT_NE(out.find("\n\n\tAllocated Nodes:\n"), std::string::npos);
    char dedicated[256];
    snprintf(dedicated, sizeof dedicated,
             "\n============ Dedicated Block(%li) size(131072) FreeNodeCount(0) <==(%li) (0)==>",
             long(reinterpret_cast<intptr_t>(big)), long(reinterpret_cast<intptr_t>(b)));
    EXPECT_NE(out.find(dedicated), std::string::npos);
    // 32 rows of 64 MAT characters.
    size_t rows = 0;
    for (size_t at = out.find("\n\t", 0); at != std::string::npos; at = out.find("\n\t", at + 1))
        rows += out.compare(at + 2, 2, "UU") == 0 || out.compare(at + 2, 2, "__") == 0;
    EXPECT_EQ(rows, 32u);
    PutMem(p);
    PutMem(big);
}

TEST_F(MemMgrTest, DumpMemStopsAtTheAreaEndWithoutATerminator) {
    auto *p = static_cast<char *>(GetMem(31));
    void *next = GetMem(31);
    memset(next, 'n', 31);
    memset(p, 'p', 31); // no terminator inside p's unit besides byte 31
    testing::internal::CaptureStdout();
    DumpMem();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Memory(" + std::string(31, 'p') + ")"), std::string::npos);
    PutMem(p);
    PutMem(next);
}

// --- Randomized model check ------------------------------------------------

struct Placement {
    MemBlock *block; // null: no block has room
    int unit;
};

// First fit the plain way: the first block, in list order, whose MAT holds
// units blanks in a row, and the first such place in it. When there is none,
// *pTail gets the last block of the list.
Placement PlainFirstFit(int units, MemBlock **pTail) {
    std::string pattern(size_t(units), ' ');
    for (MemBlock *b = pMemB; b != nullptr; b = b->pNext) {
        *pTail = b;
        if (b->FreeNodeCount < units) continue;
        if (const char *at = strstr(b->MAT, pattern.c_str())) return {b, int(at - b->MAT)};
    }
    return {nullptr, -1};
}

// Drives GetMem/AdjustMem/PutMem at random against a simple model of the live
// areas: every area keeps its content, added units come zero-filled, no two
// live areas overlap, and every GetMem takes the place a plain first-fit
// search of the MATs finds.
// Searches learn to pass over a full head block; a hole opened in it later,
// of one unit or of a whole size class, is still found first.
TEST_F(MemMgrTest, AHoleInAPassedOverBlockIsFoundFirst) {
    std::vector<void *> units(MemBlockUnits);
    for (void *&p : units)
        p = GetMem(16);
    void *spill = GetMem(16);
    void *spillWide = GetMem(64 * MemUnitSize - 1);
    ASSERT_EQ(BlockCount(), 2);
    ASSERT_EQ(FindBlock(spillWide), pMemB->pNext);

    PutMem(units[7]);
    units[7] = GetMem(16);
    EXPECT_EQ(FindBlock(units[7]), pMemB);
    EXPECT_EQ(UnitOf(units[7]), 7);

    for (int k = 100; k < 164; ++k)
        PutMem(units[k]);
    void *wide = GetMem(64 * MemUnitSize - 1);
    EXPECT_EQ(FindBlock(wide), pMemB);
    EXPECT_EQ(UnitOf(wide), 100);
    ExpectConsistent();

    PutMem(wide);
    for (int k = 100; k < 164; ++k)
        units[k] = nullptr;
    for (void *p : units)
        PutMem(p);
    PutMem(spill);
    PutMem(spillWide);
}

TEST_F(MemMgrTest, RandomOperationsAgreeWithAModel) {
    struct Live {
        unsigned char *p;
        size_t size;
        unsigned char fill;
    };
    std::mt19937 rng(20261207);
    std::vector<Live> live;
    auto pickSize = [&] {
        switch (rng() % 8) {
        case 0:
            return size_t(rng() % 140000 + 1); // sometimes dedicated
        case 1:
        case 2:
            return size_t(rng() % 4000 + 1);
        default:
            return size_t(rng() % 200 + 1);
        }
    };
    auto check = [](const Live &l) {
        for (size_t k = 0; k < l.size; ++k)
            if (l.p[k] != l.fill) return false;
        return l.p[l.size] == 0;
    };
    for (int step = 0; step < 20000; ++step) {
        unsigned op = rng() % 10;
        if (live.empty() || op < 4) {
            size_t size = pickSize();
            size_t units = (size + 1 + MemUnitSize - 1) / MemUnitSize;
            MemBlock *tail = nullptr;
            Placement expected = PlainFirstFit(int(units), &tail);
            auto *p = static_cast<unsigned char *>(GetMem(size));
            ASSERT_NE(p, nullptr);
            if (units <= size_t(MemBlockUnits)) {
                // No shortcut of the search may pass over a block with room.
                MemBlock *b = FindBlock(p);
                if (expected.block == nullptr) {
                    ASSERT_EQ(b->pPrev, tail) << "step " << step << ": not a new tail block";
                    ASSERT_EQ(UnitOf(p), 0) << "step " << step;
                } else {
                    ASSERT_EQ(b, expected.block) << "step " << step << ": " << units << " units";
                    ASSERT_EQ(UnitOf(p), expected.unit) << "step " << step;
                }
            }
            ASSERT_TRUE(AllZero(p, size + 1)) << "step " << step;
            auto fill = static_cast<unsigned char>(rng() % 255 + 1);
            memset(p, fill, size);
            live.push_back({p, size, fill});
        } else if (op < 7) {
            size_t i = rng() % live.size();
            ASSERT_TRUE(check(live[i])) << "step " << step;
            PutMem(live[i].p);
            live[i] = live.back();
            live.pop_back();
        } else {
            Live &l = live[rng() % live.size()];
            size_t size = pickSize();
            auto *p = static_cast<unsigned char *>(AdjustMem(l.p, size));
            ASSERT_NE(p, nullptr);
            size_t kept = std::min(size, l.size);
            for (size_t k = 0; k < kept; ++k)
                ASSERT_EQ(p[k], l.fill) << "step " << step << " byte " << k;
            // Units added by the resize come zero-filled (slack inside the
            // old last unit keeps whatever the area held).
            size_t oldEnd = (l.size + 1 + MemUnitSize - 1) / MemUnitSize * MemUnitSize;
            if (size + 1 > oldEnd) {
                ASSERT_TRUE(AllZero(p + oldEnd, size + 1 - oldEnd)) << "step " << step;
            }
            memset(p, l.fill, size);
            p[size] = 0;
            l.p = p;
            l.size = size;
        }
        if (step % 500 == 0) {
            char why[256];
            ASSERT_EQ(MemCheck(why, sizeof why), 1) << "step " << step << ": " << why;
            std::vector<std::pair<uintptr_t, uintptr_t>> spans;
            for (const Live &l : live)
                spans.emplace_back(reinterpret_cast<uintptr_t>(l.p),
                                   reinterpret_cast<uintptr_t>(l.p) + l.size + 1);
            std::sort(spans.begin(), spans.end());
            for (size_t k = 1; k < spans.size(); ++k)
                ASSERT_LE(spans[k - 1].second, spans[k].first) << "overlap at step " << step;
        }
    }
    for (const Live &l : live) {
        EXPECT_TRUE(check(l));
        PutMem(l.p);
    }
}

// --- Sanitizer visibility ---------------------------------------------------

#if defined(__SANITIZE_ADDRESS__)
#define CORLA_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORLA_TEST_ASAN 1
#endif
#endif

#if defined(CORLA_TEST_ASAN)
// volatile reads keep the compiler from removing the faulty accesses.
TEST_F(MemMgrTest, UseAfterPutMemIsReportedBySanitizer) {
    void *keep = GetMem(10); // keeps the block mapped after the release
    auto *p = static_cast<volatile char *>(GetMem(100));
    PutMem(const_cast<char *>(p));
    EXPECT_DEATH({ [[maybe_unused]] char c = p[3]; }, "use-after-poison");
    PutMem(keep);
}

TEST_F(MemMgrTest, ReadPastTheAreaEndIsReportedBySanitizer) {
    auto *p = static_cast<volatile char *>(GetMem(100));
    [[maybe_unused]] char last = p[100]; // the terminator's byte is part of the area
    EXPECT_DEATH({ [[maybe_unused]] char c = p[101]; }, "use-after-poison");
    PutMem(const_cast<char *>(p));
}
#endif

} // namespace
