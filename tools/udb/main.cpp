// udb: look into and change keyed record stores (.udb files) from the
// command line, for administrators and translators. Built on the cached
// store: every change is made in memory and written back once, by the
// library's replace-and-rename step.
//
// Text lines (import, export): the key, a tab, the text. In both, "\t",
// "\n", "\r", "\\", "\0" and "\#" stand for tab, line feed, carriage return,
// backslash, NUL and "#"; a text stored without a terminating NUL ends in
// "\c". Import skips empty lines and lines that begin with "#", and ignores a
// carriage return before the line feed.
#include "Dbm.h"
#include "MemMgr.h"
#include "utils.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <sys/stat.h>

namespace {

enum ExitStatus : int { ExitOk = 0, ExitMissingKey = 1, ExitOutOfMemory = 1, ExitTrouble = 2 };

constexpr char Usage[] =
    "Usage: udb COMMAND STORE [ARGUMENTS]\n"
    "Look into and change keyed record stores (.udb files). STORE is a file path.\n"
    "\n"
    "  udb list STORE                  the keys, one a line, in store order\n"
    "  udb get STORE KEY               the data of KEY, unchanged, on standard output\n"
    "  udb put STORE KEY [FILE]        store the bytes of FILE (or standard input) under KEY\n"
    "  udb put STORE KEY --text VALUE  store VALUE and its terminating NUL under KEY\n"
    "  udb del STORE KEY               remove KEY\n"
    "  udb delprefix STORE PREFIX      remove every key that begins with PREFIX\n"
    "  udb dump STORE                  key, size and data of each record (unprintable\n"
    "                                  bytes shown as \".\"), separated by tabs\n"
    "  udb import STORE FILE           store the texts of FILE (\"-\": standard input)\n"
    "  udb export STORE                the texts of STORE, in the import format\n"
    "  udb info STORE                  format, record count and size\n"
    "\n"
    "Import and export lines hold a key, a tab and a text; in both, \\t \\n \\r \\\\ \\0 and\n"
    "\\# stand for tab, line feed, carriage return, backslash, NUL and #, and a text\n"
    "that ends in \\c is stored without a terminating NUL. Import skips empty lines\n"
    "and lines that begin with #. A store that does not exist is created by put\n"
    "and import.\n"
    "\n"
    "Exit status: 0 success, 1 missing key or memory ran out, 2 bad usage or an\n"
    "unreadable or damaged store.\n";

// Largest data a record can take with a key of keyChars characters.
int DataLimit(const DbT *db, size_t keyChars) {
    int limit = db->nDbType == DbTypeLegacy ? DbMaxPayload : DbTMaxLen;
    return limit - int(keyChars) - 1 - 2;
}

[[gnu::format(printf, 1, 2)]] int UsageError(const char *format, ...) {
    fputs("udb: ", stderr);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputs("\nTry 'udb --help'.\n", stderr);
    return ExitTrouble;
}

[[gnu::format(printf, 2, 3)]] int Trouble(const char *store, const char *format, ...) {
    fprintf(stderr, "udb: %s: ", store);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    return ExitTrouble;
}

// Memory running out ends a command with status 1, however far it got; a
// change is then not written. The library answers some failed allocations
// with a plain "none" (a store it could not load, a refused put): the count
// of failed mappings tells those apart from the other causes.
long long FailuresAtStart = 0;

bool ShortOfMemory() {
    return nMapFailures != FailuresAtStart;
}

int OutOfMemory() {
    fprintf(stderr, "udb: %s\n", OutOfMem);
    return ExitOutOfMemory;
}

// A growing block of the block memory manager.
struct Bytes {
    char *pData = nullptr;
    size_t nUsed = 0;
    size_t nRoom = 0;

    Bytes() = default;
    Bytes(const Bytes &) = delete;
    Bytes &operator=(const Bytes &) = delete;
    ~Bytes() { PutMem(pData); }

