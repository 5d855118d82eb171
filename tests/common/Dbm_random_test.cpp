// Randomized puts, deletes and prefix deletes against a plain in-memory
// model, reopening the store from disk at random points: both formats of
// the cached store, each open-flag combination, and the record files. The
// cached store is reopened now and then from a file written here, holding
// a key twice or a damaged tail, and after every operation each key's lookup
// must find the record a plain walk finds first.
#include "Dbm.h"

#include "DbmTest.h"
#include "MemMgr.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace corla_test;

namespace {

// Records in store order: a put moves its key to the end. A key is held
// twice only when a file written here holds it twice; a lookup finds the
// first, a put or delete removes both.
class Model {
  public:
    void Put(const std::string &key, const std::string &data) {
        Del(key);
        records_.emplace_back(key, data);
    }
    void PutAgain(const std::string &key, const std::string &data) {
        records_.emplace_back(key, data);
    }
    bool Del(const std::string &key) {
        return std::erase_if(records_, [&](const auto &r) { return r.first == key; }) != 0;
    }
    bool DelPrefix(const std::string &prefix) {
        size_t before = records_.size();
        std::erase_if(records_, [&](const auto &r) { return r.first.starts_with(prefix); });
        return records_.size() != before;
    }
    std::string Keys() const {
        std::string keys;
        for (const auto &r : records_)
            keys += (keys.empty() ? "" : ",") + r.first;
        return keys;
    }
    const std::vector<std::pair<std::string, std::string>> &Records() const { return records_; }

  private:
    std::vector<std::pair<std::string, std::string>> records_;
};

constexpr int AllFlags[] = {0, DbTKeepLoaded, DbTDeferWrite, DbTKeepLoaded | DbTDeferWrite};

class Randomized : public DbmTest {
  protected:
    std::mt19937 rng{20261207};

    static constexpr const char *Stems[] = {"a", "ab", "abc", "b", "25_", "30_", "x"};

    int Pick(int n) { return int(rng() % unsigned(n)); }
    std::string Key() { return Stems[Pick(7)] + std::to_string(Pick(8)); }
    std::string Prefix() {
        static const char *const Prefixes[] = {"a", "ab", "25", "x1", "b", "3"};
        return Prefixes[Pick(6)];
    }
    std::string Data() {
        int size = Pick(10) == 0 ? 1000 + Pick(3000) : 1 + Pick(60);
        std::string data(size_t(size), '\0');
        for (char &c : data)
            c = char(Pick(256));
        return data;
    }

    // Every record of the model, and nothing else, in the same order.
    void ExpectSame(DbT *db, const Model &model, int step) {
        SCOPED_TRACE("step " + std::to_string(step));
        ASSERT_EQ(Keys(db), model.Keys());
        std::set<std::string> seen; // a lookup finds a key's first record
        for (const auto &[key, data] : model.Records())
            if (seen.insert(key).second) {
                ASSERT_EQ(Get(db, key), data) << key;
            }
    }

    // Each key Key() can make, and only those the walk meets, is found at
    // the first record the walk meets with it. The lookups go first: a
    // damaged tail must be cut by a lookup that misses, as by the walk.
    void ExpectIndexAgrees(DbT *db, int step) {
        SCOPED_TRACE("index, step " + std::to_string(step));
        if (db->pContent == nullptr) return;
        ASSERT_NE(db->pIndex, nullptr);
        std::map<std::string, int32_t> found;
        for (const char *stem : Stems)
            for (int i = 0; i < 8; ++i) {
                std::string key = stem + std::to_string(i);
                DbTRecord rec;
                found[key] = FindTRecord(db, key.c_str(), &rec) ? rec.nOffset : -1;
            }
        const int32_t sizeAfterLookups = db->nContentSize;
        std::map<std::string, int32_t> walked;
        DbTRecord rec;
        for (DbTRecord *r = WalkDbTRecords(db, &rec, 0); r != nullptr;
             r = WalkDbTRecords(db, &rec, 1)) {
            std::string key(size_t(rec.nKeyLen), '\0');
            if (rec.pKey != nullptr)
                key.assign(rec.pKey, size_t(rec.nKeyLen));
            else
                ASSERT_EQ(DbmTGetData(db, key.data(), rec.nKeyLen), 1);
            key.pop_back(); // the NUL
            walked.emplace(key, rec.nOffset);
        }
        bool missed = false;
        for (const auto &[key, offset] : found) {
            auto it = walked.find(key);
            ASSERT_EQ(offset, it == walked.end() ? -1 : it->second) << key;
            missed |= offset < 0;
        }
        if (missed) {
            EXPECT_EQ(sizeAfterLookups, db->nContentSize) << "a miss left the damaged tail";
        }
    }

