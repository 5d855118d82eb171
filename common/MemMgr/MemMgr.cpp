// MemMgr: block memory manager.
//
// Design. An ordinary block is a 64 KiB data area cut into 2048 units of 32
// bytes, described by a header mapped separately: the MAT (one character a
// unit, blank free, 'U' used) and one node record a unit, non-zero only at the
// first unit of an allocation. A request of n bytes needs n + 1 bytes (room
// for a terminator) rounded up to whole units; it is placed first-fit by
// searching the MATs in list order. A block is skipped unread when its
// FreeNodeCount, or its bound on the longest free run, is too small; the
// bound is raised as units are released and made tight by a failed search,
// and a search starts at the block's first unit that may be free. The full
// blocks at the head of a long list are not walked again and again: for each
// size class a search starts at the first block that may serve it. Units
// not handed out since their block was mapped are zero already and are not
// written. Requests rounding above 64 KiB get a dedicated block sized to a
// multiple of 64 KiB, whose MAT is all 'U' so nothing else is ever put there.
// A block whose last allocation is released is unmapped at once.
//
// Sanitizer builds poison every byte that is not part of a live area (free
// units, the rounding slack beyond size + 1, the page tail of a mapping), so
// AddressSanitizer reports overruns and uses after PutMem here as it does on
// the system heap. The allocator itself exposes regions before touching them.
#include "MemMgr.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORLA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORLA_ASAN 1
#endif
#endif

#if defined(CORLA_ASAN)
#include <sanitizer/asan_interface.h>
#endif

MemBlock *pMemB = nullptr;
const char OutOfMem[] = "Unable to allocate memory";
long long nMapFailures = 0;
const char *pZeroDevice = "/dev/zero";

