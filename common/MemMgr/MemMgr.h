// MemMgr: the block memory manager, the only allocator of the library.
//
// Memory is taken from the system in blocks of 64 KiB mapped from
// "/dev/zero" and carved into 32-byte units. Each block keeps its occupancy
// as the MAT, a text of 2048 characters (blank = free unit, 'U' = used), so a
// free run of any length is found with one search over the MAT. Requests
// whose rounded size exceeds 64 KiB get a dedicated block of their own.
//
// Ownership: an area returned by GetMem/AdjustMem belongs to the caller until
// it is handed to PutMem (or to AdjustMem, which may move it); ScopedMem holds
// one for a scope and releases it on every way out. Every area is
// zero-filled and holds at least size + 1 bytes, so a text of size
// characters always has room for its terminator. A block whose last area is
// released goes back to the system at once.
//
// Single-threaded: the block list and the MATs have no lock.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int MemUnitSize = 32;                           // bytes per MAT unit
inline constexpr int MemBlockUnits = 2048;                       // units of an ordinary block
inline constexpr int MemBlockSize = MemUnitSize * MemBlockUnits; // 65,536

// One record per unit: the allocation that starts at that unit, if any.
struct MemNode {
    uint16_t nCount; // units of the allocation; 0 = none starts here
    char *pAddr;     // the allocation's start in the data area
};

// Block header, mapped as a region of its own; the data area is separate.
struct MemBlock {
    MemBlock *pNext;       // next block in the list
    MemBlock *pPrev;       // previous block in the list
    int32_t Size;          // data area bytes: 65,536, or a multiple for a dedicated block
    int32_t DedicatedSize; // dedicated block: rounded size in use; 0 otherwise
    int32_t FreeNodeCount; // free units (0 in a dedicated block)
    int32_t nFreeRunBound; // not less than the longest free run (see below)
    char *pMemory;         // start of the data area
    MemNode Nodes[MemBlockUnits];
    char MAT[MemBlockUnits + 1];

    // How the two regions were obtained, so that FreeBlock releases them the
    // matching way (mapped regions are unmapped with their mapped lengths).
    size_t nHeaderBytes;
    size_t nMemoryBytes;
    uint8_t flHeaderHeap; // header taken with calloc (no /dev/zero)
    uint8_t flMemoryHeap; // data area taken with calloc

    // Search shortcuts kept by the allocator. nFreeRunBound (in the slot
    // beside FreeNodeCount that would otherwise be padding) is never less
    // than the longest run of free units, so a search skips a block that
    // cannot hold a request without reading its MAT; it is raised when units
    // are released and lowered when a search of the block fails. Every unit
    // below nFreeFrom is used, so a search of the MAT starts there. nSeq
    // grows along the list (blocks are appended at the tail), so that the
    // allocator can tell which of two blocks comes first. Units from
    // nFreshFrom on have never been handed out, so they are still zero.
    int32_t nFreeFrom;
    int32_t nFreshFrom;
    uint64_t nSeq;
};

extern MemBlock *pMemB;       // head of the block list; none while no block exists
extern const char OutOfMem[]; // "Unable to allocate memory"
// Mappings that have failed so far in the run (each reported with OutOfMem).
// An operation that answers a failed allocation with a plain "none" leaves
// its caller to tell memory running out from other causes by this count
// having moved.
extern long long nMapFailures;

// The device mapped for zero-filled regions, "/dev/zero". It is opened once,
// at the first mapping; when it cannot be opened, regions come from calloc for
// the rest of the run (tests point this elsewhere to exercise that path).
extern const char *pZeroDevice;

// Zero-filled area of at least size + 1 bytes; none for size 0, for a size
// too large for the 32-bit block fields, or when memory is exhausted.
void *GetMem(size_t size);

// Release an area from GetMem/AdjustMem. An address in no block, or one that
// does not start an allocation, is ignored.
void PutMem(void *address);

// Resize keeping the content (the area may move). Size 0 releases the area
// and yields none; an absent or unknown address behaves as GetMem(size). On
// failure yields none and leaves the old area untouched; an address inside an
// allocation (not its start) also yields none.
void *AdjustMem(void *address, size_t size);