    // Room for n more bytes (and, as every GetMem area, one beyond).
    bool Reserve(size_t n) {
        if (nUsed + n <= nRoom && pData != nullptr) return true;
        size_t grown = nUsed + n > 2 * nRoom ? nUsed + n : 2 * nRoom;
        char *bigger = static_cast<char *>(AdjustMem(pData, grown > 0 ? grown : 1));
        if (bigger == nullptr) return false;
        pData = bigger;
        nRoom = grown;
        return true;
    }
    bool Append(const void *data, size_t n) {
        if (!Reserve(n)) return false;
        memcpy(pData + nUsed, data, n);
        nUsed += n;
        return true;
    }
    bool Append(char c) { return Append(&c, 1); }
};

// Read a whole stream; at most limit bytes are kept (more sets over).
bool ReadAll(FILE *file, Bytes &out, size_t limit, bool &over) {
    char chunk[8192];
    over = false;
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (out.nUsed + n > limit) {
            over = true;
            return true;
        }
        if (!out.Append(chunk, n)) return false;
    }
    return !ferror(file);
}

// The store as the library is to take it: a path used exactly as given.
char *LibraryName(const char *path) {
    if (path[0] == '/') // an absolute path without "." would get ".udb" appended
        return strchr(path, '.') != nullptr ? SaveStr_(path) : SaveStr("/.%s", path);
    if (path[0] == '.') return SaveStr_(path);
    return SaveStr("./%s", path);
}

// An open store and what the command line called it.
struct Store {
    const char *pPath = nullptr;
    DbT *pDb = nullptr;
    int32_t nDamagedAt = -1; // where a damaged record cuts the store, or -1

    Store() = default;
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    ~Store() { DbTClose(pDb); }
};

// Open path. A missing store is refused unless create is set; an unreadable
// one always. The whole store is walked once so that damage is known.
int OpenStore(const char *path, bool create, Store &store) {
    store.pPath = path;
    struct stat st;
    if (stat(path, &st) != 0) {
        if (errno != ENOENT || !create) return Trouble(path, "%s", strerror(errno));
    } else if (S_ISDIR(st.st_mode)) {
        return Trouble(path, "is a directory");
    }
    char *name = LibraryName(path);
    store.pDb = DbTOpen(name, DbTKeepLoaded | DbTDeferWrite);
    PutMem(name);
    if (store.pDb == nullptr) return OutOfMemory();
    if (store.pDb->nDbType == DbTypeUnreadable)
        return ShortOfMemory() ? OutOfMemory() : Trouble(path, "cannot be read");
    int32_t size = store.pDb->nContentSize;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(store.pDb, &rec, 0); r != nullptr;
         r = WalkDbTRecords(store.pDb, &rec, 1)) {
    }
    if (store.pDb->nContentSize < size) store.nDamagedAt = store.pDb->nContentSize;
    return ExitOk;
}

int ReportDamage(const Store &store) {
    return Trouble(store.pPath,
                   "damaged: the record at offset %ld cannot be read, nor any after it",
                   long(store.nDamagedAt));
}

// Changes are refused on a damaged store: writing it back would drop the
// records after the damage for good.
int OpenForChange(const char *path, bool create, Store &store) {
    int status = OpenStore(path, create, store);
    if (status != ExitOk) return status;
    if (store.nDamagedAt >= 0) {
        ReportDamage(store);
        fputs("udb: nothing changed; 'udb export' shows the records that can be read\n", stderr);
        return ExitTrouble;
    }
    return ExitOk;
}

int Archive(Store &store) {
    if (DbmTArchiveDb(store.pDb)) return ExitOk;
    fputc('\n', stderr); // after the library's own message
    return Trouble(store.pPath, "cannot write the store");
}

