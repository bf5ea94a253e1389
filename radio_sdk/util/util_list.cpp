// List: a doubly linked list of item pointers. Nodes are plain C records
// (callers walk them), so they are allocated with calloc and freed with free.

#include <cstdio>
#include <cstdlib>

#include "rv_list.h"

namespace {

void out_of_memory() {
    fputs("Warn: malloc faild - out of memery!\n", stdout);
}

ListItem *node_new(void *item) {
    auto *node = static_cast<ListItem *>(calloc(1, sizeof(ListItem)));
    if (node == nullptr) {
        out_of_memory();
        return nullptr;
    }
    node->data = item;
    return node;
}

void link_before(List *list, ListItem *node, ListItem *before) {
    node->next = before;
    node->prev = before->prev;
    if (before->prev != nullptr) {
        before->prev->next = node;
    } else {
        list->first = node;
    }
    before->prev = node;
    list->length++;
}

void unlink_node(List *list, ListItem *node) {
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        list->first = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        list->last = node->prev;
    }
    list->length--;
}

// Exchanges a node with its successor by relinking.
void swap_with_next(List *list, ListItem *a) {
    ListItem *b = a->next;
    ListItem *before = a->prev;
    ListItem *after = b->next;
    if (before != nullptr) {
        before->next = b;
    } else {
        list->first = b;
    }
    if (after != nullptr) {
        after->prev = a;
    } else {
        list->last = a;
    }
    b->prev = before;
    b->next = a;
    a->prev = b;
    a->next = after;
}

ListItem *remove_item(List *list, const void *item, bool release) {
    if (list == nullptr) {
        return nullptr;
    }
    ListItem *node = ListFind(list, item);
    if (node != nullptr) {
        unlink_node(list, node);
        if (release && list->free_item != nullptr) {
            list->free_item(node->data);
        }
        free(node);
    }
    return list->first;
}

}  // namespace

List *ListNew(ListFreeItem free_item) {
    auto *list = static_cast<List *>(calloc(1, sizeof(List)));
    if (list == nullptr) {
        out_of_memory();
        return nullptr;
    }
    list->free_item = free_item;
    return list;
}

void ListRemoveAll(List *list) {
    if (list == nullptr) {
        return;
    }
    ListItem *node = list->first;
    while (node != nullptr) {
        ListItem *next = node->next;
        if (list->free_item != nullptr) {
            list->free_item(node->data);
        }
        free(node);
        node = next;
    }
    list->first = list->last = nullptr;
    list->length = 0;
}

void ListFree(List *list) {
    ListRemoveAll(list);
    free(list);
}

ListItem *ListAppend(List *list, void *item) {
    if (list == nullptr || item == nullptr) {
        return nullptr;
    }
    ListItem *node = node_new(item);
    if (node == nullptr) {
        return nullptr;
    }
    node->prev = list->last;
    if (list->last != nullptr) {
        list->last->next = node;
    } else {
        list->first = node;
    }
    list->last = node;
    list->length++;
    return node;
}

ListItem *ListPrepend(List *list, void *item) {
    if (list == nullptr) {
        return nullptr;
    }
    ListItem *node = node_new(item);
    if (node == nullptr) {
        return nullptr;
    }
    if (list->first == nullptr) {
        list->first = list->last = node;
        list->length = 1;
    } else {
        link_before(list, node, list->first);
    }
    return node;
}

ListItem *ListInsertSorted(List *list, void *item, ListCompare compare, int order) {
    if (list == nullptr || item == nullptr || compare == nullptr) {
        return nullptr;
    }
    if (list->first == nullptr) {
        return ListAppend(list, item);
    }
    ListItem *at = list->first;
    for (; at != nullptr; at = at->next) {
        int32_t c = compare(item, at->data);
        if (order == LIST_ORDER_DESCENDING ? c >= 0 : c <= 0) {
            break;
        }
    }
    if (at == nullptr) {
        return ListAppend(list, item) != nullptr ? list->first : nullptr;
    }
    ListItem *node = node_new(item);
    if (node == nullptr) {
        return nullptr;
    }
    link_before(list, node, at);
    return list->first;
}