namespace {

// The 32-bit size fields hold at most this; larger requests are refused.
constexpr uint64_t MaxDedicatedSize = 0x7FFF0000; // largest multiple of 64 KiB <= INT32_MAX

MemBlock *pLastFound = nullptr; // the block FindBlock found last, while it exists
int fdZero = -2;                // zero device: -2 not opened yet, -1 unavailable (calloc instead)

bool MappingShallFail(); // the test hook (MemFailMapping); always false outside test builds

// Requests fall into size classes of 2^c to 2^(c+1) - 1 units. For each
// class, every block before pSearchFrom[c] in the list can hold no run of
// 2^c units (its RunBound is below that), so that a search for the class
// starts there instead of passing over the many full blocks at the head of a
// long list; null means the head.
constexpr int SizeClasses = 12;
MemBlock *pSearchFrom[SizeClasses] = {};
uint64_t nBlockSeq = 0; // the last block's nSeq

int SizeClass(int units) {
    return int(std::bit_width(unsigned(units))) - 1;
}

void Poison([[maybe_unused]] const void *p, [[maybe_unused]] size_t n) {
#if defined(CORLA_ASAN)
    ASAN_POISON_MEMORY_REGION(p, n);
#endif
}

void Unpoison([[maybe_unused]] const void *p, [[maybe_unused]] size_t n) {
#if defined(CORLA_ASAN)
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#endif
}

// Make the first `exposed` bytes of an area usable and the rest up to `total`
// unusable, as seen by the sanitizer.
void Expose(char *p, size_t exposed, size_t total) {
    Unpoison(p, exposed);
    if (total > exposed) Poison(p + exposed, total - exposed);
}

// Smallest multiple of 32 that holds size + 1 bytes; 0 when that would not
// fit the 32-bit block fields.
uint64_t RoundSize(size_t size) {
    if (size >= MaxDedicatedSize) return 0;
    uint64_t need = uint64_t(size) + 1;
    uint64_t r = (need / MemUnitSize) * MemUnitSize;
    if (need % MemUnitSize != 0) r += MemUnitSize;
    return r;
}

bool IsDedicated(const MemBlock *b) {
    return b->Size > MemBlockSize;
}

// Addresses are printed as numbers by the diagnostic listing.
long AsLong(const void *p) {
    return long(reinterpret_cast<intptr_t>(p));
}

size_t PageSize() {
    long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? size_t(page) : 4096;
}

// Mapped length for a request: always at least one page more than a whole
// number of pages.
size_t MappedLength(size_t size) {
    size_t page = PageSize();
    return (size / page + 1) * page;
}

// Map (or, without /dev/zero, calloc) a zero-filled region; records how, so
// that ReleaseRegion can undo it the matching way.
void *MapRegion(size_t size, size_t *pBytes, uint8_t *pflHeap) {
    if (fdZero == -2) {
        fdZero = open(pZeroDevice, O_RDWR | O_CLOEXEC);
        if (fdZero < 0) fdZero = -1;
    }
    size_t len = MappedLength(size);
    *pBytes = len;
    if (MappingShallFail()) {
        errno = ENOMEM;
        return nullptr;
    }
    if (fdZero < 0) {
        *pflHeap = 1;
        return calloc(1, len);
    }
    *pflHeap = 0;
    void *p = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE, fdZero, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void ReleaseRegion(void *p, size_t bytes, uint8_t flHeap) {
    if (p == nullptr) return;
    // Stale poison would be inherited by whatever is mapped here next.
    Unpoison(p, bytes);
    if (flHeap)
        free(p);
    else
        munmap(p, bytes);
}

// First unit in [from, to) whose MAT character is c, or to. The MAT holds
// only blanks and 'U', so a word that is all the other character has no c.
// Runs are mostly short: the first words are looked at here, a longer
// stretch is left to memchr, which scans many characters at a time.
int FindInMat(const char *mat, int from, int to, char c) {
    constexpr uint64_t Ones = 0x0101010101010101u;
    const uint64_t other = Ones * uint8_t(c == ' ' ? 'U' : ' ');
    int k = from;
    for (int words = 0; words < 16 && k + 8 <= to; ++words, k += 8) {
        uint64_t w;
        memcpy(&w, mat + k, sizeof w);
        w ^= other;
        if (w == 0) continue;
        if constexpr (std::endian::native == std::endian::little)
            return k + std::countr_zero(w) / 8;
        else
            return k + std::countl_zero(w) / 8;
    }
    if (k >= to) return to;
    const void *hit = memchr(mat + k, c, size_t(to - k));
    return hit ? int(static_cast<const char *>(hit) - mat) : to;
}

// First unit of the first run of u free units, or -1: the first place where
// u blanks occur in the MAT (none of them lies below unit from). When there is
// none, *pLongest gets an upper bound of the longest free run, below u.
int FirstFit(const char *mat, int from, int u, int *pLongest) {
    int i = from, longest = 0;
    while (i + u <= MemBlockUnits) {
        i = FindInMat(mat, i, MemBlockUnits, ' ');
        if (i + u > MemBlockUnits) break;
        int end = FindInMat(mat, i, i + u, 'U');
        if (end == i + u) return i;
        longest = std::max(longest, end - i); // a whole run: it starts after a 'U'
        i = end + 1;
    }
    // Runs in the units not searched are shorter than u, as the tail is.
    *pLongest = std::max(longest, std::min(MemBlockUnits - i, u - 1));
    return -1;
}

// The longest free run b can hold at most: its bound, or its free units when
// fewer. Handing units out leaves the bound alone, so that a release next to
// them finds it high enough already and reads no MAT.
int RunBound(const MemBlock *b) {
    return std::min(b->nFreeRunBound, b->FreeNodeCount);
}

// Units [i, i + n) of b have just been released: raise the block's bound to
// the length of the free run that now holds them.
void NoteReleased(MemBlock *b, int i, int n) {
    b->nFreeFrom = std::min(b->nFreeFrom, i);
    const int before = std::min(b->nFreeRunBound, b->FreeNodeCount - n);
    if (b->nFreeRunBound < b->FreeNodeCount) {
        const char *mat = b->MAT;
        const void *usedBefore = memrchr(mat, 'U', size_t(i));
        int start = usedBefore ? int(static_cast<const char *>(usedBefore) - mat) + 1 : 0;
        // Units from nFreshFrom on were never handed out, so they are free:
        // the look ahead stops there, which keeps a release from a nearly
        // empty block from reading the whole MAT.
        const int after = i + n;
        const void *usedAfter = after < b->nFreshFrom
                                    ? memchr(mat + after, 'U', size_t(b->nFreshFrom - after))
                                    : nullptr;
        int end = usedAfter ? int(static_cast<const char *>(usedAfter) - mat) : MemBlockUnits;
        b->nFreeRunBound = std::max(b->nFreeRunBound, end - start);
    }
    // The block may now serve classes whose searches start after it: those
    // it was too small for before.
    const int now = RunBound(b);
    for (int c = SizeClass(before) + 1; c < SizeClasses && (1 << c) <= now; ++c)
        if (pSearchFrom[c] != nullptr && b->nSeq < pSearchFrom[c]->nSeq) pSearchFrom[c] = b;
}

// Zero units [i, i + n) of b for a new owner. Units from nFreshFrom on have
// not been handed out since the data area was mapped, so they are zero
// still; leaving them alone spares faulting in pages nobody has touched.
void ZeroUnits(MemBlock *b, int i, int n) {
    int stale = std::min(i + n, b->nFreshFrom) - i;
    if (stale > 0) memset(b->pMemory + size_t(i) * MemUnitSize, 0, size_t(stale) * MemUnitSize);
    b->nFreshFrom = std::max(b->nFreshFrom, i + n);
}

// Unit index of the allocation starting at address in an ordinary block, or
// -1 when address is not the start of a live allocation.
int AllocationUnit(const MemBlock *b, const void *address) {
    ptrdiff_t offset = static_cast<const char *>(address) - b->pMemory;
    if (offset < 0 || offset % MemUnitSize != 0) return -1;
    int i = int(offset / MemUnitSize);
    if (i >= MemBlockUnits || b->Nodes[i].nCount == 0 || b->Nodes[i].pAddr != address) return -1;
    return i;
}

void *GetDedicated(size_t size, uint64_t r) {
    uint64_t blockSize = (r + MemBlockSize - 1) / MemBlockSize * MemBlockSize;
    if (blockSize > MaxDedicatedSize) return nullptr;
    MemBlock *b = GetNewBlock(size_t(blockSize));
    if (b == nullptr) return nullptr;
    // A new mapping (or calloc) is already zero-filled; writing the zeros
    // again would only fault in every page of the area up front.
    Expose(b->pMemory, size + 1, b->nMemoryBytes);
    memset(b->MAT, 'U', MemBlockUnits);
    b->FreeNodeCount = 0;
    b->nFreeRunBound = 0;
    b->DedicatedSize = int32_t(r);
    return b->pMemory;
}

// Resize of an ordinary allocation that stays ordinary.
void *AdjustOrdinary(MemBlock *b, int i, void *address, size_t size, uint64_t r) {
    char *p = static_cast<char *>(address);
    int oldUnits = b->Nodes[i].nCount;
    int newUnits = int(r / MemUnitSize);

    if (newUnits == oldUnits) {
        Expose(p, size + 1, r);
        return address;
    }
    if (newUnits < oldUnits) {
        int freed = oldUnits - newUnits;
        memset(b->MAT + i + newUnits, ' ', size_t(freed));
        Unpoison(p, size_t(oldUnits) * MemUnitSize);
        memset(p + r, 0, size_t(freed) * MemUnitSize);
        Expose(p, size + 1, size_t(oldUnits) * MemUnitSize);
        b->Nodes[i].nCount = uint16_t(newUnits);
        b->FreeNodeCount += freed;
        NoteReleased(b, i + newUnits, freed);
        return address;
    }

    int d = newUnits - oldUnits;
    size_t oldBytes = size_t(oldUnits) * MemUnitSize;
    // Grow in place into the free units right after the allocation.
    if (i + newUnits <= MemBlockUnits && TestMAT(b->MAT + i + oldUnits, ' ', d)) {
        memset(b->MAT + i + oldUnits, 'U', size_t(d));
        Unpoison(p, r);
        ZeroUnits(b, i + oldUnits, d);
        Expose(p, size + 1, r);
        b->Nodes[i].nCount = uint16_t(newUnits);
        b->FreeNodeCount -= d;
        return address;
    }
    // Grow downwards into the free units right before it.
    if (i >= d && TestMAT(b->MAT + i - d, ' ', d)) {
        int j = i - d;
        char *q = b->pMemory + size_t(j) * MemUnitSize;
        memset(b->MAT + j, 'U', size_t(newUnits));
        Unpoison(q, r);
        memmove(q, p, oldBytes);
        memset(q + oldBytes, 0, size_t(d) * MemUnitSize);
        Expose(q, size + 1, r);
        b->Nodes[j] = MemNode{uint16_t(newUnits), q};
        b->Nodes[i] = MemNode{0, nullptr};
        b->FreeNodeCount -= d;
        return q;
    }
    // Allocate, copy, release; a failed allocation keeps the old area.
    void *fresh = GetMem(size);
    if (fresh == nullptr) return nullptr;
    Unpoison(p, oldBytes);
    memcpy(fresh, p, oldBytes);
    PutMem(address);
    return fresh;
}

} // namespace

int TestMAT(const char *text, char c, int n) {
    for (int k = 0; k < n; ++k)
        if (text[k] != c) return 0;
    return 1;
}

void PushBlock(MemBlock *block) {
    block->nSeq = ++nBlockSeq;
    block->pNext = nullptr;
    if (pMemB == nullptr) {
        block->pPrev = nullptr;
        pMemB = block;
        return;
    }
    MemBlock *tail = pMemB;
    while (tail->pNext != nullptr)
        tail = tail->pNext;
    tail->pNext = block;
    block->pPrev = tail;
}

MemBlock *PopBlock(MemBlock *block) {
    // A search that was to start here starts at a neighbour; the blocks
    // before this one are all before the previous one too.
    for (MemBlock *&from : pSearchFrom)
        if (from == block) from = block->pNext != nullptr ? block->pNext : block->pPrev;
    if (block->pPrev != nullptr) block->pPrev->pNext = block->pNext;
    if (block->pNext != nullptr) block->pNext->pPrev = block->pPrev;
    if (block != pMemB) return block;
    pMemB = block->pNext;
    return pMemB;
}

void *MapBlock(size_t size) {
    size_t bytes = 0;
    uint8_t flHeap = 0;
    return MapRegion(size, &bytes, &flHeap);
}

MemBlock *GetNewBlock(size_t size) {
    size_t dataSize = std::max<size_t>(size, MemBlockSize);
    size_t headerBytes = 0, memoryBytes = 0;
    uint8_t flHeaderHeap = 0, flMemoryHeap = 0;
    void *header = MapRegion(sizeof(MemBlock), &headerBytes, &flHeaderHeap);
    void *memory = header ? MapRegion(dataSize, &memoryBytes, &flMemoryHeap) : nullptr;
    if (memory == nullptr) {
        ReleaseRegion(header, headerBytes, flHeaderHeap);
        ++nMapFailures;
        fprintf(stderr, "ERROR: %s\n", OutOfMem);
        return nullptr;
    }
    // The region is zero-filled (a fresh mapping or calloc), which is every
    // field's starting value; writing the zeros again would fault in all the
    // pages of the node records, most of which a block never uses.
    auto *b = static_cast<MemBlock *>(header);
    memset(b->MAT, ' ', MemBlockUnits);
    b->MAT[MemBlockUnits] = '\0';
    b->Size = int32_t(dataSize);
    b->pMemory = static_cast<char *>(memory);
    b->FreeNodeCount = MemBlockUnits;
    b->nFreeRunBound = MemBlockUnits;
    b->nHeaderBytes = headerBytes;
    b->nMemoryBytes = memoryBytes;
    b->flHeaderHeap = flHeaderHeap;
    b->flMemoryHeap = flMemoryHeap;
    Poison(b->pMemory, memoryBytes);
    PushBlock(b);
    return b;
}

MemBlock *FindBlock(const void *address) {
    auto p = reinterpret_cast<uintptr_t>(address);
    auto holds = [p](const MemBlock *b) {
        auto start = reinterpret_cast<uintptr_t>(b->pMemory);
        return p >= start && p - start < uintptr_t(b->Size);
    };
    // Releases come in runs from the same block; asking the last block
    // found first saves walking a long list.
    if (pLastFound != nullptr && holds(pLastFound)) return pLastFound;
    for (MemBlock *b = pMemB; b != nullptr; b = b->pNext)
        if (holds(b)) return pLastFound = b;
    return nullptr;
}

void FreeBlock(MemBlock *block) {
    if (block == pLastFound) pLastFound = nullptr;
    PopBlock(block);
    ReleaseRegion(block->pMemory, block->nMemoryBytes, block->flMemoryHeap);
    size_t headerBytes = block->nHeaderBytes;
    uint8_t flHeaderHeap = block->flHeaderHeap;
    block->~MemBlock();
    ReleaseRegion(block, headerBytes, flHeaderHeap);
}

void *GetMem(size_t size) {
    if (size == 0) return nullptr;
    uint64_t r = RoundSize(size);
    if (r == 0) return nullptr;
    if (r > MemBlockSize) return GetDedicated(size, r);

    int u = int(r / MemUnitSize);
    int c = SizeClass(u);
    MemBlock *&from = pSearchFrom[c];
    MemBlock *b = from != nullptr ? from : pMemB;
    bool leading = true; // every block so far is too small for the whole class
    int i = -1;
    for (; b != nullptr; b = b->pNext) {
        if (b->FreeNodeCount >= u && b->nFreeRunBound >= u) {
            int longest = 0;
            if ((i = FirstFit(b->MAT, b->nFreeFrom, u, &longest)) >= 0) break;
            b->nFreeRunBound = longest;
        }
        if (leading && RunBound(b) < (1 << c))
            from = b->pNext != nullptr ? b->pNext : b;
        else
            leading = false;
    }
    if (b == nullptr) {
        b = GetNewBlock(MemBlockSize);
        if (b == nullptr) return nullptr;
        i = 0;
    }
    char *p = b->pMemory + size_t(i) * MemUnitSize;
    memset(b->MAT + i, 'U', size_t(u));
    b->Nodes[i] = MemNode{uint16_t(u), p};
    Unpoison(p, r);
    ZeroUnits(b, i, u);
    Expose(p, size + 1, r);
    b->FreeNodeCount -= u;
    if (i == b->nFreeFrom) b->nFreeFrom = i + u;
    return p;
}

void PutMem(void *address) {
    if (address == nullptr) return;
    MemBlock *b = FindBlock(address);
    if (b == nullptr) return;
    if (IsDedicated(b)) {
        // Only the area's own start releases it, as in an ordinary block.
        if (address == b->pMemory) FreeBlock(b);
        return;
    }
    int i = AllocationUnit(b, address);
    if (i < 0) return;
    int units = b->Nodes[i].nCount;
    b->FreeNodeCount += units;
    memset(b->MAT + i, ' ', size_t(units));
    b->Nodes[i] = MemNode{0, nullptr};
    Poison(address, size_t(units) * MemUnitSize);
    if (b->FreeNodeCount == MemBlockUnits)
        FreeBlock(b);
    else
        NoteReleased(b, i, units);
}

void *AdjustMem(void *address, size_t size) {
    if (size == 0) {
        PutMem(address);
        return nullptr;
    }
    MemBlock *b = address ? FindBlock(address) : nullptr;
    if (b == nullptr) return GetMem(size);
    uint64_t r = RoundSize(size);
    if (r == 0) return nullptr;

    if (!IsDedicated(b)) {
        int i = AllocationUnit(b, address);
        if (i < 0) return nullptr;
        if (r <= MemBlockSize) return AdjustOrdinary(b, i, address, size, r);
        // Growing out of an ordinary block into a dedicated one.
        size_t oldBytes = size_t(b->Nodes[i].nCount) * MemUnitSize;
        void *fresh = GetMem(size);
        if (fresh == nullptr) return nullptr;
        Unpoison(address, oldBytes);
        memcpy(fresh, address, oldBytes);
        PutMem(address);
        return fresh;
    }

    if (address != b->pMemory) return nullptr;
    if (r <= uint64_t(b->Size)) {
        size_t used = size_t(b->DedicatedSize);
        Unpoison(b->pMemory, std::max<size_t>(used, r));
        if (r < used)
            memset(b->pMemory + r, 0, used - r);
        else if (r > used)
            memset(b->pMemory + used, 0, r - used);
        // Always record the new size: a stale one would make a later grow
        // zero bytes the caller has written.
        b->DedicatedSize = int32_t(r);
        Expose(b->pMemory, size + 1, b->nMemoryBytes);
        return address;
    }
    void *fresh = GetMem(size);
    if (fresh == nullptr) return nullptr;
    size_t oldBytes = std::min<size_t>(size_t(b->Size), r);
    Unpoison(b->pMemory, oldBytes);
    memcpy(fresh, b->pMemory, oldBytes);
    FreeBlock(b);
    return fresh;
}

namespace {

// Length of an area's content to print: up to its first NUL, at most its
// units, and never into bytes the sanitizer holds unusable.
int PrintableLength(const char *p, size_t bytes) {
#if defined(CORLA_ASAN)
    if (const void *bad = __asan_region_is_poisoned(const_cast<char *>(p), bytes))
        bytes = size_t(static_cast<const char *>(bad) - p);
#endif
    const void *nul = memchr(p, '\0', bytes);
    return int(nul ? static_cast<const char *>(nul) - p : ptrdiff_t(bytes));
}

} // namespace

void DumpMem() {
    for (MemBlock *b = pMemB; b != nullptr; b = b->pNext) {
        if (IsDedicated(b)) {
            printf(
                "\n============ Dedicated Block(%li) size(%li) FreeNodeCount(%i) <==(%li) (%li)==>",
                AsLong(b->pMemory), long(b->Size), b->FreeNodeCount, AsLong(b->pPrev),
                AsLong(b->pNext));
            continue;
        }
        int blanks = int(std::count(b->MAT, b->MAT + MemBlockUnits, ' '));
        int counted = 0;
        for (const MemNode &node : b->Nodes)
            counted += node.nCount;
        printf(
            "\n============ Block(%li) size(%li) Free(%i) Used(%i) FreeNodeCount(%i) SizeCnt(%i) "
            "<==(%li) (%li)==>\n\tBlock MAT:",
            AsLong(b), long(b->Size), blanks, MemBlockUnits - blanks, b->FreeNodeCount,
            MemBlockUnits - counted, AsLong(b->pPrev), AsLong(b->pNext));
        for (int i = 0; i < MemBlockUnits; ++i) {
            if (i % 64 == 0) fputs("\n\t", stdout);
            putchar(b->MAT[i] == ' ' ? '_' : b->MAT[i]);
        }
        fputs("\n\n\tAllocated Nodes:\n", stdout);
        for (int i = 0; i < MemBlockUnits; ++i) {
            const MemNode &node = b->Nodes[i];
            if (node.nCount == 0 || node.pAddr == nullptr) continue;
            size_t bytes = size_t(node.nCount) * MemUnitSize;
            printf("\tMAT index(%6i) Memory Addr(%6li) nodes(%5i) size(%5i) Memory(%.*s)\n", i,
                   AsLong(node.pAddr), int(node.nCount), int(bytes),
                   PrintableLength(node.pAddr, bytes), node.pAddr);
        }
        putchar('\n');
    }
}

namespace {

// The first disagreement MemCheck finds: what, in which block, at which unit
// (-1 for the block as a whole); no text while everything agrees.
struct MemFault {
    const char *pWhat = nullptr;
    const MemBlock *pBlock = nullptr;
    int nUnit = -1;
};

// Searches start at blocks of the list, and no block they pass over could
// serve them.
MemFault CheckSearchStarts() {
    for (int c = 0; c < SizeClasses; ++c) {
        if (pSearchFrom[c] == nullptr) continue;
        const MemBlock *b = pMemB;
        for (; b != nullptr && b != pSearchFrom[c]; b = b->pNext)
            if (RunBound(b) >= (1 << c)) return {"a search starts past room", b, c};
        if (b == nullptr) return {"a search starts outside the list", pSearchFrom[c], c};
    }
    return {};
}

// An ordinary block's MAT against its node records and its shortcuts.
MemFault CheckUnits(const MemBlock *b) {
    int blanks = 0, used = 0, run = 0;
    for (int i = 0; i < MemBlockUnits;) {
        const MemNode &node = b->Nodes[i];
        if (b->MAT[i] == ' ') {
            if (node.nCount != 0) return {"node record on a free unit", b, i};
            if (++run > b->nFreeRunBound) return {"free run longer than the block's bound", b, i};
            if (i < b->nFreeFrom) return {"free unit below the block's first", b, i};
            ++blanks;
            ++i;
            continue;
        }
        run = 0;
        if (b->MAT[i] != 'U') return {"MAT character neither blank nor U", b, i};
        if (node.nCount == 0 || node.pAddr != b->pMemory + size_t(i) * MemUnitSize)
            return {"used unit without a node record starting it", b, i};
        if (i + node.nCount > MemBlockUnits || !TestMAT(b->MAT + i, 'U', node.nCount))
            return {"node count runs over free units", b, i};
        if (i + node.nCount > b->nFreshFrom)
            return {"allocation among the units never handed out", b, i};
        for (int k = i + 1; k < i + node.nCount; ++k)
            if (b->Nodes[k].nCount != 0) return {"node record inside an allocation", b, k};
        used += node.nCount;
        i += node.nCount;
    }
    if (blanks + used != MemBlockUnits) return {"free plus used units differ from 2048", b, -1};
    if (b->FreeNodeCount != blanks) return {"FreeNodeCount disagrees with the MAT", b, -1};
    if (blanks == MemBlockUnits) return {"empty block kept", b, -1};
    return {};
}

// One block of the list, prev the one before it.
MemFault CheckBlock(const MemBlock *b, const MemBlock *prev) {
    if (b->pPrev != prev) return {"pPrev does not point at the previous block", b, -1};
    if (prev != nullptr && b->nSeq <= prev->nSeq) return {"list out of order", b, -1};
    if (b->MAT[MemBlockUnits] != '\0') return {"MAT not terminated", b, MemBlockUnits};
    if (!IsDedicated(b)) return CheckUnits(b);
    if (b->FreeNodeCount != 0 || !TestMAT(b->MAT, 'U', MemBlockUnits))
        return {"dedicated block offers free units", b, -1};
    if (b->DedicatedSize <= 0 || b->DedicatedSize > b->Size)
        return {"dedicated size outside the block", b, -1};
    return {};
}

} // namespace

int MemCheck(char *why, size_t whySize) {
    MemFault fault = CheckSearchStarts();
    const MemBlock *prev = nullptr;
    for (const MemBlock *b = pMemB; fault.pWhat == nullptr && b != nullptr; prev = b, b = b->pNext)
        fault = CheckBlock(b, prev);
    if (fault.pWhat == nullptr) return 1;
    if (why != nullptr && whySize > 0)
        snprintf(why, whySize, "block %p unit %d: %s", static_cast<const void *>(fault.pBlock),
                 fault.nUnit, fault.pWhat);
    return 0;
}

// ---------------------------------------------------------------------------
// Mapping failures on demand (test builds only; see MemMgr.h)
// ---------------------------------------------------------------------------

namespace {

#if defined(CORLA_FAULT_INJECTION)
long long nMappingsTried = 0;
long long nFailFrom = 0;  // first mapping to fail; 0: none
long long nFailCount = 0; // how many fail from there; 0: all later ones
bool flFailureSetUp = false;

// "N" or "N:COUNT" of CORLA_FAIL_MAPPING; anything else leaves the hook off.
void ReadFailMapping() {
    flFailureSetUp = true;
    const char *text = getenv("CORLA_FAIL_MAPPING");
    if (text == nullptr) return;
    char *end = nullptr;
    long long n = strtoll(text, &end, 10);
    long long count = 0;
    if (end != text && *end == ':') {
        const char *rest = end + 1;
        count = strtoll(rest, &end, 10);
        if (end == rest || count < 0) return;
    }
    if (end == text || *end != '\0' || n < 1) return;
    nFailFrom = n;
    nFailCount = count;
}
#endif

bool MappingShallFail() {
#if defined(CORLA_FAULT_INJECTION)
    if (!flFailureSetUp) ReadFailMapping();
    long long k = ++nMappingsTried;
    return nFailFrom > 0 && k >= nFailFrom && (nFailCount == 0 || k < nFailFrom + nFailCount);
#else
    return false;
#endif
}

} // namespace

int MemFaultInjection() {
#if defined(CORLA_FAULT_INJECTION)
    return 1;
#else
    return 0;
#endif
}

void MemFailMapping([[maybe_unused]] long long n, [[maybe_unused]] long long count) {
#if defined(CORLA_FAULT_INJECTION)
    flFailureSetUp = true;
    nMappingsTried = 0;
    nFailFrom = n > 0 ? n : 0;
    nFailCount = count > 0 ? count : 0;
#endif
}

long long MemMappingCount() {
#if defined(CORLA_FAULT_INJECTION)
    return nMappingsTried;
#else
    return 0;
#endif
}
