// Circular doubly linked lists of LgLink nodes: the engine's object lists.
#pragma once

#include "engine/core/lg_types.h"

inline void LgLinkMakeEmpty(LgLink* head) {
    head->next = head->prev = head;
}

inline bool LgLinkIsEmpty(const LgLink* head) {
    return head->next == head;
}

inline void LgLinkAddHead(LgLink* head, LgLink* link) {
    link->next = head->next;
    link->prev = head;
    head->next->prev = link;
    head->next = link;
}

// Leaves the link pointing at itself, so a second unlink does nothing.
inline void LgLinkRemove(LgLink* link) {
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->next = link->prev = link;
}
