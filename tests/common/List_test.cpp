#include "List.h"

#include "MemMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A list of int items built through ListPushItem; released at the end.
class ListTest : public testing::Test {
  protected:
    void SetUp() override { list_ = ListCreate(); }
    void TearDown() override { ListDel(list_); }

    int *Push(int value) { return static_cast<int *>(ListPushItem(list_, &value, sizeof value)); }

    std::vector<int> Forward() {
        std::vector<int> out;
        for (void *p = ListWalk(list_, 0); p != nullptr; p = ListWalk(list_, 1))
            out.push_back(*static_cast<int *>(p));
        return out;
    }
    std::vector<int> Backward() {
        std::vector<int> out;
        for (void *p = ListWalkBackward(list_, 0); p != nullptr; p = ListWalkBackward(list_, 1))
            out.push_back(*static_cast<int *>(p));
        return out;
    }
    // The invariants: count and size agree with the links, both directions agree.
    void ExpectInvariants() {
        int count = 0, size = 0;
        ListLink *prev = nullptr;
        for (ListLink *l = list_->pFirst; l != nullptr; prev = l, l = l->pNext) {
            EXPECT_EQ(l->pPrev, prev);
            ++count;
            size += l->nSize;
        }
        EXPECT_EQ(list_->pLast, prev);
        EXPECT_EQ(list_->nCount, count);
        EXPECT_EQ(list_->nSize, size);
        EXPECT_EQ(list_->pFirst == nullptr, list_->pLast == nullptr);
    }

    List *list_ = nullptr;
};

TEST_F(ListTest, CreateGivesAnEmptyZeroFilledHeader) {
    ASSERT_NE(list_, nullptr);
    EXPECT_EQ(list_->pFirst, nullptr);
    EXPECT_EQ(list_->nCount, 0);
    EXPECT_EQ(ListWalk(list_, 0), nullptr);
    EXPECT_EQ(ListWalkBackward(list_, 0), nullptr);
}