    // Write the store file here, in the handle's format: the model's records,
    // sometimes one key again, sometimes a damaged record (and one more
    // record the walk never reaches, behind it). The model follows.
    void WriteByHand(Model &model, bool legacy) {
        if (Pick(3) == 0 && !model.Records().empty()) {
            const auto &first = model.Records()[size_t(Pick(int(model.Records().size())))];
            model.PutAgain(first.first, Data());
        }
        std::string records;
        for (const auto &[key, data] : model.Records())
            records += legacy ? LegacyRecord(key, data) : TypedRecord(key, data);
        if (Pick(2) == 0)
            records += Word16(60000, !legacy || HostBigEndian()) + "xy" +
                       (legacy ? LegacyRecord("zz", "unreachable") : TypedRecord("zz", "gone"));
        WriteFile(StorePath("r"),
                  legacy ? records : TypedHeader(long(model.Records().size())) + records);
    }

    void Run(bool legacy, int flags) {
        const bool startedLegacy = legacy;
        SCOPED_TRACE(std::string(legacy ? "legacy" : "typed") + " flags " + std::to_string(flags));
        MakeDbDir();
        Model model, saved; // saved: what the file holds
        if (legacy) {
            WriteFile(StorePath("r"), LegacyRecord("seed", "s"));
            model.Put("seed", "s");
        }
        saved = model;
        const bool deferred = (flags & DbTDeferWrite) != 0;
        DbT *db = DbTOpen("r", flags);
        for (int step = 0; step < 400; ++step) {
            int op = Pick(100);
            if (op < 45) {
                std::string key = Key(), data = Data();
                ASSERT_EQ(DbmTPutRecord(db, key.c_str(), data.data(), int(data.size())), 1);
                model.Put(key, data);
            } else if (op < 60) {
                std::string key = Key();
                ASSERT_EQ(DbmTDeleteRecord(db, key.c_str()), model.Del(key) ? 1 : 0);
            } else if (op < 70) {
                std::string prefix = Prefix();
                model.DelPrefix(prefix);
                ASSERT_EQ(DbmTDeleteRecords(db, prefix.c_str()), 1);
            } else if (op < 85) {
                // Reopen from disk; deferred changes not yet archived are lost.
                if (deferred && Pick(2) == 0) {
                    ASSERT_EQ(DbmTArchiveDb(db), db->pContent != nullptr ? 1 : 0);
                    saved = model;
                }
                DbTClose(db);
                model = saved;
                // An emptied legacy file is an empty file: a new store now.
                if (model.Records().empty()) legacy = false;
                if (Pick(3) == 0 && (!legacy || !model.Records().empty())) {
                    WriteByHand(model, legacy);
                    saved = model;
                }
                db = DbTOpen("r", flags);
            } else if (deferred) {
                if (db->pContent != nullptr) {
                    ASSERT_EQ(DbmTArchiveDb(db), 1);
                }
                saved = model;
            }
            if (!deferred) saved = model;
            ExpectIndexAgrees(db, step);
            ExpectSame(db, model, step);
            ASSERT_EQ(db->nDbType == DbTypeLegacy, legacy);
        }
        if (db->pContent != nullptr) {
            ASSERT_EQ(DbmTArchiveDb(db), 1);
        }
        DbTClose(db);
        db = DbTOpen("r", 0);
        ExpectSame(db, model, -1);
        if (!legacy) {
            EXPECT_EQ(db->nRecords, int32_t(model.Records().size()));
        }
        if (startedLegacy) RecordProperty("ended_legacy", legacy ? "yes" : "no");
        DbTClose(db);
        if (legacy) { // the record-file reader agrees
            char *list = DbmGetRecordList("r", ",", "");
            EXPECT_EQ(Take(list), model.Records().empty() ? "(null)" : "," + model.Keys());
        }
        RemoveTree(DbDir());
    }
};

TEST_F(Randomized, TypedStore) {
    for (int flags : AllFlags)
        Run(false, flags);
}

TEST_F(Randomized, LegacyStore) {
    for (int flags : AllFlags)
        Run(true, flags);
}

TEST_F(Randomized, RecordFiles) {
    Model model;
    bool exists = false;
    std::vector<char> buffer(DbMaxPayload);
    for (int step = 0; step < 300; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        int op = Pick(100);
        if (op < 55) {
            std::string key = Key(), data = Data();
            ASSERT_EQ(DbmPutRecord("f", key.c_str(), data.data(), int(data.size())), 1);
            model.Put(key, data);
            exists = true;
        } else if (op < 75) {
            std::string key = Key();
            model.Del(key);
            ASSERT_EQ(DbmDeleteRecord("f", key.c_str()), exists ? 1 : 0);
        } else {
            std::string prefix = Prefix();
            model.DelPrefix(prefix);
            DbmDeleteRecords("f", prefix.c_str());
        }
        std::string list = Take(DbmGetRecordList("f", ",", ""));
        ASSERT_EQ(list, model.Records().empty() ? "(null)" : "," + model.Keys());
        for (const auto &[key, data] : model.Records()) {
            int size = DbmGetRecord("f", key.c_str(), buffer.data());
            ASSERT_EQ(std::string(buffer.data(), size_t(size)), data) << key;
        }
    }
}

} // namespace