// The record's key (with its NUL) and data, decoded into out.
bool ReadRecord(DbT *db, const DbTRecord &rec, Bytes &out) {
    out.nUsed = 0;
    size_t total = size_t(rec.nLen) - 2;
    if (!out.Reserve(total)) return false;
    char *block = out.pData;
    if (rec.pKey != nullptr) {
        memcpy(block, rec.pKey, total);
    } else {
        db->nPos = rec.nOffset + 4;
        DbmTGetData(db, block, rec.nKeyLen);
        DbmTGetData(db, block + rec.nKeyLen, rec.nLen - rec.nKeyLen - 2);
    }
    out.nUsed = total;
    return true;
}

void PutEscaped(std::string_view text, bool keyStart) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
        case '\t':
            fputs("\\t", stdout);
            break;
        case '\n':
            fputs("\\n", stdout);
            break;
        case '\r':
            fputs("\\r", stdout);
            break;
        case '\\':
            fputs("\\\\", stdout);
            break;
        case '\0':
            fputs("\\0", stdout);
            break;
        case '#':
            fputs(keyStart && i == 0 ? "\\#" : "#", stdout);
            break;
        default:
            putchar(c);
        }
    }
}

void PutPrintable(std::string_view text) {
    for (char c : text)
        putchar(isprint(static_cast<unsigned char>(c)) ? c : '.');
}

// Undo PutEscaped. Yields 0, or the offending escape character (or '\\' for
// a lone backslash at the end); noTerminator is set by a final "\c".
char Unescape(std::string_view text, Bytes &out, bool &noTerminator) {
    out.nUsed = 0;
    noTerminator = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i == text.size()) return '\\';
            switch (text[i]) {
            case 't':
                c = '\t';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case '\\':
                c = '\\';
                break;
            case '0':
                c = '\0';
                break;
            case '#':
                c = '#';
                break;
            case 'c':
                if (i + 1 != text.size()) return 'c';
                noTerminator = true;
                return 0;
            default:
                return text[i];
            }
        }
        if (!out.Append(c)) return '!';
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

int CmdList(const char *path) {
    Store store;
    int status = OpenStore(path, false, store);
    if (status != ExitOk) return status;
    Bytes key;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(store.pDb, &rec, 0); r != nullptr;
         r = WalkDbTRecords(store.pDb, &rec, 1)) {
        if (!ReadRecord(store.pDb, rec, key)) return OutOfMemory();
        printf("%s\n", key.pData);
    }
    return store.nDamagedAt >= 0 ? ReportDamage(store) : ExitOk;
}

int CmdGet(const char *path, const char *key) {
    Store store;
    int status = OpenStore(path, false, store);
    if (status != ExitOk) return status;
    char *data = nullptr;
    int size = DbmTGetRecordV(store.pDb, key, &data, 0);
    if (size > 0) {
        fwrite(data, 1, size_t(size), stdout);
        PutMem(data);
    }
    if (store.nDamagedAt >= 0) return ReportDamage(store);
    if (size <= 0 && ShortOfMemory()) return OutOfMemory();
    if (size <= 0) {
        fprintf(stderr, "udb: %s: no key %s\n", path, key);
        return ExitMissingKey;
    }
    return ExitOk;
}

int StoreData(Store &store, const char *key, const char *data, size_t size) {
    if (size == 0) return Trouble(store.pPath, "nothing to store under %s: the data is empty", key);
    if (!DbmTPutRecord(store.pDb, key, data, int(size)))
        return ShortOfMemory() ? OutOfMemory() : Trouble(store.pPath, "could not store %s", key);
    return ExitOk;
}

int CheckKey(const char *path, const char *key) {
    if (key[0] == '\0') return Trouble(path, "a key must not be empty");
    if (strlen(key) >= size_t(DbKeyBufSize))
        return Trouble(path, "key too long (%zu bytes; at most %d)", strlen(key), DbKeyBufSize - 1);
    return ExitOk;
}

