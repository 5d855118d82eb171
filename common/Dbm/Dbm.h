// Dbm: keyed record stores kept in lightly scrambled files.
//
// A record is a NUL-terminated text key with a block of opaque data. Two
// facilities share the record layout (the formats are described at the top
// of Dbm_format.cpp):
//   record files (Dbm...)   every call opens <tool path>/db/<name>.udb, scans
//                           it from the start and closes it again; nothing is
//                           cached. An update writes a complete replacement
//                           file "<name>.udb_new" and renames it over the
//                           store, so a reader sees the old or the new store;
//                           a replacement that could not be written whole (a
//                           full disk) is removed and the store stays as it
//                           was.
//   cached store (DbmT...)  a DbT handle holds the whole store file in one
//                           memory block (the image) and an index from key
//                           to record, so a lookup does not walk the image;
//                           changes are made in memory and written back whole
//                           ("archived") by the same replace-and-rename step.
//                           Before each access the handle reloads the file
//                           when its modification time has changed.
//
// Ownership: a DbT handle, its name and its image belong to the handle and
// are released by DbTClose. Lists, chains and DbmTGetRecordV's grown blocks
// are new blocks of the block memory manager (MemMgr.h) that the caller
// releases (PutMem, DbmFreeDbLinkList). Data is copied into buffers the
// caller owns; where a buffer's size is not passed, its required size is
// stated.
//
// Results follow the library's rule: 1 (or a pointer) for success, 0 (or
// null) for a failure, a missing argument or a missing record; sizes are 0
// for an absent record. Nothing here ends the program.
//
// Single-threaded: DbmGetNextRecord's cursor, the record buffers and the
// legacy scratch block are process-wide.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// ---------------------------------------------------------------------------
// Limits and shared settings
// ---------------------------------------------------------------------------

inline constexpr int DbRecBufSize = 65536; // a record file's record buffer
inline constexpr int DbMaxPayload = 65527; // largest L of a record file (and of a legacy store)
inline constexpr int DbTMaxLen = 65535;    // largest L of a typed record (a 16-bit word)
inline constexpr int DbKeyBufSize = 4096;  // largest key, terminator included
inline constexpr int DbTHeaderSize = 16;   // the typed format's header
inline constexpr int DbOpenAttempts = 10;  // reads of an existing store before giving up

// The tool directory: stores named without a path live in <pToolPath>/db.
// Set by the application (GetToolPath of argv[0]); null means the current
// directory.
extern char *pToolPath;

// Seconds slept between two attempts to read an existing store (1). Tests
// set it to 0 to exercise the retry paths quickly.
extern unsigned int nDbRetrySleep;

// The bytes 01 02 03 04 and a NUL: read as one 32-bit word they equal
// 0x01020304 only on a big-endian host.
extern const char TLBuf[5];

// ---------------------------------------------------------------------------
// Record files
// ---------------------------------------------------------------------------

// One element of DbmGetDbLinkList's (and DbmTGetDbLinkList's) result.
struct DbLink {
    DbLink *pNext;     // next element, null at the end
    char *pRecord;     // the key with its NUL, immediately followed by the data
    char *pRecData;    // into pRecord: the first data byte
    uint32_t nRecSize; // data bytes
};

// Internal steps, exposed for the cached store, the tool and the tests.
// record: a DbRecBufSize buffer holding the length word L (host order) and
// the payload.
int PutData(FILE *file, char *record); // scrambles the payload in place, writes L + 2 bytes
// Read one record into record and unscramble it. 0 at the end of the file
// and for a record that cannot be read whole: L of 0 or above DbMaxPayload,
// a short payload, or a key length outside 1..L-2 or without its NUL (such a
// record ends every scan as the end of the file does).
int GetData(FILE *file, char *record);
// Open <tool path>/db/<name>.<extension> with mode after up to
// DbOpenAttempts tries (OpenFile with errorMode); null at once when the file
// does not exist.
FILE *OpenDataBase(const char *name, const char *extension, const char *mode, int errorMode);
// Create <tool path>/db/<name>.udb_new afresh (mode 666, no link followed,
// the store's directory made when missing) and open it for writing, holding
// an exclusive lock; null on failure.
FILE *OpenNewDataBase(const char *name);
// rename(2) of <tool path>/db/<name>.<oldExt> to <name>.<newExt>; 1 on success.
int RenameDataBase(const char *name, const char *oldExtension, const char *newExtension);
// Copy every record of in to out except those whose key equals key (n = 0)
// or begins with key's first n bytes (n > 0). 0 after printing
// "ERROR: Can't write to <name>" when a write fails, else 1.
int PurgeRecord(const char *name, FILE *in, FILE *out, const char *key, int n);