// A GetMem area held for one scope: PutMem'd when the holder goes, on every
// way out, unless release() handed it on first. For the areas an operation
// takes and gives back whatever happens:
//   ScopedMem path(SaveStr("%s/%s", dir, name));
//   if (!FindFile(path.get(), nullptr)) return 0; // released here as well
//   file->pName = path.release();                 // now the file's
// An area to be resized with AdjustMem is taken out with release() first.
template <typename T = char>
class ScopedMem {
  public:
    explicit ScopedMem(T *area = nullptr) : pArea(area) {}
    ScopedMem(const ScopedMem &) = delete;
    ScopedMem &operator=(const ScopedMem &) = delete;
    ~ScopedMem() { PutMem(pArea); }

    T *get() const { return pArea; }
    explicit operator bool() const { return pArea != nullptr; }
    // The area, no longer held: the caller owns it now.
    T *release() {
        T *area = pArea;
        pArea = nullptr;
        return area;
    }
    // Release the area held (unless it is area) and hold area instead.
    void reset(T *area = nullptr) {
        if (area != pArea) PutMem(pArea);
        pArea = area;
    }

  private:
    T *pArea;
};

// 1 when the first n characters of text all equal c (also for n = 0), else 0.
int TestMAT(const char *text, char c, int n);

// Block list maintenance. PopBlock yields the new head when the head was
// removed, else the block itself.
void PushBlock(MemBlock *block);
MemBlock *PopBlock(MemBlock *block);

// Map a zero-filled, read-write, private region of (size / page + 1) pages
// from "/dev/zero" (calloc when it cannot be opened). None on failure.
void *MapBlock(size_t size);

// New block with a data area of size bytes (65,536 for size <= 65,536),
// appended to the list. Prints "ERROR: Unable to allocate memory" on standard
// error and yields none when a mapping fails.
MemBlock *GetNewBlock(size_t size);

// The block whose data area [pMemory, pMemory + Size) holds address, or none.
MemBlock *FindBlock(const void *address);

// Unlink a block and give both its regions back to the system.
void FreeBlock(MemBlock *block);

// Diagnostic listing of every block on standard output.
void DumpMem();

// Mapping failures on demand, for tests: every way of running out of memory
// can be tried, in-process or on a whole program from outside. Compiled in
// only for test builds (the CMake option CORLA_FAULT_INJECTION; on by default
// when the tests are built, off in release and fuzz builds); elsewhere the
// environment variable is ignored, MemFailMapping does nothing and
// MemFaultInjection yields 0.
//
// The mappings of a run are counted from 1 in the order they are tried (each
// new block maps its header, then its data area; both count, and so do the
// calloc regions taken without "/dev/zero"). With
//     CORLA_FAIL_MAPPING=N        the N-th mapping and every later one fail,
//                                 as when memory has run out for good;
//     CORLA_FAIL_MAPPING=N:COUNT  the N-th and the COUNT - 1 after it fail,
//                                 later ones succeed again (COUNT 0: all);
// a failed mapping behaves as a failed mmap: "ERROR: Unable to allocate
// memory" on standard error and none from GetMem/AdjustMem, errno ENOMEM.
// The variable is read at the first mapping; a value that is not a number
// of 1 or more turns the hook off. A whole program is swept by running it
// with N = 1, 2, 3, ... until a run no longer prints that message.
//
// 1 when the hook is compiled in.
int MemFaultInjection();
// From a test: fail the n-th mapping from now on and the count - 1 after it
// (count 0: every later one); n 0 turns failures off. Restarts the count and
// takes precedence over the environment.
void MemFailMapping(long long n, long long count);
// Mappings tried since the start of the run or the last MemFailMapping.
long long MemMappingCount();

// Consistency check for tests and debug builds: per block, free units plus
// used units equal 2048, FreeNodeCount matches the MAT, node records agree
// with the MAT runs, no free run is longer than nFreeRunBound nor lies below
// nFreeFrom, no search starts past a block that could serve it, and the
// list's links and order agree both ways. Yields 1 when everything
// agrees; otherwise 0, with a description of the first disagreement in why
// (when given, at most whySize bytes).
int MemCheck(char *why, size_t whySize);