int CmdPut(const char *path, const char *key, const char *file, const char *text) {
    int status = CheckKey(path, key);
    if (status != ExitOk) return status;
    Store store;
    status = OpenForChange(path, true, store);
    if (status != ExitOk) return status;
    size_t limit = size_t(DataLimit(store.pDb, strlen(key)));
    Bytes data;
    if (text != nullptr) {
        if (!data.Append(text, strlen(text) + 1)) return OutOfMemory();
    } else {
        FILE *in = file != nullptr ? fopen(file, "rb") : stdin;
        const char *from = file != nullptr ? file : "standard input";
        if (in == nullptr) return Trouble(from, "%s", strerror(errno));
        bool over;
        bool read = ReadAll(in, data, limit, over);
        if (in != stdin) fclose(in);
        if (!read) return ShortOfMemory() ? OutOfMemory() : Trouble(from, "cannot be read");
        if (over) return Trouble(path, "data too large for one record (at most %zu bytes)", limit);
    }
    if (data.nUsed > limit)
        return Trouble(path, "data too large for one record (at most %zu bytes)", limit);
    status = StoreData(store, key, data.pData, data.nUsed);
    return status != ExitOk ? status : Archive(store);
}

int CmdDel(const char *path, const char *key, bool prefix) {
    if (key[0] == '\0') return Trouble(path, "a %s must not be empty", prefix ? "prefix" : "key");
    Store store;
    int status = OpenForChange(path, false, store);
    if (status != ExitOk) return status;
    int removed = PurgeTRecord(store.pDb, key, prefix ? int(strlen(key)) : 0);
    if (!removed) {
        fprintf(stderr, "udb: %s: no key %s%s\n", path, prefix ? "begins with " : "", key);
        return ExitMissingKey;
    }
    return Archive(store);
}

int CmdDump(const char *path, bool asText) {
    Store store;
    int status = OpenStore(path, false, store);
    if (status != ExitOk) return status;
    Bytes record;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(store.pDb, &rec, 0); r != nullptr;
         r = WalkDbTRecords(store.pDb, &rec, 1)) {
        if (!ReadRecord(store.pDb, rec, record)) return OutOfMemory();
        std::string_view key(record.pData, size_t(rec.nKeyLen) - 1);
        std::string_view data(record.pData + rec.nKeyLen, size_t(rec.nLen - rec.nKeyLen - 2));
        if (asText) {
            PutEscaped(key, true);
            putchar('\t');
            bool terminated = !data.empty() && data.back() == '\0';
            PutEscaped(terminated ? data.substr(0, data.size() - 1) : data, false);
            if (!terminated) fputs("\\c", stdout);
        } else {
            PutPrintable(key);
            printf("\t%zu\t", data.size());
            PutPrintable(data);
        }
        putchar('\n');
    }
    return store.nDamagedAt >= 0 ? ReportDamage(store) : ExitOk;
}

int CmdImport(const char *path, const char *file) {
    FILE *in = strcmp(file, "-") == 0 ? stdin : fopen(file, "rb");
    if (in == nullptr) return Trouble(file, "%s", strerror(errno));
    Bytes text;
    bool over;
    bool read = ReadAll(in, text, size_t(1) << 30, over);
    if (in != stdin) fclose(in);
    if (!read && ShortOfMemory()) return OutOfMemory();
    if (!read || over) return Trouble(file, "cannot be read");

    Store store;
    int status = OpenForChange(path, true, store);
    if (status != ExitOk) return status;
    std::string_view rest(text.pData != nullptr ? text.pData : "", text.nUsed);
    Bytes key, data;
    int lineNo = 0, count = 0;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return Trouble(file, "line %d: no tab after the key; nothing stored", lineNo);
        bool noTerminator;
        char bad = Unescape(line.substr(0, tab), key, noTerminator);
        if (bad == 0 && noTerminator) bad = 'c';
        if (bad == 0) bad = key.Append('\0') ? 0 : '!';
        if (bad == 0) bad = Unescape(line.substr(tab + 1), data, noTerminator);
        if (bad == 0 && !noTerminator) bad = data.Append('\0') ? 0 : '!';
        if (bad == '!' && ShortOfMemory()) return OutOfMemory();
        if (bad != 0) return Trouble(file, "line %d: bad escape \\%c; nothing stored", lineNo, bad);
        if (key.nUsed < 2 || key.nUsed > size_t(DbKeyBufSize) || strlen(key.pData) != key.nUsed - 1)
            return Trouble(
                file, "line %d: empty, too long or holding a NUL: bad key; nothing stored", lineNo);
        if (data.nUsed > size_t(DataLimit(store.pDb, key.nUsed - 1)))
            return Trouble(file, "line %d: text too large for one record; nothing stored", lineNo);
        status = StoreData(store, key.pData, data.pData, data.nUsed);
        if (status != ExitOk) return status;
        ++count;
    }
    if (count == 0 && store.pDb->pContent == nullptr) return ExitOk; // nothing to create
    return Archive(store);
}