// Store or replace the record of key (it moves to the end of the file).
// Refused (0, store untouched) when the record would exceed DbMaxPayload, or
// when the store exists but cannot be opened.
int DbmPutRecord(const char *name, const char *key, const void *data, int size);
// Remove the record of key; 1 also when there was none, 0 for a missing store.
int DbmDeleteRecord(const char *name, const char *key);
// Remove the records whose key begins with prefix (not empty); 1 once the
// store and its replacement were opened.
int DbmDeleteRecords(const char *name, const char *prefix);
// Copy the data of key into buffer, which must hold DbMaxPayload bytes;
// yields the data size (0: absent, empty data or missing store).
int DbmGetRecord(const char *name, const char *key, void *buffer);
// The same into a buffer of size bytes: at most size bytes are copied; the
// result is still the record's whole data size.
int DbmGetRecordN(const char *name, const char *key, void *buffer, int size);
int DbmGetRecordSize(const char *name, const char *key);
// The records one by one across calls (one cursor for the whole process,
// shared by all stores): the data of record cursor + 1 into buffer (which must
// hold DbMaxPayload bytes), the cursor advanced; 0 and the cursor unchanged
// when the store has no such record.
int DbmGetNextRecord(const char *name, void *buffer);
// prefix + key for every record in file order, then suffix once; a new text,
// null for a missing or empty store.
char *DbmGetRecordList(const char *name, const char *prefix, const char *suffix);
// The stores of <tool path>/db: names joined by "," (flag clear) or each after
// a blank (flag set); a new text, null when the directory cannot be listed.
char *DbmGetDbList(int flag);
// Store the data of oldKey (at most 64 KiB) under newKey too; the result of
// the put, 0 when oldKey has no data.
int DbmCopyRecord(const char *name, const char *oldKey, const char *newKey);
// Records whose key contains text, in file order; null when none.
DbLink *DbmGetDbLinkList(const char *name, const char *text);
void DbmFreeDbLinkList(DbLink *chain); // a null chain is accepted
// Diagnostic listing of the record file "<name>.db" (current directory) on
// standard output: "%i %i ==>{" with L and K, key and data with unprintable
// bytes as ".", "}\n".
void DumpDbm(const char *name);
// Reserved; they do nothing and yield 0.
int DbmCreate(const char *name, const char *argument);
int DbmDelete(const char *name, const char *argument);

// ---------------------------------------------------------------------------
// Cached store
// ---------------------------------------------------------------------------

// Open flags (they combine).
enum DbTOpenFlag : int32_t {
    DbTKeepLoaded = 2, // no reload before each access; DbTUpDate reloads explicitly
    DbTDeferWrite = 4, // no archive after each change; the owner calls DbmTArchiveDb
};

// nDbType values.
enum DbTType : int32_t {
    DbTypeUnreadable = -1, // the file exists and is not empty but could not be read:
                           // lookups miss, changes and archives are refused
    DbTypeNew = 0,         // no file (no image) or an empty file (header-only image)
    DbTypeLegacy = 1,      // the headerless record-file layout, host byte order
    DbTypeTyped = 2,       // "TUDBAA" header, big-endian length words
};

struct DbTIndex; // private to the cached store

struct DbT {
    char *pName;          // the name given to DbTOpen (own copy)
    uint8_t flSwap;       // the 16-bit words are byte-swapped between file and host
    int32_t nOpenFlags;   // DbTOpenFlag bits
    char *pContent;       // the image, or null when nothing is loaded
    int32_t nContentSize; // bytes used in pContent
    time_t tModified;     // the file's modification time when it was loaded
    int32_t nPos;         // data cursor: where the next decode or encode happens
    int32_t nWalk;        // offset of the next record of the walk
    int32_t nRecords;     // record count of a typed store (header)
    uint8_t flChanged;    // set when the image is (re)loaded or changed in memory
    int32_t nDbType;      // a DbTType
    // Private: the first record of each key in the image, built when the
    // image is loaded and kept by every change the store's operations make
    // (a GetMem block; null while not built).
    DbTIndex *pIndex;
    // Private: memory ran out for the index or for room ahead of the image;
    // until the image is loaded again the operations walk it and grow it by
    // what each put needs, rather than trying (and saying that memory ran
    // out) again at every operation.
    uint8_t flShortOfMemory;
};

// What the walk yields for one record.
struct DbTRecord {
    int32_t nLen;    // L: key length word + key + data
    int32_t nKeyLen; // K: key bytes including the NUL
    int32_t nOffset; // where the record's length word starts in the image
    char *pKey;      // legacy store: the decoded key (data follows it); else null
};