TEST_F(ListTest, QueueOrderByDefault) {
    Push(1);
    Push(2);
    Push(3);
    EXPECT_EQ(Forward(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Backward(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(list_->nSize, 3 * int(sizeof(int)));
    ExpectInvariants();
}

TEST_F(ListTest, StackOrderWithPushFront) {
    list_->flPushFront = 1;
    Push(1);
    Push(2);
    Push(3);
    EXPECT_EQ(Forward(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(Backward(), (std::vector<int>{1, 2, 3}));
    ExpectInvariants();
}

TEST_F(ListTest, FirstPushMakesTheLinkFirstAndLastWhateverTheFlag) {
    for (uint8_t flag : {0, 1}) {
        ListDelAllItems(list_);
        list_->flPushFront = flag;
        int *item = Push(7);
        EXPECT_EQ(list_->pFirst, list_->pLast);
        EXPECT_EQ(list_->pFirst->pData, item);
        EXPECT_EQ(list_->nCount, 1);
    }
}

TEST_F(ListTest, PushItemCopiesTheDataOrZeroFills) {
    char text[] = "copied";
    auto *item = static_cast<char *>(ListPushItem(list_, text, sizeof text));
    ASSERT_NE(item, nullptr);
    EXPECT_NE(item, text);
    EXPECT_STREQ(item, "copied");
    auto *zeros = static_cast<unsigned char *>(ListPushItem(list_, nullptr, 8));
    ASSERT_NE(zeros, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(zeros), 8), std::string(8, '\0'));
    EXPECT_EQ(list_->nCount, 2);
}

TEST_F(ListTest, PushItemRefusesSizesBelowOneAndNullLists) {
    EXPECT_EQ(ListPushItem(list_, nullptr, 0), nullptr);
    EXPECT_EQ(ListPushItem(list_, nullptr, -5), nullptr);
    EXPECT_EQ(ListPushItem(nullptr, "x", 2), nullptr);
    EXPECT_EQ(list_->nCount, 0);
    EXPECT_EQ(list_->pFirst, nullptr);
}

TEST_F(ListTest, FindItemNAndPositions) {
    int *a = Push(10);
    int *b = Push(20);
    EXPECT_EQ(ListFindItemN(list_, 1), a);
    EXPECT_EQ(ListFindItemN(list_, 2), b);
    EXPECT_EQ(ListFindItemN(list_, 3), nullptr);
    EXPECT_EQ(ListFindItemN(list_, 0), nullptr);
    EXPECT_EQ(ListGetItemPos(list_, b), 2);
    int outsider = 20; // same content, other pointer: not found
    EXPECT_EQ(ListGetItemPos(list_, &outsider), 0);
}

TEST_F(ListTest, PopItemWithNullTakesTheFirst) {
    int *a = Push(1);
    Push(2);
    void *kept = ListPopItem(list_, nullptr, 0);
    EXPECT_EQ(kept, a);
    EXPECT_EQ(*a, 1); // still valid: the caller owns it now
    PutMem(kept);
    EXPECT_EQ(Forward(), (std::vector<int>{2}));
    ExpectInvariants();
}

TEST_F(ListTest, PopMiddleFirstAndLastKeepTheLinks) {
    Push(1);
    int *two = Push(2);
    Push(3);
    Push(4);
    EXPECT_EQ(ListPopItem(list_, two, 1), nullptr); // freed
    ExpectInvariants();
    EXPECT_EQ(Forward(), (std::vector<int>{1, 3, 4}));
    void *first = ListPopFirstItem(list_, 0);
    EXPECT_EQ(*static_cast<int *>(first), 1);
    PutMem(first);
    void *last = ListPopLastItem(list_, 0);
    EXPECT_EQ(*static_cast<int *>(last), 4);
    PutMem(last);
    EXPECT_EQ(Forward(), (std::vector<int>{3}));
    ExpectInvariants();
    EXPECT_EQ(ListPopLastItem(list_, 1), nullptr);
    EXPECT_EQ(list_->pFirst, nullptr);
    EXPECT_EQ(list_->pLast, nullptr);
    EXPECT_EQ(ListPopFirstItem(list_, 1), nullptr);
}

TEST_F(ListTest, PopOfAnItemNotOnTheListDoesNothing) {
    Push(1);
    int outsider = 1;
    EXPECT_EQ(ListPopItem(list_, &outsider, 1), nullptr);
    EXPECT_EQ(list_->nCount, 1);
}

TEST_F(ListTest, MoveItemRelinksTheSameLink) {
    List *target = ListCreate();
    Push(1);
    int *two = Push(2);
    ListLink *link = list_->pLast;
    ListMoveItem(two, list_, target);
    EXPECT_EQ(target->pFirst, link);
    EXPECT_EQ(target->pFirst->pData, two);
    EXPECT_EQ(target->nSize, int(sizeof(int)));
    EXPECT_EQ(Forward(), (std::vector<int>{1}));
    ListMoveItem(two, list_, target); // no longer on the source: nothing happens
    EXPECT_EQ(target->nCount, 1);
    ListDel(target);
}

TEST_F(ListTest, CopyMakesSeparateEqualItems) {
    Push(5);
    Push(6);
    List *copy = ListCreate();
    ListCopy(list_, copy);
    ASSERT_EQ(copy->nCount, 2);
    for (int n = 1; n <= 2; ++n) {
        void *a = ListFindItemN(list_, n);
        void *b = ListFindItemN(copy, n);
        EXPECT_NE(a, b);
        EXPECT_EQ(memcmp(a, b, sizeof(int)), 0);
    }
    EXPECT_EQ(copy->nSize, list_->nSize);
    ListDel(copy);
}

TEST_F(ListTest, CopyOntoItselfDoublesOnce) {
    Push(1);
    Push(2);
    ListCopy(list_, list_);
    EXPECT_EQ(Forward(), (std::vector<int>{1, 2, 1, 2}));
}

TEST_F(ListTest, WalkRestartsWithFlagZero) {
    Push(1);
    Push(2);
    EXPECT_EQ(*static_cast<int *>(ListWalk(list_, 0)), 1);
    EXPECT_EQ(*static_cast<int *>(ListWalk(list_, 0)), 1);
    EXPECT_EQ(*static_cast<int *>(ListWalk(list_, 1)), 2);
    EXPECT_EQ(ListWalk(list_, 1), nullptr);
}

TEST_F(ListTest, EmbeddedZeroFilledHeaderIsAValidList) {
    struct Record {
        int id;
        List items;
    };
    auto *record = static_cast<Record *>(GetMem(sizeof(Record)));
    ListPushItem(&record->items, "ab", 3);
    EXPECT_EQ(record->items.nCount, 1);
    ListDelAllItems(&record->items);
    EXPECT_EQ(record->items.nCount, 0);
    PutMem(record);
}

TEST_F(ListTest, DumpPrintsPositionsAndFirstWords) {
    Push(42);
    Push(-7);
    testing::internal::CaptureStdout();
    ListDump(list_);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  1) 42\n  2) -7\n");
}

TEST(ListNull, NullListsAreAccepted) {
    ListPushLink(nullptr, nullptr);
    ListPopLink(nullptr, nullptr);
    EXPECT_EQ(ListPopItem(nullptr, nullptr, 1), nullptr);
    EXPECT_EQ(ListPopFirstItem(nullptr, 1), nullptr);
    EXPECT_EQ(ListPopLastItem(nullptr, 1), nullptr);
    EXPECT_EQ(ListFindItemN(nullptr, 1), nullptr);
    EXPECT_EQ(ListGetItemPos(nullptr, nullptr), 0);
    EXPECT_EQ(ListWalk(nullptr, 0), nullptr);
    EXPECT_EQ(ListWalkBackward(nullptr, 0), nullptr);
    ListMoveItem(nullptr, nullptr, nullptr);
    ListCopy(nullptr, nullptr);
    ListDelAllItems(nullptr);
    ListDel(nullptr);
    ListDump(nullptr);
}

} // namespace