int CmdInfo(const char *path) {
    Store store;
    int status = OpenStore(path, false, store);
    if (status != ExitOk) return status;
    DbT *db = store.pDb;
    long records = 0;
    DbTRecord rec;
    for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr; r = WalkDbTRecords(db, &rec, 1))
        ++records;
    struct stat st;
    long long size = stat(path, &st) == 0 ? (long long)st.st_size : 0;
    const char *format = db->nDbType == DbTypeLegacy  ? "legacy (record file, host byte order)"
                         : db->nDbType == DbTypeTyped ? "typed (TUDBAA, big-endian)"
                                                      : "new (empty)";
    printf("store:   %s\nformat:  %s\nrecords: %ld", path, format, records);
    if (db->nDbType == DbTypeTyped && db->nRecords != records)
        printf(" (the header says %ld)", long(db->nRecords));
    printf("\nsize:    %lld bytes\n", size);
    return store.nDamagedAt >= 0 ? ReportDamage(store) : ExitOk;
}

} // namespace

int main(int argc, char **argv) {
    my_name = "udb";
    FailuresAtStart = nMapFailures;
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(Usage, stdout);
        return ExitOk;
    }
    if (argc < 3) return UsageError("%s", argc < 2 ? "no command given" : "no store given");
    const char *command = argv[1];
    const char *path = argv[2];
    int extra = argc - 3;
    if (path[0] == '\0') return UsageError("%s", "the store path is empty");
    auto wants = [&](int n) { return extra == n; };

    if (strcmp(command, "list") == 0 && wants(0)) return CmdList(path);
    if (strcmp(command, "get") == 0 && wants(1)) return CmdGet(path, argv[3]);
    if (strcmp(command, "put") == 0 && wants(1)) return CmdPut(path, argv[3], nullptr, nullptr);
    if (strcmp(command, "put") == 0 && wants(2) && strcmp(argv[4], "--text") != 0)
        return CmdPut(path, argv[3], argv[4], nullptr);
    if (strcmp(command, "put") == 0 && wants(3) && strcmp(argv[4], "--text") == 0)
        return CmdPut(path, argv[3], nullptr, argv[5]);
    if (strcmp(command, "del") == 0 && wants(1)) return CmdDel(path, argv[3], false);
    if (strcmp(command, "delprefix") == 0 && wants(1)) return CmdDel(path, argv[3], true);
    if (strcmp(command, "dump") == 0 && wants(0)) return CmdDump(path, false);
    if (strcmp(command, "export") == 0 && wants(0)) return CmdDump(path, true);
    if (strcmp(command, "import") == 0 && wants(1)) return CmdImport(path, argv[3]);
    if (strcmp(command, "info") == 0 && wants(0)) return CmdInfo(path);

    constexpr std::string_view Commands = " list get put del delprefix dump import export info ";
    char word[64];
    snprintf(word, sizeof word, " %s ", command);
    if (Commands.find(word) == std::string_view::npos)
        return UsageError("unknown command '%s'", command);
    return UsageError("wrong arguments for '%s'", command);
}
