// List: a doubly linked list whose links own a private copy of each item.
//
// All memory comes from the block memory manager, which hands out zero-filled
// blocks: a List embedded in a larger zero-filled record is a valid empty
// list without any call. Items are identified by their data pointer, never by
// their contents. Positions count from 1; 0 means "none".
//
// Ownership: ListPushItem copies the caller's data into a new item block
// owned by the link. ListPop...Item with flFree clear hands the item block to
// the caller (release it with PutMem); with flFree set it is released. A null
// list is accepted everywhere and does nothing.
//
// Walking: the cursor pWalk lives in the header, so a list supports one walk
// at a time. Detaching the link under the cursor does not move the cursor: a
// caller that does so must restart the walk (ListWalk with flContinue 0).
#pragma once

#include <cstdint>

struct ListLink {
    ListLink *pPrev; // previous link, null at the front
    ListLink *pNext; // next link, null at the end
    void *pData;     // the item: a block owned by the link
    int32_t nSize;   // the item's size in bytes
};

struct List {
    ListLink *pFirst;    // first link, or null when empty
    ListLink *pLast;     // last link, or null when empty
    ListLink *pWalk;     // the link whose item the next walk step returns
    int32_t nCount;      // number of links
    int32_t nSize;       // sum of the links' nSize
    uint8_t flPushFront; // set: new links go in front (stack order); clear: at the end
};

List *ListCreate();                            // new empty list, or null
void ListPushLink(List *list, ListLink *link); // attach an existing link
void ListPopLink(List *list, ListLink *link);  // detach a link on the list; frees nothing
// Copy size bytes of data (zero-filled when data is null) into a new item and
// attach it. Yields the item, or null (nothing attached) for a null list, a
// size <= 0, or no memory.
void *ListPushItem(List *list, const void *data, int32_t size);
void *ListPopItem(List *list, void *item, int flFree); // null item: the first
void *ListPopFirstItem(List *list, int flFree);
void *ListPopLastItem(List *list, int flFree);
void *ListFindItemN(List *list, int n);                    // item at position n, or null
int ListGetItemPos(List *list, const void *item);          // position of item, or 0
void ListMoveItem(void *item, List *source, List *target); // relink, same link
void ListCopy(List *source, List *target);                 // push copies, first to last
void ListDelAllItems(List *list);                          // free links and items; header stays
void ListDel(List *list);                                  // the same, then the header
void *ListWalk(List *list, int flContinue);                // first to last
void *ListWalkBackward(List *list, int flContinue);        // last to first
void ListDump(List *list); // "%3i) %li\n": position and the item's first 32-bit word
