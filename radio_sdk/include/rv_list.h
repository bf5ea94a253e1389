/** @file
 * List: the SDK's one container, a doubly linked list of item pointers.
 *
 * Ownership: a list made with a release function owns its items and releases
 * each one when its node is dropped by ListRemove, ListRemoveAll or ListFree;
 * ListRemoveWithoutFree and ListRemoveCustom hand the item back to the caller.
 * Every List delivered to a result callback belongs to the receiver, who frees
 * it with ListFree.
 *
 * Threading: a list has no lock; its owner serialises access. Null arguments
 * give neutral results (null, 0, -1 or false), never a crash.
 */
#ifndef RV_LIST_H
#define RV_LIST_H

#include <stdbool.h>
#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/** Frees one item; the list calls it for every item it drops. */
typedef void (*ListFreeItem)(void *item);
/** Negative, zero or positive as the first item is less than, equal to or greater than the second.
 */
typedef int32_t (*ListCompare)(const void *a, const void *b);
/** Called with each item and ListForEach's `user`. */
typedef void (*ListVisitor)(void *item, void *user);
/** Returns true to stop the walk. */
typedef bool (*ListVisitorEx)(void *item, void *user);

/** A node of a List. */
typedef struct ListItem {
    struct ListItem *prev; /**< null at the first node */
    struct ListItem *next; /**< null at the last node */
    void *data;            /**< the item pointer, never copied */
} ListItem;

/** A doubly linked list of untyped items. */
typedef struct List {
    uint32_t length;        /**< number of nodes */
    ListItem *first;        /**< null exactly when empty */
    ListItem *last;         /**< null exactly when empty */
    ListFreeItem free_item; /**< fixed at creation; null: items are not owned */
} List;

/** Order argument of ListInsertSorted and ListSort: 1 descending, anything else ascending. */
#define LIST_ORDER_ASCENDING 0
#define LIST_ORDER_DESCENDING 1 /**< see LIST_ORDER_ASCENDING */

/** New empty list, or null when memory is short ("Warn: malloc faild - out of memery!" on stdout).
 */
RV_API List *ListNew(ListFreeItem free_item);
/** Releases every item (through free_item), every node and the list; null is ignored. */
RV_API void ListFree(List *list);
/** Releases every item and node; the list stays, empty. */
RV_API void ListRemoveAll(List *list);

/** The new node; null when list or item is null or memory is short (list unchanged). */
RV_API ListItem *ListAppend(List *list, void *item);
/** The new node; null when the list is null or memory is short. A null item is accepted. */
RV_API ListItem *ListPrepend(List *list, void *item);
/**
 * Inserts in front of the first item that is not less than it (ascending) or
 * not greater (descending); appends when there is none. Returns the list's
 * first node, or null when list, item or compare is null.
 */
RV_API ListItem *ListInsertSorted(List *list, void *item, ListCompare compare, int order);

/**
 * Removes the first node holding `item` and releases the item. Returns the
 * first node afterwards (null when the list is now empty or null); an absent
 * item changes nothing.
 */
RV_API ListItem *ListRemove(List *list, void *item);
/** As ListRemove, but the item is handed back to the caller unreleased. */
RV_API ListItem *ListRemoveWithoutFree(List *list, void *item);
/** Removes the first node for which compare(item, key) is 0, without releasing the item: 1 if
 * removed, else 0. */
RV_API int ListRemoveCustom(List *list, const void *key, ListCompare compare);

/** First node holding `item`, or null. */
RV_API ListItem *ListFind(List *list, const void *item);
/** First node for which compare(item, key) is 0, or null. `key` may be null. */
RV_API ListItem *ListFindCustom(List *list, const void *key, ListCompare compare);
/** Zero-based position of the first node holding `item`; -1 when absent. */
RV_API int32_t ListIndex(List *list, const void *item);
/** Node at `index`, or null when index < 0 or index >= length. Walks from the first node. */
RV_API ListItem *ListAt(List *list, int32_t index);
/** Number of nodes; 0 for null. */
RV_API uint32_t ListLength(const List *list);
RV_API ListItem *ListFirst(const List *list);    /**< first node; null when empty or null */
RV_API ListItem *ListLast(const List *list);     /**< last node; null when empty or null */
RV_API ListItem *ListNext(const ListItem *node); /**< following node; null at the end or for null */
RV_API ListItem *ListPrev(
    const ListItem *node); /**< preceding node; null at the start or for null */

/** Visits every item, first to last. The visitor may remove or free the node it is given. */
RV_API void ListForEach(List *list, ListVisitor visitor, void *user);
/** As ListForEach, stopping at the first visitor that returns true; returns whether one did. */
RV_API bool ListForEachEx(List *list, ListVisitorEx visitor, void *user);
/**
 * Bubble sort by relinking nodes; equal neighbours are exchanged in ascending
 * order. Returns whether any two nodes were exchanged.
 */
RV_API bool ListSort(List *list, ListCompare compare, int order);
/**
 * Moves every node of `source` to the end of `dest` and frees the source
 * record. False, with nothing moved and the source untouched, when either is
 * null or their release functions differ.
 */
RV_API bool ListMerge(List *dest, List *source);

RV_END_DECLS

#endif
