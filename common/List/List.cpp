// List: doubly linked lists of owned items.
#include "List.h"

#include "MemMgr.h"

#include <cstdio>
#include <cstring>

namespace {

ListLink *FindLink(const List *list, const void *item) {
    for (ListLink *link = list->pFirst; link != nullptr; link = link->pNext)
        if (link->pData == item) return link;
    return nullptr;
}

bool IsEmpty(const List *list) {
    return list->nCount == 0 || list->pFirst == nullptr || list->pLast == nullptr;
}

// Detach link (found on list) and release it; the item is released too when
// flFree is set, else handed to the caller.
void *Unlink(List *list, ListLink *link, int flFree) {
    ListPopLink(list, link);
    void *item = link->pData;
    PutMem(link);
    if (!flFree) return item;
    PutMem(item);
    return nullptr;
}

} // namespace

List *ListCreate() {
    return static_cast<List *>(GetMem(sizeof(List)));
}

void ListPushLink(List *list, ListLink *link) {
    if (list == nullptr || link == nullptr) return;
    if (IsEmpty(list)) {
        link->pPrev = nullptr;
        link->pNext = nullptr;
        list->pFirst = link;
        list->pLast = link;
        list->nCount = 1;
    } else if (list->flPushFront) {
        link->pNext = list->pFirst;
        link->pPrev = nullptr;
        list->pFirst->pPrev = link;
        list->pFirst = link;
        ++list->nCount;
    } else {
        link->pPrev = list->pLast;
        link->pNext = nullptr;
        list->pLast->pNext = link;
        list->pLast = link;
        ++list->nCount;
    }
    list->nSize += link->nSize;
}

void ListPopLink(List *list, ListLink *link) {
    if (list == nullptr || link == nullptr || IsEmpty(list)) return;
    --list->nCount;
    list->nSize -= link->nSize;
    if (list->nCount == 0) {
        list->pFirst = nullptr;
        list->pLast = nullptr;
    } else if (link == list->pFirst) {
        list->pFirst = link->pNext;
        list->pFirst->pPrev = nullptr;
    } else if (link == list->pLast) {
        list->pLast = link->pPrev;
        list->pLast->pNext = nullptr;
    } else {
        link->pPrev->pNext = link->pNext;
        link->pNext->pPrev = link->pPrev;
    }
}

void *ListPushItem(List *list, const void *data, int32_t size) {
    if (list == nullptr || size <= 0) return nullptr;
    auto *link = static_cast<ListLink *>(GetMem(sizeof(ListLink)));
    void *item = link ? GetMem(size_t(size)) : nullptr;
    if (item == nullptr) {
        PutMem(link);
        return nullptr;
    }
    if (data != nullptr) memcpy(item, data, size_t(size));
    link->pData = item;
    link->nSize = size;
    ListPushLink(list, link);
    return item;
}

void *ListPopItem(List *list, void *item, int flFree) {
    if (list == nullptr || IsEmpty(list)) return nullptr;
    ListLink *link = item == nullptr ? list->pFirst : FindLink(list, item);
    return link ? Unlink(list, link, flFree) : nullptr;
}

void *ListPopFirstItem(List *list, int flFree) {
    if (list == nullptr || IsEmpty(list)) return nullptr;
    return Unlink(list, list->pFirst, flFree);
}

void *ListPopLastItem(List *list, int flFree) {
    if (list == nullptr || IsEmpty(list)) return nullptr;
    return Unlink(list, list->pLast, flFree);
}

void *ListFindItemN(List *list, int n) {
    if (list == nullptr || n < 1) return nullptr;
    ListLink *link = list->pFirst;
    for (int k = 1; link != nullptr && k < n; ++k)
        link = link->pNext;
    return link ? link->pData : nullptr;
}

int ListGetItemPos(List *list, const void *item) {
    if (list == nullptr) return 0;
    int position = 1;
    for (ListLink *link = list->pFirst; link != nullptr; link = link->pNext, ++position)
        if (link->pData == item) return position;
    return 0;
}

void ListMoveItem(void *item, List *source, List *target) {
    if (source == nullptr || target == nullptr || IsEmpty(source)) return;
    ListLink *link = FindLink(source, item);
    if (link == nullptr) return;
    ListPopLink(source, link);
    ListPushLink(target, link);
}

void ListCopy(List *source, List *target) {
    if (source == nullptr || target == nullptr) return;
    // The target may be the source; take the count first so the copy ends.
    ListLink *link = source->pFirst;
    for (int32_t k = source->nCount; k > 0 && link != nullptr; --k, link = link->pNext)
        ListPushItem(target, link->pData, link->nSize);
}

void ListDelAllItems(List *list) {
    if (list == nullptr) return;
    ListLink *link = list->pFirst;
    while (link != nullptr) {
        ListLink *next = link->pNext;
        PutMem(link->pData);
        PutMem(link);
        link = next;
    }
    list->pFirst = nullptr;
    list->pLast = nullptr;
    list->pWalk = nullptr;
    list->nCount = 0;
    list->nSize = 0;
}

void ListDel(List *list) {
    ListDelAllItems(list);
    PutMem(list);
}

void *ListWalk(List *list, int flContinue) {
    if (list == nullptr) return nullptr;
    if (!flContinue) list->pWalk = list->pFirst;
    ListLink *link = list->pWalk;
    if (link == nullptr) return nullptr;
    list->pWalk = link->pNext;
    return link->pData;
}

void *ListWalkBackward(List *list, int flContinue) {
    if (list == nullptr) return nullptr;
    if (!flContinue) list->pWalk = list->pLast;
    ListLink *link = list->pWalk;
    if (link == nullptr) return nullptr;
    list->pWalk = link->pPrev;
    return link->pData;
}

void ListDump(List *list) {
    if (list == nullptr) return;
    int position = 1;
    for (ListLink *link = list->pFirst; link != nullptr; link = link->pNext, ++position) {
        int32_t first = 0;
        // Items shorter than a word are read as far as they go.
        memcpy(&first, link->pData, link->nSize < 4 ? size_t(link->nSize) : sizeof first);
        printf("%3i) %li\n", position, long(first));
    }
}