// Store location: a name starting with "/" is a full path (".udb" appended
// when it holds no "."); one starting with "." is used unchanged; any other
// name means <tool path>/db/<name>.udb. A new text, null for a null handle.
char *DbTGetPath(const DbT *db);

// Open a store: a new handle, loaded by DbTUpDate. A missing file gives a
// valid empty handle (type DbTypeNew, no image). Null for a null name or when
// memory runs out.
DbT *DbTOpen(const char *name, int flags);
void DbTClose(DbT *db); // frees image and handle without archiving; null accepted
// Load or reload the image when the file's modification time differs from
// tModified. An existing, non-empty file that cannot be read after
// DbOpenAttempts tries leaves the handle DbTypeUnreadable (later calls try
// once more each).
void DbTUpDate(DbT *db);
void DbTSetDbType(DbT *db, int type); // also settles flSwap

// Chained-XOR encode n bytes of source at nPos / decode n bytes from nPos,
// advancing nPos. 0 (nothing done) when the n bytes do not lie in the image.
int DbmTPutData(DbT *db, const void *source, int n);
int DbmTGetData(DbT *db, void *target, int n);

// Store or replace the record of key (size > 0). Refused (0, image
// unchanged) for a key of DbKeyBufSize bytes or more, a record whose L would
// exceed DbTMaxLen (DbMaxPayload in a legacy store), or an unreadable store.
// Yields 1 with DbTDeferWrite, else the result of DbmTArchiveDb.
int DbmTPutRecord(DbT *db, const char *key, const void *data, int size);
// Remove the record of key (not empty): the archive's result when something
// was removed and writing is not deferred, else 1 / 0 for removed / not.
int DbmTDeleteRecord(DbT *db, const char *key);
// Remove the records whose key begins with prefix (not empty); archives when
// something was removed and writing is not deferred; 1 for any non-empty
// prefix, 0 when refused (no prefix, unreadable store) or the archive failed.
int DbmTDeleteRecords(DbT *db, const char *prefix);
// Copy the data of key into buffer; yields the data size, 0 when absent.
// buffer must hold the record's data (see DbmTGetRecordSize, or use
// DbmTGetRecordN).
int DbmTGetRecord(DbT *db, const char *key, void *buffer);
// The same, copying at most size bytes; yields the whole data size.
int DbmTGetRecordN(DbT *db, const char *key, void *buffer, int size);
// The same with a buffer of size bytes at *buffer: data larger than size goes
// to a new block (GetMem, the caller frees it) whose address replaces
// *buffer; the old buffer is left untouched. Yields the data size.
int DbmTGetRecordV(DbT *db, const char *key, char **buffer, int size);
int DbmTGetRecordSize(DbT *db, const char *key);
// Store the data of oldKey (at most 64 KiB) under newKey; the put's result, 0
// when oldKey has no data.
int DbmTCopyRecord(DbT *db, const char *oldKey, const char *newKey);
// prefix + key for every record in store order, then suffix once; a new
// text, null when the store has no records.
char *DbmTGetRecordList(DbT *db, const char *prefix, const char *suffix);
// The same for the records whose key begins with one of the ","-separated
// keyNames (not empty).
char *DbmTGetRecordListS(DbT *db, const char *keyNames, const char *prefix, const char *suffix);
// 1 when key begins with one of the ","-separated names (names longer than
// 127 characters never match); the shared tokenizer's input is restored.
int TestKeyName(const char *key, const char *keyNames);
// Records whose key contains text, in store order; null when none. Freed
// with DbmFreeDbLinkList.
DbLink *DbmTGetDbLinkList(DbT *db, const char *text);
// Write the image back to the store file: "<store path>_new" is written
// whole under an exclusive lock, flushed to disk and renamed over the store
// path (the store's directory is made when missing). 0 after "ERROR: Can't
// write to <name>" on a write failure (the replacement is then removed and
// the store file left as it was), and for a handle with no image or an
// unreadable store; else 1.
int DbmTArchiveDb(DbT *db);
void UpdateHeader(DbT *db); // the 16-byte typed header for nRecords, into the image

// The record walk: flContinue 0 restarts at the first record. Yields record
// filled in, or null at the end. A damaged record (one that runs past the
// image, or whose key length does not fit it) ends the image there: the
// image is cut to the record's offset.
DbTRecord *WalkDbTRecords(DbT *db, DbTRecord *record, int flContinue);
// Walk to the record of key: 1 with record filled in and nPos at its first
// data byte, else 0.
int FindTRecord(DbT *db, const char *key, DbTRecord *record);
// Cut out the records whose key equals key (n = 0) or begins with key's
// first n bytes; 1 when anything was removed.
int PurgeTRecord(DbT *db, const char *key, int n);