ListItem *ListRemove(List *list, void *item) {
    return remove_item(list, item, true);
}

ListItem *ListRemoveWithoutFree(List *list, void *item) {
    return remove_item(list, item, false);
}

int ListRemoveCustom(List *list, const void *key, ListCompare compare) {
    if (list == nullptr || key == nullptr || compare == nullptr) {
        return 0;
    }
    ListItem *node = ListFindCustom(list, key, compare);
    if (node == nullptr) {
        return 0;
    }
    unlink_node(list, node);
    free(node);
    return 1;
}

ListItem *ListFind(List *list, const void *item) {
    if (list == nullptr) {
        return nullptr;
    }
    for (ListItem *node = list->first; node != nullptr; node = node->next) {
        if (node->data == item) {
            return node;
        }
    }
    return nullptr;
}

ListItem *ListFindCustom(List *list, const void *key, ListCompare compare) {
    if (list == nullptr || compare == nullptr) {
        return nullptr;
    }
    for (ListItem *node = list->first; node != nullptr; node = node->next) {
        if (compare(node->data, key) == 0) {
            return node;
        }
    }
    return nullptr;
}

int32_t ListIndex(List *list, const void *item) {
    if (list == nullptr) {
        return -1;
    }
    int32_t index = 0;
    for (ListItem *node = list->first; node != nullptr; node = node->next, ++index) {
        if (node->data == item) {
            return index;
        }
    }
    return -1;
}

ListItem *ListAt(List *list, int32_t index) {
    if (list == nullptr || index < 0 || static_cast<uint32_t>(index) >= list->length) {
        return nullptr;
    }
    ListItem *node = list->first;
    while (index-- > 0) {
        node = node->next;
    }
    return node;
}

uint32_t ListLength(const List *list) {
    return list ? list->length : 0;
}
ListItem *ListFirst(const List *list) {
    return list ? list->first : nullptr;
}
ListItem *ListLast(const List *list) {
    return list ? list->last : nullptr;
}
ListItem *ListNext(const ListItem *node) {
    return node ? node->next : nullptr;
}
ListItem *ListPrev(const ListItem *node) {
    return node ? node->prev : nullptr;
}

void ListForEach(List *list, ListVisitor visitor, void *user) {
    if (list == nullptr || visitor == nullptr) {
        return;
    }
    ListItem *node = list->first;
    while (node != nullptr) {
        ListItem *next = node->next;  // the visitor may free `node`
        visitor(node->data, user);
        node = next;
    }
}

bool ListForEachEx(List *list, ListVisitorEx visitor, void *user) {
    if (list == nullptr || visitor == nullptr) {
        return false;
    }
    ListItem *node = list->first;
    while (node != nullptr) {
        ListItem *next = node->next;
        if (visitor(node->data, user)) {
            return true;
        }
        node = next;
    }
    return false;
}

// Bubble sort over positions; every pass runs. Ascending exchanges equal
// neighbours too, which callers observe as "something was exchanged".
bool ListSort(List *list, ListCompare compare, int order) {
    if (list == nullptr || compare == nullptr || list->length < 2) {
        return false;
    }
    bool exchanged = false;
    for (uint32_t i = list->length - 1; i >= 1; --i) {
        ListItem *a = list->first;
        for (uint32_t j = 0; j < i; ++j) {
            int32_t c = compare(a->data, a->next->data);
            bool swap = order == LIST_ORDER_DESCENDING ? c < 0 : c >= 0;
            if (swap) {
                swap_with_next(list, a);  // `a` moved one step on: it is now at j + 1
                exchanged = true;
            } else {
                a = a->next;
            }
        }
    }
    return exchanged;
}

bool ListMerge(List *dest, List *source) {
    if (dest == nullptr || source == nullptr || dest == source ||
        dest->free_item != source->free_item) {
        return false;
    }
    if (source->first != nullptr) {
        if (dest->last != nullptr) {
            dest->last->next = source->first;
            source->first->prev = dest->last;
        } else {
            dest->first = source->first;
        }
        dest->last = source->last;
        dest->length += source->length;
        source->first = source->last = nullptr;
        source->length = 0;
    }
    ListFree(source);
    return true;
}
